// FEN reading: the lexical check, what the parser keeps and drops, and the
// consistency check that guards the search against impossible positions.
#include <gtest/gtest.h>
#include "board/movegen.h"
#include "board/perft.h"
#include "common/output.h"
#include "tests/support/captured_output.h"
#include "tests/support/test_data.h"


TEST(Fen, LexicalCheckAcceptsAndRejects) {
  const std::pair<const char*, bool> cases[] = {
      {"8/8/8/8/8/8/8/8 w - -", true},
      {StartFen, true},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 moves e2e4", true},
      {"8/8/8/8/8/8/8/8 x - -", false},       // side field
      {"8/8/8/8/8/8/8 w - -", false},         // six slashes
      {"8/8/8/8/8/8/8/8/8 w - -", false},     // eight slashes
      {"8/8/8/8/8/8/8/8 w -", false},         // three fields
      {"8/8/8/8/8/8/8/8 w - - $", false},     // stray character
      {"garbage", false},
  };
  CapturedLines.clear();
  SetStdoutWriter(CaptureLine);
  for (const auto& [fen, valid] : cases) {
    const size_t before = CapturedLines.size();
    EXPECT_EQ(ValidateFen(fen), valid) << fen;
    EXPECT_EQ(CapturedLines.size(), before + (valid ? 0 : 1)) << fen;
  }
  SetStdoutWriter(nullptr);
  EXPECT_EQ(CapturedLines.back(), "info string Invalid FEN string.");
  // An invalid string leaves the position untouched.
  Position p = FromFen(StartFen);
  const uint64_t key = p.st.key;
  SetStdoutWriter([](std::string_view) {});
  EXPECT_FALSE(SetPositionFromFen(p, "rnbqkbnr/pppppppp w KQkq -"));
  SetStdoutWriter(nullptr);
  EXPECT_EQ(p.st.key, key);
}

TEST(Fen, EnPassantAndCastlingKeptOnlyWhenUsable) {
  const std::pair<const char*, uint32_t> enPassant[] = {
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3", 0},           // no pawn can take
      {"rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR b KQkq e3", uint32_t(E3)},
      {"rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR w KQkq e3", 0},           // wrong rank for the side
      {"4k3/8/8/8/3p4/8/8/4K3 b - e3", 0},                                      // no pawn just moved
      {"4k3/8/8/8/8/8/8/4K3 w - e9", 0},
  };
  for (const auto& [fen, square] : enPassant) EXPECT_EQ(FromFen(fen).st.epSquare, square) << fen;
  // Castling letters count only in their order.
  const std::pair<const char*, uint32_t> castling[] = {{"r3k2r/8/8/8/8/8/8/R3K2R w kq -", 12},
                                                      {"r3k2r/8/8/8/8/8/8/R3K2R w qk -", 8},
                                                      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", 15},
                                                      {"r3k2r/8/8/8/8/8/8/R3K2R w - -", 0}};
  for (const auto& [fen, rights] : castling) EXPECT_EQ(FromFen(fen).st.castling, rights) << fen;
}

TEST(Fen, WriterRoundTripsOpenings) {
  for (const std::string& line : LoadOpeningFens()) {
    Position p = FromFen(line.c_str());
    std::string fen = PositionToFen(p);
    EXPECT_EQ(FromFen(fen.c_str()).st.key, p.st.key) << line;
    EXPECT_EQ(fen.substr(0, fen.find(' ')), line.substr(0, line.find(' ')));
  }
}

// Malformed boards must never read or write outside the board, nor let the
// generators loose on a position they cannot handle.
TEST(Fen, MalformedBoardsAreContainedAndRejected) {
  const char* bad[] = {
      "8/8/8/8/8/8/8/8 w - -",                      // empty board
      "P3k3/8/8/8/8/8/8/4K3 w - -",                 // pawn on the last rank
      "4k3/8/8/8/8/8/8/p3K3 b - -",                 // pawn on the first rank
      "4k3/8/8/8/8/8/8/4K3 w KQkq -",               // rights without rooks
      "4k3/8/8/8/8/8/8/3K4 w K -",                  // right without king at home
      "4k3/8/8/8/8/8/8/8 w - -",                    // no white king
      "4k2k/8/8/8/8/8/8/4K3 w - -",                 // two black kings
      "4k3/4R3/8/8/8/8/8/4K3 w - -",                // side not to move in check
      "QQQQkQQQ/QQQQQQQQ/8/8/8/8/8/4K3 w - -",      // unreachable material
      "9/8/8/8/8/8/8/8 w - -",
      "44444444/8/8/8/8/8/8/8 w - -",
  };
  int parsed = 0;
  for (const char* fen : bad) {
    Position p;
    if (!SetPositionFromFen(p, fen)) continue;
    ++parsed;
    EXPECT_LE(PopCount(p.occupied), 64);
    EXPECT_FALSE(CheckPositionConsistency(p)) << fen;
  }
  EXPECT_GE(parsed, 9);   // the lexical check lets these through to the consistency check
  const char* odd[] = {"rnbqkbnrrr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
                       "rnbqkbnr/pppppppppppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
                       "k7/8/8/8/8/8/8/7K w - -                                         "};
  for (const char* fen : odd) {
    Position p;
    ASSERT_TRUE(SetPositionFromFen(p, fen));
    if (CheckPositionConsistency(p)) Perft(p, 3);   // usable boards must be searchable
  }
}

TEST(Fen, ConsistencyAcceptsEveryReferencePosition) {
  for (const PerftCase& c : LoadPerftCases()) EXPECT_TRUE(CheckPositionConsistency(FromFen(c.fen.c_str()))) << c.fen;
  for (const std::string& fen : LoadOpeningFens()) EXPECT_TRUE(CheckPositionConsistency(FromFen(fen.c_str()))) << fen;
}
