// Figurine move text of the logs: letters, disambiguation with pinned twins,
// captures, promotions, castling and checks.
#include <gtest/gtest.h>
#include "board/log_notation.h"
#include "board/make_move.h"
#include "board/notation.h"
#include "tests/support/test_data.h"

namespace {
// Plays the coordinate move on the position and returns its log text.
std::string LogText(const char* fen, const char* move) {
  Position p;
  EXPECT_TRUE(SetPositionFromFen(p, fen)) << fen;
  const Move m = FindLegalMove(p, move);
  EXPECT_NE(m, 0u) << move;
  if (!m) return "";
  const Color mover = p.sideToMove;
  UndoRecord undo;
  if (mover == White) MakeMove<White>(p, undo, m);
  else MakeMove<Black>(p, undo, m);
  return MoveToLogText(p, m, mover);
}
}  // namespace

TEST(LogNotation, PawnsCarryALetterOnlyWhenCapturing) {
  EXPECT_EQ(LogText("4k3/8/8/8/8/8/4P3/4K3 w - -", "e2e4"), "e4");
  EXPECT_EQ(LogText("4k3/8/8/3p4/4P3/8/8/4K3 w - -", "e4d5"), "ixd5");
  // The c-pawn could take on d5 as well: the origin file tells them apart.
  EXPECT_EQ(LogText("4k3/8/8/3p4/2P1P3/8/8/4K3 w - -", "e4d5"), "iexd5");
  // En passant removes a man although the destination was empty.
  EXPECT_EQ(LogText("4k3/8/8/3pP3/8/8/8/4K3 w - d6", "e5d6"), "ixd6");
  EXPECT_EQ(LogText("4k3/8/8/8/3Pp3/8/8/4K3 b - d3", "e4d3"), "Ixd3");
  // A promotion shows the new piece only.
  EXPECT_EQ(LogText("8/4P3/8/8/8/8/k7/4K3 w - -", "e7e8q"), "me8");
  EXPECT_EQ(LogText("3r4/4P3/8/8/8/8/k7/4K3 w - -", "e7d8n"), "kxd8");
}

TEST(LogNotation, TwinsThatCouldGoThereToo) {
  EXPECT_EQ(LogText("4k3/8/8/8/8/5N2/8/1N2K3 w - -", "b1d2"), "kbd2");
  EXPECT_EQ(LogText("4k3/8/8/8/8/1N6/8/1N2K3 w - -", "b1d2"), "k1d2");
  EXPECT_EQ(LogText("4k3/8/8/8/8/1N3N2/8/1N2K3 w - -", "b1d2"), "kb1d2");
  // Black's letters are capitals.
  EXPECT_EQ(LogText("2n1k1n1/8/8/8/8/8/8/4K3 b - -", "g8e7"), "Kge7");
  // A knight pinned to its king cannot go there: no disambiguation.
  EXPECT_EQ(LogText("4k3/8/8/3b4/8/5N2/8/1N5K w - -", "b1d2"), "kd2");
  // A rook pinned on a file can still move along it: it counts.
  EXPECT_EQ(LogText("4r2k/8/R7/8/4R3/8/8/4K3 w - -", "a6e6"), "lae6");
  // Taking the pinner frees the twin: it could have taken as well.
  EXPECT_EQ(LogText("7k/8/R3r3/8/4R3/8/8/4K3 w - -", "a6e6"), "laxe6");
}

TEST(LogNotation, CastlingAndChecks) {
  EXPECT_EQ(LogText("3k4/8/8/8/8/8/8/R3K3 w Q -", "e1c1"), "0-0-0+");
  EXPECT_EQ(LogText("r3k2r/8/8/8/8/8/8/4K3 b kq -", "e8g8"), "0-0");
  EXPECT_EQ(LogText("r3k2r/8/8/8/8/8/8/5K2 b kq -", "e8g8"), "0-0+");
  EXPECT_EQ(LogText("4k3/8/8/8/8/8/8/4K2R w K -", "h1h8"), "lh8+");
  EXPECT_EQ(LogText("4k3/8/8/8/8/8/8/4K2R w K -", "e1f2"), "nf2");
  // A discovered check counts as well.
  EXPECT_EQ(LogText("4r1k1/8/8/8/4n3/8/8/4K3 b - -", "e4c3"), "Kc3+");
  // Chess960 castlings: the king takes its rook; the side is where the rook stood.
  Chess960Scope chess960(true);
  EXPECT_EQ(LogText("3k4/2p1p3/B7/7B/8/8/8/RK6 w A -", "b1a1"), "0-0-0+");
  EXPECT_EQ(LogText("4k3/8/8/8/8/8/8/5KR1 w G -", "f1g1"), "0-0");
  EXPECT_EQ(LogText("r3k2r/8/8/8/8/8/8/4K3 b ha -", "e8h8"), "0-0");
}
