// The driver side of a search in process: reading "go", the time budget, the
// stop rules of the periodic check, and the report lines.
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include <vector>
#include "board/notation.h"
#include "common/output.h"
#include "driver/engine.h"
#include "driver/options.h"
#include "driver/search_driver.h"
#include "platform/platform.h"
#include "group/hash_memory.h"
#include "search/hash_table.h"
#include "search/search.h"
#include "tests/support/captured_output.h"

namespace {
using Lines = std::vector<std::string>;

class SearchDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(AllocateHashTable(1));
    savedOptions = Options;
    ResetToStartPosition();
    Search.limits = SearchLimits{};
    Search.settings.multiPv = 1;
    Search.bestMove = Engine.expectedReplyKey = Engine.largestOwnTime = 0;
    Search.rootMoveIndex = -1;
    Engine.bestMoveAllowed = true;
    Engine.ponderHit = false;
    Engine.lastInfoTime = platform::NowMs();
    CapturedLines.clear();
    SetStdoutWriter(CaptureLine);
  }
  void TearDown() override {
    SetStdoutWriter(nullptr);
    Options = savedOptions;
    Output.silentMode = false;
    Search.limits.ponderOrInfinite = false;
    if (Output.textLog) std::fclose(Output.textLog);
    Output.textLog = nullptr;
    ResetToStartPosition();
  }
  void SetPosition(const std::string& text) { Engine.gamePlies = ReadPositionText(Engine.position, text); }
  Move Legal(const char* text) { return FindLegalMove(Engine.position, text); }
  PositionKey KeyAfter(const std::string& text) {
    Position p;
    ReadPositionText(p, text);
    return p.st.key;
  }
  // Target and maximum for a clock (the divisors of its own time; the reply not predicted by default).
  std::pair<uint64_t, uint64_t> Budget(int64_t time, int64_t inc, int64_t mtg, bool unexpected = true) {
    ClockState c;
    c.ownTime = time;
    c.ownIncrement = inc;
    c.movesToGo = mtg;
    c.largestOwnTime = uint64_t(std::max<int64_t>(time, 0));
    c.unexpectedReply = unexpected;
    const TimeBudget b = AllocateTime(c, Options);
    return {b.target, b.maximum};
  }
  void Elapsed(uint64_t ms) { Search.startTime = platform::NowMs() - ms; }
  EngineOptions savedOptions;
};
using Pair = std::pair<uint64_t, uint64_t>;
}  // namespace

TEST_F(SearchDriverTest, TimeBudgets) {
  // A reply that was not the predicted one gets more time.
  EXPECT_GT(Budget(300000, 0, 0).first, Budget(300000, 0, 0, false).first);
  // Any clock: at least the shortest move, the target within the maximum,
  // the maximum within the clock less the hard buffer; pondering and an
  // unexpected reply only lengthen the target.
  for (int64_t time : {0, 100, 260, 1000, 5000, 60000, 300000, 7200000})
    for (int64_t inc : {0, 10, 1000, 30000})
      for (int64_t mtg : {0, 1, 2, 30}) {
        const Pair expected = Budget(time, inc, mtg, false), unexpected = Budget(time, inc, mtg);
        Options.ponder = true;
        const Pair pondering = Budget(time, inc, mtg, false);
        Options.ponder = false;
        for (const Pair& b : {expected, unexpected, pondering}) {
          EXPECT_GE(b.first, 5u) << time << " " << inc << " " << mtg;
          EXPECT_LE(b.first, b.second) << time << " " << inc << " " << mtg;
          EXPECT_LE(b.second, uint64_t(std::max<int64_t>(time - 250, 5))) << time << " " << inc << " " << mtg;
        }
        EXPECT_GE(unexpected.first, expected.first);
        EXPECT_GE(pondering.first, expected.first);
      }
  // Nonsense reads as none: negative moves to go, increments and buffers.
  EXPECT_EQ(Budget(60000, 0, -5), Budget(60000, 0, 0));
  EXPECT_EQ(Budget(60000, -50, 0), Budget(60000, 0, 0));
  Options.tcHardBuffer = -5000;
  EXPECT_LE(Budget(1000, 0, 1).second, 1000u);
}

