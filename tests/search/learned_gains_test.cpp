// The rule by which moves learn what they do to the positional evaluation.
#include <gtest/gtest.h>
#include "board/notation.h"
#include "board/position.h"
#include "search/learned_gains.h"

namespace {
Move MoveIn(const char* fen, const char* text) {
  Position p;
  EXPECT_TRUE(SetPositionFromFen(p, fen));
  const Move m = ParseCoordinateMove(p, text, true);
  EXPECT_NE(m, Move(0)) << text;
  return m;
}
LearnedGains gains;
constexpr const char* Italian = "r1bqk1nr/pppp1ppp/2n5/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";
}  // namespace

TEST(LearnedGains, MovesLearnHalfwayAndStayInRange) {
  ForgetLearnedGains(gains);
  const Move castle = MoveIn(Italian, "e1g1");
  LearnGain<White>(gains, castle, 40);
  EXPECT_EQ(ExpectedGain<White>(gains, castle), 20);
  EXPECT_EQ(ExpectedGain<Black>(gains, castle), 0);   // each colour learns on its own
  for (int i = 0; i < 20; ++i) LearnGain<White>(gains, castle, 5000);
  EXPECT_EQ(ExpectedGain<White>(gains, castle), 127);
  for (int i = 0; i < 20; ++i) LearnGain<White>(gains, castle, -5000);
  EXPECT_EQ(ExpectedGain<White>(gains, castle), -127);
}

TEST(LearnedGains, CapturesSplitPieceFromMove) {
  ForgetLearnedGains(gains);
  // A bishop capture teaches the value of removing that piece on that square.
  const Move bishopTakes = MoveIn(Italian, "c4f7");
  LearnGain<White>(gains, bishopTakes, 60);
  EXPECT_EQ(gains.capture[White][CaptureGainIndex(bishopTakes)], 30);
  EXPECT_EQ(ExpectedGain<White>(gains, bishopTakes), 30);
  // A pawn capture of the same kind of piece on the same square learns only
  // what is left after the piece's share.
  const Move pawnTakes = MoveIn("4k3/5p2/6P1/8/8/8/8/4K3 w - - 0 1", "g6f7");
  ASSERT_EQ(CaptureGainIndex(pawnTakes), CaptureGainIndex(bishopTakes));
  LearnGain<White>(gains, pawnTakes, 50);
  EXPECT_EQ(gains.move[White][MoveGainIndex(pawnTakes)], 10);
  EXPECT_EQ(ExpectedGain<White>(gains, pawnTakes), 40);
  ForgetLearnedGains(gains);
}
