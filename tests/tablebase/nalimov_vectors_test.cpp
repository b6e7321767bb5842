// Positions whose entries in the real Nalimov files are known: every one must
// come out with its file and index, both through the layouts and through the
// prober's entry point.
#include <gtest/gtest.h>
#include "tests/tablebase/nalimov_positions.h"
#include "tests/tablebase/nalimov_test_data.h"

namespace {

Army ArmyOf(const Position& p, Color c) {
  Army a(p.KingSquare(c));
  constexpr int types[] = {PawnType, KnightType, BishopType, RookType, QueenType};
  for (int k = 0; k < nalimov::ManKinds; ++k)
    for (Bitboard b = p.Pieces(c, types[k]); b;) a.Add(ManKind(k), PopLowest(b));
  return a;
}

}  // namespace

TEST(NalimovVectors, EveryLineGivesItsFileAndIndex) {
  const auto rows = LoadVectors();
  int checked = 0, failures = 0, viaEntryPoint = 0, enPassant = 0;
  for (const VectorRow& row : rows) {
    Position p;
    ASSERT_TRUE(SetPositionFromFen(p, row.fen.c_str())) << row.fen;
    const bool exchanged = row.flag == 'x';
    const Color fileSide = row.side == 'w' ? White : Black;
    ASSERT_EQ(fileSide, exchanged ? Opponent(p.sideToMove) : p.sideToMove) << row.fen;
    const Army white = ArmyOf(p, White), black = ArmyOf(p, Black);
    const Square ep = p.st.epSquare ? Square(p.st.epSquare) : nalimov::NoEnPassant;
    enPassant += ep != nalimov::NoEnPassant;
    const auto& layout = nalimov::Layout(row.number, fileSide);
    uint64_t index = exchanged ? layout.Index(black.slots, white.slots, ep, true)
                               : layout.Index(white.slots, black.slots, ep, false);
    bool ok = index == row.index;

    // The entry point chooses the exchange itself; it agrees wherever the
    // material names the table one way only (kpkp reads both ways).
    const auto entry = nalimov::LocateEntry(p);
    ok = ok && entry && entry->table->number == row.number;
    if (ok && entry->coloursExchanged == exchanged) {
      ok = entry->index == row.index && entry->FileName() == row.file;
      ++viaEntryPoint;
    }
    if (!ok && ++failures <= 10)
      ADD_FAILURE() << row.table << " " << row.side << " " << row.flag << " " << row.fen << ": expected "
                    << row.file << " " << row.index << ", got " << index
                    << (entry ? " / " + entry->FileName() + " " + std::to_string(entry->index) : " / no table");
    ++checked;
  }
  EXPECT_EQ(failures, 0) << "of " << checked;
  EXPECT_EQ(checked, 5860);
  EXPECT_EQ(enPassant, 60);
  EXPECT_GE(viaEntryPoint, 5850);
}