TEST_F(SearchDriverTest, ClockOfTheGoLine) {
  Output.textLog = std::tmpfile();
  ASSERT_NE(Output.textLog, nullptr);
  ApplyClock(ReadGoLine("go wtime 300000 btime 300000"));
  EXPECT_TRUE(Search.limits.playMode);
  EXPECT_NE(ReadAll(Output.textLog).find("       target_time: 8901     max_time: 74187     non-ponder mode\n"),
            std::string::npos);
  // Later in the same game the divisors stay those of the longest clock; a new game forgets it.
  ApplyClock(ReadGoLine("go wtime 60000"));
  EXPECT_EQ(Search.limits.maximumTime, 56750u / 4);
  NewGameReset();
  ApplyClock(ReadGoLine("go wtime 60000"));
  EXPECT_EQ(Search.limits.maximumTime, 56750u / 6);
  // Below the hard buffer the depth is limited too; a clock at zero or below is due now, not never.
  for (const char* line : {"go wtime 200 btime 9000", "go wtime 0 btime 5000", "go wtime -300", "go winc 0 wtime 0"}) {
    ApplyClock(ReadGoLine(line));
    EXPECT_EQ(Search.limits.maximumTime, 5u) << line;
    EXPECT_EQ(Search.limits.depthLimit, DepthUnitsOfPlies(5)) << line;
  }
  // The opponent's clock alone is no budget.
  ApplyClock(ReadGoLine("go btime 5000 binc 100"));
  EXPECT_EQ(Pair(Search.limits.targetTime, Search.limits.maximumTime), Pair(NoTimeLimit, NoTimeLimit));
}

TEST_F(SearchDriverTest, GoKeywords) {
  struct Case {
    const char* line;
    uint64_t moveTime, nodeLimit;
    int depthLimit;
  };
  const uint64_t noNodeLimit = SearchLimits{}.nodeLimit;
  const Case cases[] = {
      {"go movetime 25 nodes 2000 depth 10", 10, 100, 26},
      {"go movetime 1000 nodes 100000 depth 10,5", 980, 98000, 27},
      {"goe depth 10", NoTimeLimit, 8192u * 300, 26},   // silent: nodes limited by depth; nothing else survives
      {"go depth 1e30 wtime 99999999999", NoTimeLimit, noNodeLimit, 2147483646},   // held, not overflowed
  };
  for (const Case& c : cases) {
    ReadGoLine(c.line);
    EXPECT_EQ(Search.limits.moveTime, c.moveTime) << c.line;
    EXPECT_EQ(Search.limits.nodeLimit, c.nodeLimit) << c.line;
    EXPECT_EQ(Search.limits.depthLimit, c.depthLimit) << c.line;
    EXPECT_EQ(Output.silentMode, c.line[2] == 'e') << c.line;
  }
  EXPECT_EQ(Search.limits.ownTime, 2147483647);
  ReadGoLine("go mate -3 minscore -200 infinite\r");
  EXPECT_EQ(std::vector<int>({Search.limits.mate, Search.limits.minScore}), std::vector<int>({3, -200}));
  EXPECT_TRUE(Search.limits.ponderOrInfinite);
  ReadGoLine("go");
  EXPECT_FALSE(Search.limits.ponderOrInfinite);

  // Only the side to move's clock; later tokens override earlier ones.
  GoRequest r = ReadGoLine("go wtime 1000 btime 2000 winc 10 binc 20 contempt 40");
  EXPECT_EQ(std::vector<int>({r.ownTime, r.ownIncrement, r.contempt}), std::vector<int>({1000, 10, 40}));
  SetPosition("startpos moves e2e4");
  r = ReadGoLine("go wtime 1000 btime 2000 winc 10 binc 20");
  EXPECT_EQ(std::vector<int>({r.ownTime, r.ownIncrement, r.contempt}), std::vector<int>({2000, 20, -15}));
  EXPECT_FALSE(ReadGoLine("go wtime 1000 winc 10").clockGiven);

  // Search moves: every legal move anywhere in the line; a clock's value is no move.
  SetPosition("startpos");
  ReadGoLine("go searchmoves e2e4 wtime 1000 e2e5 g1f3 zz99");
  ASSERT_EQ(Search.limits.searchMoveCount, 2);
  EXPECT_EQ(MoveToText(Search.limits.searchMoves[0]) + MoveToText(Search.limits.searchMoves[1]), "e2e4g1f3");
  EXPECT_EQ(Search.limits.ownTime, 1000);
  ReadGoLine("go searchmoves e2e5");   // nothing legal named: every move is searched
  EXPECT_EQ(Search.limits.searchMoveCount, 0);
}

