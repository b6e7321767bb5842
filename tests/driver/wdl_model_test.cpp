// The win/draw/loss model behind "wdl W D L": chances that are chances
// (whole per mille that add up), that rise with the score, that treat both
// sides alike, and mates that are certain.
#include <gtest/gtest.h>
#include "board/position.h"
#include "common/score.h"
#include "driver/wdl_model.h"
#include "tests/support/test_data.h"

TEST(WdlModel, ChancesAddUpRiseWithTheScoreAndMirror) {
  for (int material = 0; material <= 80; material += 4) {
    WinDrawLoss previous{0, 0, 1000};
    for (int score = -MaxOrdinaryScore; score <= MaxOrdinaryScore; score += 25) {
      SCOPED_TRACE(testing::Message() << "score " << score << " material " << material);
      const WinDrawLoss w = WdlOfScore(score, material);
      EXPECT_EQ(w.win + w.draw + w.loss, 1000);
      EXPECT_GE(w.win, 0);
      EXPECT_GE(w.draw, 0);
      EXPECT_GE(w.loss, 0);
      EXPECT_GE(w.win, previous.win);
      EXPECT_LE(w.loss, previous.loss);
      // The other side's view of the same position.
      const WinDrawLoss other = WdlOfScore(-score, material);
      EXPECT_EQ(w.win, other.loss);
      EXPECT_EQ(w.loss, other.win);
      previous = w;
    }
  }
  // A big lead is nearly a sure win, and more so with little material left
  // to turn it around; an even score is no sure result.
  EXPECT_GT(WdlOfScore(600, 30).win, 900);
  EXPECT_LT(WdlOfScore(0, 78).win, 500);
  EXPECT_LT(WdlOfScore(0, 78).loss, 500);
}

TEST(WdlModel, MatesAreCertain) {
  for (int plies : {1, 2, 9, 120}) {
    const WinDrawLoss mating = WdlOfScore(MateScore - plies, 40), mated = WdlOfScore(-(MateScore - plies), 40);
    EXPECT_EQ(mating.win, 1000);
    EXPECT_EQ(mated.loss, 1000);
  }
  EXPECT_EQ(WdlOfScore(-MateScore, 0).loss, 1000);
}

TEST(WdlModel, MaterialCountsBothSides) {
  EXPECT_EQ(WdlMaterial(FromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -")), 78);
  EXPECT_EQ(WdlMaterial(FromFen("8/8/4k3/8/8/3K4/8/7Q w - -")), 9);
  EXPECT_EQ(WdlMaterial(FromFen("8/p7/4k3/8/8/3K4/8/1N5R b - -")), 9);
}
