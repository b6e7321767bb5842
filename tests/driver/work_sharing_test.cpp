// The controller's lines during a search, in process: what "deny", "take"
// and "posted" do to the root moves, the table and the running search.
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include "board/notation.h"
#include "common/output.h"
#include "driver/engine.h"
#include "driver/search_driver.h"
#include "group/hash_memory.h"
#include "platform/platform.h"
#include "search/hash_table.h"
#include "tests/support/captured_output.h"
#include "tests/support/hash_probe.h"

namespace {
class WorkSharing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(AllocateHashTable(1));
    ResetToStartPosition();
    Search.rootMoveCount = 3;
    for (int i = 0; i < 3; ++i) {
      Search.rootMoves[i] = RootMove{};
      Search.rootMoves[i].move = Parse(Moves[i]);
      Search.rootMoves[i].pv = Moves[i];
    }
    Search.rootMoves[3] = RootMove{};
    Search.settings.multiPv = 3;
    Search.currentRootMove = Search.rootMoves[1].move;
    Search.restartRequested = false;
    Engine.searching = true;
    log = std::tmpfile();
    Output.textLog = log;
    Output.textLogOpenTick = platform::NowMs();
  }
  void TearDown() override {
    Engine.searching = false;
    Search.settings.multiPv = 1;
    Search.rootMoveCount = 0;
    Search.currentRootMove = 0;
    Search.restartRequested = false;
    Output.textLog = nullptr;
    std::fclose(log);
  }
  static Move Parse(const char* text) { return ParseCoordinateMove(Engine.position, text, true); }
  std::string LogText() { return ReadAll(log); }
  static constexpr const char* Moves[3] = {"e2e4", "d2d4", "g1f3"};
  std::FILE* log = nullptr;
};
}  // namespace

TEST_F(WorkSharing, DenyRemovesAMoveAndRestartsWhenItIsBeingSearched) {
  // Not the move being searched: removed, one line fewer, the search goes on.
  EXPECT_TRUE(HandleDeny("deny g1f3"));
  EXPECT_EQ(Search.rootMoveCount, 2);
  EXPECT_EQ(Search.settings.multiPv, 2);
  EXPECT_FALSE(Search.restartRequested);
  // The move being searched: the search starts again without it.
  EXPECT_THROW(HandleDeny("deny d2d4"), SearchStopped);
  EXPECT_TRUE(Search.restartRequested);
  EXPECT_EQ(Search.rootMoveCount, 1);
  EXPECT_EQ(Search.settings.multiPv, 1);
  EXPECT_NE(LogText().find("Deny move is currently being searched, restarting."), std::string::npos);
  // With one line left (or no search) a deny does not apply.
  Search.restartRequested = false;
  EXPECT_FALSE(HandleDeny("deny e2e4"));
  EXPECT_EQ(Search.rootMoveCount, 1);
}

TEST_F(WorkSharing, TakeKeepsOneMoveAndRestartsOnlyForAnother) {
  Search.currentRootMove = Search.rootMoves[0].move;
  EXPECT_TRUE(HandleTake("take e2e4"));   // first and being searched: no restart
  EXPECT_FALSE(Search.restartRequested);
  EXPECT_EQ(Search.rootMoveCount, 1);
  EXPECT_EQ(Search.rootMoves[1].move, 0u);
  SetUp();
  EXPECT_THROW(HandleTake("take g1f3"), SearchStopped);
  EXPECT_TRUE(Search.restartRequested);
  EXPECT_EQ(Search.rootMoveCount, 1);
  EXPECT_EQ(MoveToText(Search.rootMoves[0].move), "g1f3");
}

TEST_F(WorkSharing, PostedResultsMustBeDeeperThanWhatTheTableHolds) {
  const uint64_t key = Engine.position.st.key;
  StoreExact(key, Parse("e2e4"), 30, 25);   // the table's own result, with a move playable here
  char line[96];
  std::snprintf(line, sizeof line, "posted 35 40 %llx d2d4", static_cast<unsigned long long>(key));
  HandlePosted(line);
  EXPECT_NE(LogText().find("post rejected: 30 25 e2e4"), std::string::npos);
  EXPECT_EQ(EntryStoredScore(*DeepestSlot(key)) - HashScoreBias, 25);
  std::snprintf(line, sizeof line, "posted 36 40 %llx d2d4", static_cast<unsigned long long>(key));
  HandlePosted(line);
  const HashEntry stored = LoadEntry(*DeepestSlot(key));
  EXPECT_EQ(EntryDepth(stored), 36);
  EXPECT_EQ(EntryStoredScore(stored) - HashScoreBias, 40);
  EXPECT_EQ(MoveToText(EntryMoveLow(stored)), "d2d4");
}

namespace {
// A "deny" that a controller sends while the root searches a later move,
// injected from the periodic check once the search is under way.
struct DenyInjection {
  int deniedIndex = 0, searchedIndex = 0;
  std::string denied;
  bool done = false;
};
DenyInjection injection;

void InjectDeny(SearchContext& s) {
  s.countdown = 64;   // look often: a later move may take only a few hundred nodes
  // In the last iteration, so that no later one tidies up what it leaves.
  if (injection.done || s.rootMoveIndex != injection.searchedIndex || s.rootMoves[0].depth < DepthUnitsOfPlies(7))
    return;
  injection.denied = MoveToText(s.rootMoves[injection.deniedIndex].move);
  EXPECT_TRUE(HandleDeny("deny " + injection.denied));
  injection.done = true;
}
}  // namespace

TEST_F(WorkSharing, DenyDuringAPassLeavesEveryResultOnItsOwnMove) {
  for (const auto& [denied, searched] : {std::pair{0, 1}, std::pair{1, 4}, std::pair{0, 7}}) {
    SCOPED_TRACE("deny entry " + std::to_string(denied) + " while entry " + std::to_string(searched) + " is searched");
    ResetToStartPosition();
    NewGameReset();
    injection = DenyInjection{};
    injection.deniedIndex = denied;
    injection.searchedIndex = searched;
    Search.limits = SearchLimits{};
    Search.limits.depthLimit = DepthUnitsOfPlies(7);
    Search.settings.multiPv = 3;
    Search.host = SearchHost{};
    Search.host.periodicCheck = InjectDeny;
    Search.startTime = platform::NowMs();
    SetPhaseParameters(Search, Engine.position);
    SetStdoutWriter(CaptureLine);
    RootSearch(Search, Engine.position);
    SetStdoutWriter(nullptr);
    ASSERT_TRUE(injection.done);
    EXPECT_EQ(Search.settings.multiPv, 2);
    ASSERT_EQ(Search.rootMoveCount, 19);
    for (int i = 0; i < Search.rootMoveCount; ++i) {
      const RootMove& rm = Search.rootMoves[i];
      const std::string move = MoveToText(rm.move);
      ASSERT_NE(rm.move, 0u) << "entry " << i;
      EXPECT_NE(move, injection.denied);
      EXPECT_EQ(rm.pv.substr(0, move.size() + 1), move + (rm.pv.size() > move.size() ? " " : "")) << "entry " << i;
    }
    EXPECT_EQ(Search.bestMove, Search.rootMoves[0].move);
    EXPECT_GE(Search.rootMoves[0].depth, DepthUnitsOfPlies(6));
  }
}
