// Move generation against the verified perft counts, and the incremental
// state of make/unmake against from-scratch recomputation on every move.
#include <gtest/gtest.h>
#include <cstring>
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/perft.h"
#include "tests/support/test_data.h"

namespace {
// Everything unmake must restore: board, bitboards, kings, occupancy, the
// state block and the keys that lie below the history count.
::testing::AssertionResult SamePosition(const Position& a, const Position& b) {
  if (std::memcmp(&a, &b, offsetof(Position, history)) != 0) return ::testing::AssertionFailure() << "record differs";
  if (std::memcmp(a.history, b.history, a.st.historyCount * sizeof(uint64_t)) != 0)
    return ::testing::AssertionFailure() << "history differs";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult MatchesScratch(const Position& p, Color toMove) {
  Position scratch = p;
  scratch.sideToMove = toMove;
  RebuildDerivedState(scratch);
  if (scratch.st.key != p.st.key) return ::testing::AssertionFailure() << "key";
  if (scratch.st.pawnKey != p.st.pawnKey) return ::testing::AssertionFailure() << "pawn key";
  if (scratch.st.materialKey != p.st.materialKey) return ::testing::AssertionFailure() << "material key";
  if (scratch.st.pstSum != p.st.pstSum) return ::testing::AssertionFailure() << "PstSum";
  if (std::memcmp(scratch.pieces, p.pieces, sizeof p.pieces) || scratch.occupied != p.occupied ||
      scratch.kingSquare[0] != p.kingSquare[0] || scratch.kingSquare[1] != p.kingSquare[1])
    return ::testing::AssertionFailure() << "bitboards";
  return ::testing::AssertionSuccess();
}

template <Color C> uint64_t CheckedPerft(Position& p, int depth, bool& ok) {
  Move moves[MaxMoves];
  Move* end = GenerateLegal<C>(p, moves);
  if (depth == 0) return 1;
  uint64_t nodes = 0;
  for (Move* m = moves; m < end && ok; ++m) {
    const Position before = p;
    UndoRecord undo;
    MakeMove<C>(p, undo, *m);
    auto scratch = MatchesScratch(p, Opponent(C));
    if (!scratch) {
      ADD_FAILURE() << "after " << std::hex << *m << ": " << scratch.message();
      ok = false;
    }
    nodes += CheckedPerft<Opponent(C)>(p, depth - 1, ok);
    UnmakeMove<C>(p, undo, *m);
    auto same = SamePosition(p, before);
    if (!same) {
      ADD_FAILURE() << "unmake of " << std::hex << *m << ": " << same.message();
      ok = false;
    }
  }
  return nodes;
}

uint64_t NodeBudget(uint64_t normal, uint64_t sanitized) {
  if (std::getenv("TOLVO_PERFT_FULL")) return ~uint64_t(0);
  return Sanitized() ? sanitized : normal;
}
}  // namespace

TEST(PerftSuite, CountsMatchReferenceFile) {
  const uint64_t budget = NodeBudget(12'000'000, 2'000'000);
  for (const PerftFile& file : PerftFiles) {
    Chess960Scope mode(file.chess960);
    auto cases = LoadPerftCases(file.name);
    ASSERT_EQ(cases.size(), file.positions) << file.name;
    for (const PerftCase& c : cases) {
      Position p;
      ASSERT_TRUE(SetPositionFromFen(p, c.fen.c_str())) << c.fen;
      ASSERT_TRUE(!c.counts.empty() && c.counts[0] <= budget) << c.fen << ": nothing to count";
      for (size_t d = 1; d <= c.counts.size() && c.counts[d - 1] <= budget; ++d)
        EXPECT_EQ(Perft(p, int(d)), c.counts[d - 1]) << c.fen << " depth " << d;
    }
  }
}

TEST(PerftSuite, IncrementalStateEqualsScratchOnEveryMove) {
  const uint64_t budget = NodeBudget(300'000, 60'000);
  for (const PerftFile& file : PerftFiles) {
    Chess960Scope mode(file.chess960);
    for (const PerftCase& c : LoadPerftCases(file.name)) {
      Position p;
      ASSERT_TRUE(SetPositionFromFen(p, c.fen.c_str()));
      int depth = 0;
      while (depth < int(c.counts.size()) && c.counts[depth] <= budget) ++depth;
      ASSERT_GT(depth, 0) << c.fen;
      bool ok = true;
      uint64_t n = p.sideToMove == White ? CheckedPerft<White>(p, depth, ok) : CheckedPerft<Black>(p, depth, ok);
      ASSERT_TRUE(ok) << c.fen;
      EXPECT_EQ(n, c.counts[depth - 1]) << c.fen;
    }
  }
}