TEST_F(SearchDriverTest, StopRules) {
  // 1000 nodes searched; root move 0 is the current best.
  struct Case {
    uint64_t elapsed;
    int rootMove;
    uint64_t target, maximum, moveTime = NoTimeLimit, nodeLimit = 5000;
    bool pondering = false, ponderHit = false, stops = false;
  };
  const Case cases[] = {
      {500, 1, 10000, 20000},
      {500, 1, 10000, 20000, 400, 5000, false, false, true},                // move time
      {500, 1, 10000, 450, NoTimeLimit, 5000, false, false, true},          // maximum
      {500, 1, 10000, 450, NoTimeLimit, 5000, true},                        // pondering ignores the clock...
      {500, 1, 10000, 450, NoTimeLimit, 999, true, false, true},            // ...but not the node limit
      // Early stops: 90 % of the target times 2.4 on the best move, 4.2 on another.
      {2000, 0, 1000, 100000},
      {2200, 0, 1000, 100000, NoTimeLimit, 5000, false, false, true},
      {2200, 3, 1000, 100000},
      {3800, 3, 1000, 100000, NoTimeLimit, 5000, false, false, true},
      // Past half the maximum only an alternative to the best move goes on.
      {3800, 3, NoTimeLimit, 7000},
      {3800, 0, NoTimeLimit, 7000, NoTimeLimit, 5000, false, false, true},
      // After a ponder hit the time pondered counts: 90 % of the target.
      {3800, 3, 4000, 100000, NoTimeLimit, 5000, false, true, true},
  };
  Search.nodes = 1000;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    Search.rootMoveIndex = c.rootMove;
    Search.limits.targetTime = c.target;
    Search.limits.maximumTime = c.maximum;
    Search.limits.moveTime = c.moveTime;
    Search.limits.nodeLimit = c.nodeLimit;
    Search.limits.ponderOrInfinite = c.pondering;
    Engine.ponderHit = c.ponderHit;
    Elapsed(c.elapsed);
    bool stopped = false;
    try {
      TimeCheck();
    } catch (const SearchStopped&) {
      stopped = true;
    }
    EXPECT_EQ(stopped, c.stops) << "case " << i;
  }
  EXPECT_TRUE(CapturedLines.empty());   // no progress line within a second of the last
  // A progress line at most once a second.
  Engine.lastInfoTime = Search.startTime = platform::NowMs() - 3000;
  Search.limits = SearchLimits{};
  TimeCheck();
  TimeCheck();
  ASSERT_EQ(CapturedLines.size(), 1u);
  EXPECT_TRUE(::testing::internal::RE::FullMatch(CapturedLines[0], "info time 300[0-9] nodes 1000")) << CapturedLines[0];
}

TEST(Reports, ScoreTexts) {
  const std::pair<int, const char*> cases[] = {{8000, "cp 8000"},  {-8000, "cp -8000"}, {8001, "mate 80"},
                                               {8159, "mate 1"},   {8158, "mate 2"},    {8157, "mate 2"},
                                               {-8158, "mate -1"}, {-8156, "mate -2"},  {-8160, "mate -1"}};
  for (const auto& [score, text] : cases) EXPECT_EQ(FormatScore(score), text) << score;
}

TEST_F(SearchDriverTest, PvLines) {
  RootMove rm;
  rm.depth = DepthUnitsOfPlies(12);
  rm.score = 31;
  rm.time = 2150;
  rm.nodes = 3400;
  rm.pv = "e2e4 e7e5 g1f3";
  ReportPvLine(0, false, rm);
  Search.settings.multiPv = 3;
  rm.lowerBound = 1;
  ReportPvLine(1, false, rm);
  rm.lowerBound = 0;
  rm.upperBound = 1;
  rm.tbHits = 12 * 14 + 5;
  rm.time = 0;   // never a division by zero
  ReportPvLine(2, false, rm);
  Search.settings.multiPv = 1;
  EXPECT_EQ(CapturedLines, Lines({"info depth 12 score cp 31 time 2150 nodes 3400 nps 1581 pv e2e4 e7e5 g1f3",
                        "info multipv 2 depth 12 score cp 31 lowerbound time 2150 nodes 3400 nps 1581 pv e2e4 e7e5 g1f3",
                        "info multipv 3 depth 12 score cp 31 upperbound time 1 nodes 3400 nps 3400000 tbhits 12 pv e2e4 e7e5 g1f3"}));
  // The current line carries the search's running counters.
  Search.nodes = 777;
  Elapsed(0);
  rm.tbHits = 0;
  CapturedLines.clear();
  ReportPvLine(0, true, rm);
  ASSERT_EQ(CapturedLines.size(), 1u);
  EXPECT_TRUE(::testing::internal::RE::FullMatch(CapturedLines[0], "info depth 12 score cp 31 upperbound time [1-9][0-9]* nodes 777 nps [0-9]+ pv e2e4 e7e5 g1f3"))
      << CapturedLines[0];
}

