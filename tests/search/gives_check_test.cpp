// The check test of the search against the board: after every legal move of
// the reference positions and their successors (Chess960 castlings among
// them), the move gives check exactly when the opponent's king stands in check.
#include <gtest/gtest.h>
#include "board/make_move.h"
#include "board/notation.h"
#include "search/move_tests.h"
#include "tests/support/test_data.h"

namespace {
template <Color C> void CheckTree(Position& p, int depth, int& wrong, uint64_t& moves) {
  MoveList legal;
  GenerateLegalMoves(p, legal);
  for (Move m : legal) {
    const bool predicted = GivesCheck<C>(p, m);
    UndoRecord undo;
    MakeMove<C>(p, undo, m);
    ++moves;
    if (predicted != InCheck<Opponent(C)>(p) && ++wrong <= 5)
      ADD_FAILURE() << PositionToFen(p) << " after " << MoveToText(m) << ": predicted " << predicted;
    if (depth > 1) CheckTree<Opponent(C)>(p, depth - 1, wrong, moves);
    UnmakeMove<C>(p, undo, m);
  }
}
}  // namespace

TEST(GivesCheck, AgreesWithTheBoardAfterEveryMove) {
  const uint64_t budget = Sanitized() ? 20'000 : 200'000;
  uint64_t moves = 0, castlings = 0;
  int wrong = 0;
  for (const PerftFile& file : PerftFiles) {
    Chess960Scope mode(file.chess960);
    for (const PerftCase& c : LoadPerftCases(file.name)) {
      Position p = FromFen(c.fen);
      int depth = 1;
      while (depth < int(c.counts.size()) && c.counts[depth] <= budget) ++depth;
      if (p.sideToMove == White) CheckTree<White>(p, depth, wrong, moves);
      else CheckTree<Black>(p, depth, wrong, moves);
      MoveList legal;
      GenerateLegalMoves(p, legal);
      for (Move m : legal) castlings += IsChess960Castling(m);
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(moves, 1'000'000u / (Sanitized() ? 10 : 1));
  EXPECT_GT(castlings, 5u);   // the Chess960 castlings were there to be tested
}
