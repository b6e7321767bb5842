// FEN reading: the lexical check, what the parser keeps and drops, and the
// consistency check that guards the search against impossible positions.
#include <gtest/gtest.h>
#include "board/movegen.h"
#include "board/perft.h"
#include "common/output.h"
#include "tests/support/test_data.h"

namespace {
std::vector<std::string> captured;
void Capture(std::string_view line) { captured.emplace_back(line); }

struct CapturedOutput {
  CapturedOutput() { captured.clear(); SetStdoutWriter(Capture); }
  ~CapturedOutput() { SetStdoutWriter(nullptr); }
};

Position FromFen(const char* fen) {
  Position p;
  EXPECT_TRUE(SetPositionFromFen(p, fen)) << fen;
  return p;
}
}  // namespace

TEST(Fen, LexicalCheckAcceptsAndRejects) {
  CapturedOutput out;
  EXPECT_TRUE(ValidateFen("8/8/8/8/8/8/8/8 w - -"));
  EXPECT_TRUE(ValidateFen(StartFen));
  EXPECT_TRUE(ValidateFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 moves e2e4"));
  EXPECT_TRUE(captured.empty());
  EXPECT_FALSE(ValidateFen("8/8/8/8/8/8/8/8 x - -"));            // side field
  EXPECT_FALSE(ValidateFen("8/8/8/8/8/8/8 w - -"));              // six slashes
  EXPECT_FALSE(ValidateFen("8/8/8/8/8/8/8/8/8 w - -"));          // eight slashes
  EXPECT_FALSE(ValidateFen("8/8/8/8/8/8/8/8 w -"));              // three fields
  EXPECT_FALSE(ValidateFen("8/8/8/8/8/8/8/8 w - - $"));          // stray character
  EXPECT_FALSE(ValidateFen("garbage"));
  ASSERT_EQ(captured.size(), 6u);
  EXPECT_EQ(captured[0], "info string Invalid FEN string.");
}

TEST(Fen, InvalidStringLeavesPositionUntouched) {
  CapturedOutput out;
  Position p = FromFen(StartFen);
  const uint64_t key = p.st.key;
  EXPECT_FALSE(SetPositionFromFen(p, "rnbqkbnr/pppppppp w KQkq -"));
  EXPECT_EQ(p.st.key, key);
  EXPECT_EQ(p.board[E1], PieceWords[WhiteKing]);
}

TEST(Fen, EmptyBoardParsesButIsInconsistent) {
  Position p = FromFen("8/8/8/8/8/8/8/8 w - -");
  EXPECT_EQ(p.occupied, 0u);
  EXPECT_FALSE(CheckPositionConsistency(p));
}

TEST(Fen, EnPassantSquareKeptOnlyWhenUsable) {
  EXPECT_EQ(FromFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3").st.epSquare, 0u);
  EXPECT_EQ(FromFen("rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR b KQkq e3").st.epSquare, uint32_t(E3));
  // Wrong rank for the side to move, or no pawn that just moved.
  EXPECT_EQ(FromFen("rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR w KQkq e3").st.epSquare, 0u);
  EXPECT_EQ(FromFen("4k3/8/8/8/3p4/8/8/4K3 b - e3").st.epSquare, 0u);
  EXPECT_EQ(FromFen("4k3/8/8/8/8/8/8/4K3 w - e9").st.epSquare, 0u);
}

TEST(Fen, CastlingLettersOnlyInTheirOrder) {
  EXPECT_EQ(FromFen("r3k2r/8/8/8/8/8/8/R3K2R w kq -").st.castling, 12u);
  EXPECT_EQ(FromFen("r3k2r/8/8/8/8/8/8/R3K2R w qk -").st.castling, 8u);
  EXPECT_EQ(FromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -").st.castling, 15u);
  EXPECT_EQ(FromFen("r3k2r/8/8/8/8/8/8/R3K2R w - -").st.castling, 0u);
}

TEST(Fen, WriterRoundTripsOpenings) {
  for (const std::string& line : LoadOpeningFens()) {
    Position p = FromFen(line.c_str());
    std::string fen = PositionToFen(p);
    Position again = FromFen(fen.c_str());
    EXPECT_EQ(again.st.key, p.st.key) << line;
    EXPECT_EQ(fen.substr(0, fen.find(' ')), line.substr(0, line.find(' ')));
  }
}

// Malformed boards must never read or write outside the board, nor let the
// generators loose on a position they cannot handle.
TEST(Fen, OverlongRanksStayOnTheBoard) {
  const char* odd[] = {"rnbqkbnrrr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
                       "rnbqkbnr/pppppppppppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
                       "k7/8/8/8/8/8/8/7K w - -                                         "};
  for (const char* fen : odd) {
    Position p;
    ASSERT_TRUE(SetPositionFromFen(p, fen));
    if (CheckPositionConsistency(p)) Perft(p, 3);   // usable boards must be searchable
  }
}

TEST(Fen, MalformedBoardsAreContainedAndRejected) {
  const char* bad[] = {
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
  for (const char* fen : bad) {
    Position p;
    if (!SetPositionFromFen(p, fen)) continue;
    EXPECT_LE(PopCount(p.occupied), 64);
    EXPECT_FALSE(CheckPositionConsistency(p)) << fen;
  }
}

TEST(Fen, ConsistencyAcceptsEveryReferencePosition) {
  for (const PerftCase& c : LoadPerftCases()) EXPECT_TRUE(CheckPositionConsistency(FromFen(c.fen.c_str()))) << c.fen;
  for (const std::string& fen : LoadOpeningFens()) EXPECT_TRUE(CheckPositionConsistency(FromFen(fen.c_str()))) << fen;
}
