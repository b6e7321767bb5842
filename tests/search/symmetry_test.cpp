// The rules of the search that depend on ranks, squares and directions must
// treat both colours alike: for every legal move of many positions, the
// colour-flipped move in the colour-flipped position gets the same decision.
// Also, the exchange prune of a lazily evaluated node (attack tested on the
// board) decides as a fully evaluated one (attack maps of the evaluation).
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include "board/movegen.h"
#include "board/notation.h"
#include "eval/evaluate.h"
#include "search/move_picker.h"
#include "search/search.h"
#include "tests/support/fen_transforms.h"
#include "tests/support/test_data.h"

namespace {

struct Decisions {
  bool earlyPasser, lostLazily, lostWithMaps;
  bool operator==(const Decisions&) const = default;
};

template <Color C> Decisions Decide(const Position& p, Move m) {
  PlyRecord lazy{}, full{};
  lazy.attacksValid = false;
  full.eval.sideSign = C == White ? 1 : -1;
  Evaluate(p, full.eval);
  full.attacksValid = true;
  return {IsEarlyPasserPush<C>(p, m), MovedPieceIsLost<C>(p, lazy, m), MovedPieceIsLost<C>(p, full, m)};
}

Decisions Decide(const Position& p, Move m) {
  return p.sideToMove == White ? Decide<White>(p, m) : Decide<Black>(p, m);
}

std::vector<std::string> Positions() {
  std::vector<std::string> fens = {
      // Passed and candidate pawns of both colours on every rank.
      "8/5pk1/6p1/1P6/8/6P1/5PK1/8 w - - 0 1",
      "8/2k5/8/1pP5/1P6/8/5K2/8 b - - 0 1",
      "r4rk1/1p3ppp/p7/2pP4/2P5/1P4P1/P4P1P/R4RK1 w - - 0 1",
      "6k1/P4ppp/8/3P4/8/1p6/r4PPP/3R2K1 b - - 0 1",
      "8/8/1k6/8/3K4/8/1p6/8 w - - 0 1",
      "4k3/1p6/8/3pP3/2P5/8/6p1/4K3 w - d6 0 1",
      // Pieces en prise and defended.
      "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N2N2/PP2BPPP/R1BQ1RK1 w - - 0 9",
      "r2q1rk1/ppp2ppp/2n1bn2/2bpp3/4P3/2NP1N2/PPPBBPPP/R2QK2R b KQ - 0 1",
  };
  for (const PerftCase& c : LoadPerftCases()) fens.push_back(c.fen);
  for (const std::string& s : LoadOpeningFens()) fens.push_back(s);
  return fens;
}

}  // namespace

TEST(SearchSymmetry, DecisionsOnMovesMirrorBetweenColours) {
  InitBoard();
  int moves = 0, passers = 0, lost = 0;
  for (const std::string& fen : Positions()) {
    const std::string twinFen = ColourFlipped(fen);
    const Position p = FromFen(fen), twin = FromFen(twinFen);
    if (InCheck(p)) continue;
    Move list[MaxMoves];
    const Move* end = GenerateLegalMoves(p, list);
    for (const Move* m = list; m < end; ++m) {
      const std::string text = MoveToText(*m);
      const Move mirrored = FindLegalMove(twin, ColourFlippedMove(text).c_str());
      ASSERT_NE(mirrored, 0u) << fen << " " << text;
      const Decisions d = Decide(p, *m);
      EXPECT_TRUE(d == Decide(twin, mirrored)) << fen << " " << text;
      EXPECT_EQ(d.lostLazily, d.lostWithMaps) << fen << " " << text;
      ++moves;
      passers += d.earlyPasser;
      lost += d.lostLazily;
    }
  }
  // The positions hold examples of each decision.
  EXPECT_GT(moves, 3000);
  EXPECT_GT(passers, 10);
  EXPECT_GT(lost, 100);
}

// The time rule's gap: the best score against the highest last known value
// of another move, whatever the sign of the best score.
TEST(RootTimeRule, GapIsMeasuredAgainstTheRivalsLastKnownValue) {
  auto s = std::make_unique<SearchContext>();
  auto set = [&](int i, Move m, int score, int rival) {
    s->rootMoves[i].move = m;
    s->rootMoves[i].score = score;
    s->rootMoves[i].rivalScore = rival;
  };
  s->rootMoveCount = 3;
  // The gap does not depend on the sign of the evaluation, and a move that
  // never had a value (score 0) is no rival.
  for (int best : {-150, 0, 150}) {
    SCOPED_TRACE(best);
    set(0, 0x1234, best, best);
    set(1, 0x2345, 0, RootMove::NoRivalScore);
    set(2, 0x3456, best - 80, best - 80);
    EXPECT_EQ(RootScoreGap(*s), 80);
    // The old best overtaken by a new one: its last score may lie above.
    set(2, 0x3456, best - 80, best + 25);
    EXPECT_EQ(RootScoreGap(*s), -25);
  }
  // The same move twice is no rival; a one-move table has none.
  set(1, 0x1234, 0, -500);
  set(2, 0x3456, 0, RootMove::NoRivalScore);
  EXPECT_EQ(RootScoreGap(*s), 50000);
  s->rootMoveCount = 1;
  EXPECT_EQ(RootScoreGap(*s), 50000);
}