TEST_F(SearchDriverTest, BestMoveAndPonderMove) {
  SetPosition("startpos moves e2e4 c7c5");
  const std::string fen = PositionToFen(Engine.position);
  Search.bestMove = Legal("g1f3");
  const PositionKey after = KeyAfter("startpos moves e2e4 c7c5 g1f3");
  // The last entry of the bucket with a move of the position gives the ponder move.
  HashEntry* bucket = BucketOf(after);
  using namespace hash_detail;
  bucket[0] = {FirstWord(Move(E6) | (Move(E7) << 10), 8, 0), SecondWord(after, 0, HashExactFlags)};
  bucket[1] = {FirstWord(Move(D6) | (Move(D7) << 10), 8, 0), SecondWord(after, 0, HashLowerFlag)};
  bucket[2] = {FirstWord(0, 8, 0), SecondWord(after, 0, HashUpperFlag)};
  bucket[3] = {FirstWord(Move(A6) | (Move(A7) << 10), 8, 0), SecondWord(~after, 0, HashExactFlags)};
  ReportBestMove();
  ReportBestMove();   // once reported, a repeat only reaches the log
  EXPECT_EQ(CapturedLines, Lines{"bestmove g1f3 ponder d7d6"});
  EXPECT_EQ(Engine.expectedReplyKey, KeyAfter("startpos moves e2e4 c7c5 g1f3 d7d6"));
  EXPECT_EQ(PositionToFen(Engine.position), fen);
  // A colliding entry whose move is impossible there (a bishop through its own pawn) is no ponder move.
  bucket[1] = {FirstWord(Move(A6) | (Move(F8) << 10), 8, 0), SecondWord(after, 0, HashExactFlags)};
  bucket[0] = bucket[2];
  Engine.bestMoveAllowed = true;
  CapturedLines.clear();
  ReportBestMove();
  EXPECT_EQ(CapturedLines, Lines{"bestmove g1f3"});
}

TEST_F(SearchDriverTest, SilentModeResult) {
  auto result = [&](const char* go, const char* position, const char* move, int score) {
    ReadGoLine(go);
    SetPosition(position);
    Search.bestMove = move ? Legal(move) : 0;
    Search.rootMoves[0] = RootMove{};
    Search.rootMoves[0].move = Search.bestMove;
    Search.rootMoves[0].depth = move ? DepthUnitsOfPlies(10) : 0;
    Search.rootMoves[0].score = score;
    Search.nodes = 12345;
    Engine.bestMoveAllowed = true;
    ReportBestMove();
  };
  result("goe depth 10,5", "startpos", "e2e4", 31);
  ReportBestMove();   // reported once: the move is not played twice
  EXPECT_EQ(Engine.position.st.key, KeyAfter("startpos moves e2e4"));
  EXPECT_EQ(Engine.savedPositionText, std::string(StartFen) + " e2e4");
  // Bare minor pieces and a small score: a draw.
  result("goe depth 10", "fen 8/8/4k3/8/8/3BK3/8/8 w - - 0 1", "e3e4", 120);
  // No move: nothing is played.
  result("goe", "fen 7k/5QQ1/8/8/8/8/8/K7 b - - 0 1", nullptr, -8160);
  EXPECT_EQ(Engine.position.st.key, KeyAfter("fen 7k/5QQ1/8/8/8/8/8/K7 b - - 0 1"));
  EXPECT_EQ(CapturedLines, Lines({"e2e4 12345 10.5 31 62", "e3e4 12345 10 00 3", "0000 12345 1 00 18"}));
}
