// The en-passant square and its key, the null moves, the repetition test and
// the bounded key history (castling rights, and the keys of every move of the
// reference positions, are checked against a rebuilt position by the perft suite).
#include <gtest/gtest.h>
#include "board/keys.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "tests/support/test_data.h"

namespace {

// Plays the moves on the board as the protocol does.
void PlayRoot(Position& p, std::initializer_list<const char*> moves) {
  for (const char* text : moves) {
    Move m = FindLegalMove(p, text);
    ASSERT_NE(m, 0u) << text;
    MakeRootMove(p, m);
    RebuildDerivedState(p);
  }
}

}  // namespace

TEST(MakeMove, EnPassantSquareOnlyWhenACaptureIsPossible) {
  Position p = FromFen(StartFen);
  PlayRoot(p, {"e2e4"});
  EXPECT_EQ(p.st.epSquare, 0u);
  EXPECT_EQ(p.st.key, ComputeKey(p, Black));
  PlayRoot(p, {"d7d5", "e4e5", "f7f5"});
  EXPECT_EQ(p.st.epSquare, uint32_t(F6));
  Position withoutEp = p;
  withoutEp.st.epSquare = 0;
  EXPECT_EQ(p.st.key, ComputeKey(withoutEp, White) ^ Keys.enPassant[5]);
}

TEST(MakeMove, NullMoveFlipsSideAndCountsTowardsTheFiftyMoveRule) {
  Position p = FromFen("4k3/8/8/8/8/8/8/4K3 w - -");
  const uint64_t key = p.st.key;
  UndoRecord undo;
  MakeNullMove<White>(p, undo);
  EXPECT_EQ(p.st.key, key ^ SideKey);
  EXPECT_EQ(p.st.fifty, 1u);
  UnmakeNullMove(p, undo);
  EXPECT_EQ(p.st.key, key);
  // The protocol's null move ("0000") zeroes the counter and drops the en-passant square.
  Position q = FromFen("rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR b KQkq e3");
  MakeRootMove(q, NullRootMove);
  RebuildDerivedState(q);
  EXPECT_EQ(q.sideToMove, White);
  EXPECT_EQ(q.st.epSquare, 0u);
  EXPECT_EQ(q.st.fifty, 0u);
  EXPECT_TRUE(CheckPositionConsistency(q));
}

TEST(Repetition, KnightsOutAndBack) {
  Position p = FromFen(StartFen);
  PlayRoot(p, {"g1f3", "g8f6", "f3g1"});
  EXPECT_FALSE(IsRepetition(p));
  PlayRoot(p, {"f6g8"});
  EXPECT_TRUE(IsRepetition(p));
  // Reached again only through a capture in between: the counter was reset.
  Position q = FromFen("4k3/8/8/3p4/8/2N5/8/4K3 w - -");
  PlayRoot(q, {"c3d5", "e8d8", "d5c3", "d8e8"});
  EXPECT_FALSE(IsRepetition(q));
}

TEST(History, LongGamesStayWithinTheKeyArray) {
  Position p = FromFen(StartFen);
  // Knights dance far longer than the array; repetitions stay visible.
  const char* cycle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  for (int i = 0; i < 3000; ++i) {
    Move m = FindLegalMove(p, cycle[i % 4]);
    ASSERT_NE(m, 0u);
    MakeRootMove(p, m);
    RebuildDerivedState(p);
    ASSERT_LE(p.st.historyCount, uint32_t(HistorySize - 256));
    ASSERT_LE(p.st.fifty, p.st.historyCount);
  }
  EXPECT_TRUE(IsRepetition(p));
  EXPECT_GE(p.st.fifty, 100u);   // the fifty-move verdict survives trimming
  EXPECT_TRUE(CheckPositionConsistency(p));
  // A pawn move resets the counter; four plies later the repetition is seen afresh.
  PlayRoot(p, {"e2e4", "e7e5", "g1f3", "g8f6", "f3g1", "f6g8"});
  EXPECT_EQ(p.st.fifty, 4u);
  EXPECT_TRUE(IsRepetition(p));
}
