// Positions whose entries in the real Nalimov files are known: every one must
// come out with its file and index, both through the layouts and through the
// prober's entry point.
#include <gtest/gtest.h>
#include "tablebase/nalimov_locate.h"
#include "tests/support/nalimov_test_data.h"

TEST(NalimovVectors, EveryLineGivesItsFileAndIndex) {
  int failures = 0, viaEntryPoint = 0, enPassant = 0;
  for (const auto& f : LoadVectors()) {
    const std::string& fen = f[5];
    const int number = std::stoi(f[1]);
    const uint64_t expected = std::stoull(f[6]);
    Position p;
    ASSERT_TRUE(SetPositionFromFen(p, fen.c_str())) << fen;
    const bool exchanged = f[3] == "x";
    const Color fileSide = f[2] == "w" ? White : Black;
    ASSERT_EQ(fileSide, exchanged ? Opponent(p.sideToMove) : p.sideToMove) << fen;

    // The entry point chooses the exchange itself: where it reads the line's
    // way, file and index must agree (kpkp, its own reverse, it reads directly).
    const auto entry = nalimov::LocateEntry(p);
    bool ok = entry && entry->table->number == number;
    if (ok && entry->coloursExchanged == exchanged) {
      ok = entry->index == expected && entry->FileName() == f[4];
      ++viaEntryPoint;
    } else if (ok) {   // the line's way, through the layout: lists swapped, ranks flipped
      nalimov::Army army[2] = {nalimov::Army(p.KingSquare(White)), nalimov::Army(p.KingSquare(Black))};
      constexpr int types[nalimov::ManKinds] = {PawnType, KnightType, BishopType, RookType, QueenType};
      for (Color c : {White, Black})
        for (int k = 0; k < nalimov::ManKinds; ++k)
          for (Bitboard b = p.Pieces(c, types[k]); b;) army[c].Add(nalimov::ManKind(k), PopLowest(b));
      const Square ep = p.st.epSquare ? Square(p.st.epSquare) : nalimov::NoEnPassant;
      ok = nalimov::Layout(number, fileSide).Index(army[exchanged].slots, army[!exchanged].slots, ep, exchanged) ==
           expected;
    }
    enPassant += p.st.epSquare != 0;
    if (!ok && ++failures <= 10)
      ADD_FAILURE() << f[0] << " " << f[2] << " " << f[3] << " " << fen << ": expected " << f[4] << " " << expected
                    << (entry ? ", got " + entry->FileName() + " " + std::to_string(entry->index) : ", no table");
  }
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(enPassant, 60);
  EXPECT_GE(viaEntryPoint, 5800);
}
