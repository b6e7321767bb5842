// The driver side of a search in process: reading "go", the time budget, the
// stop rules of the periodic check, and the report lines.
#include <gtest/gtest.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "board/make_move.h"
#include "board/notation.h"
#include "common/output.h"
#include "driver/engine.h"
#include "driver/options.h"
#include "driver/search_driver.h"
#include "platform/platform.h"
#include "search/hash_table.h"
#include "search/search.h"

namespace {
std::vector<std::string> out;
void Capture(std::string_view line) { out.emplace_back(line); }

class SearchDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(AllocateHashTable(1));
    savedOptions = Options;
    ResetToStartPosition();
    Limits = SearchLimits{};
    Search.bestMove = 0;
    Search.bestMoveAllowed = false;
    Search.expectedReplyKey = 0;
    Engine.ponderInfinitePending = false;
    Engine.largestOwnTime = 0;
    out.clear();
    SetStdoutWriter(Capture);
  }
  void TearDown() override {
    SetStdoutWriter(nullptr);
    Options = savedOptions;
    Output.silentMode = false;
    Output.slaveLevel = 0;
    Engine.ponderInfinitePending = false;
    if (Output.textLog) {
      std::fclose(Output.textLog);
      Output.textLog = nullptr;
    }
    delete[] RandomizerBitmap;
    RandomizerBitmap = nullptr;
    ResetToStartPosition();
  }
  static void SetPosition(const std::string& text) { Engine.gamePlies = ReadPositionText(Engine.position, text); }
  static Move Legal(const char* text) { return FindLegalMove(Engine.position, text); }
  static PositionKey KeyAfter(const std::string& text) {
    Position p;
    ReadPositionText(p, text);
    return p.st.key;
  }
  EngineOptions savedOptions;
};

ClockState Clock(int64_t ownTime, int64_t increment, int64_t movesToGo, bool unexpected = true) {
  ClockState c;
  c.ownTime = ownTime;
  c.ownIncrement = increment;
  c.movesToGo = movesToGo;
  c.largestOwnTime = uint64_t(ownTime);
  c.unexpectedReply = unexpected;
  return c;
}
}  // namespace

// --- time budget -------------------------------------------------------------

TEST_F(SearchDriverTest, SuddenDeathBudgetAndItsLogLine) {
  TimeBudget b = AllocateTime(Clock(300000, 0, 0), Options);
  EXPECT_EQ(b.target, 8901u);    // 296750 / 48 * 80 / 100 = 4945, then * 18 / 10: the reply was not predicted
  EXPECT_EQ(b.maximum, 74187u);  // 296750 / 4
  EXPECT_FALSE(b.hardMoveDepth);
  EXPECT_EQ(AllocateTime(Clock(300000, 0, 0, false), Options).target, 4945u);
  Options.ponder = true;
  EXPECT_EQ(AllocateTime(Clock(300000, 0, 0, false), Options).target, 7912u);
  Options.ponder = false;

  // Through the search start: the first "go" of a game, logged.
  Output.textLog = std::tmpfile();
  ASSERT_NE(Output.textLog, nullptr);
  GoRequest r = ReadGoLine("go wtime 300000 btime 300000");
  ApplyClock(r);
  EXPECT_EQ(Limits.targetTime, 8901u);
  EXPECT_EQ(Limits.maximumTime, 74187u);
  EXPECT_TRUE(Limits.playMode);
  std::rewind(Output.textLog);
  char buffer[4096] = {};
  buffer[std::fread(buffer, 1, sizeof buffer - 1, Output.textLog)] = 0;
  EXPECT_NE(std::string(buffer).find("       target_time: 8901     max_time: 74187     non-ponder mode\n"), std::string::npos)
      << buffer;
}

TEST_F(SearchDriverTest, BudgetsWithMovesToGoAndIncrements) {
  // 20 moves in 60 s: 59750 ms available, a twentieth of it halved is the base.
  TimeBudget b = AllocateTime(Clock(60000, 0, 20), Options);
  EXPECT_EQ(b.target, 2149u);
  EXPECT_EQ(b.maximum, 17916u);
  b = AllocateTime(Clock(60000, 0, 20, false), Options);
  EXPECT_EQ(b.target, 1194u);
  EXPECT_EQ(b.maximum, 11944u);
  // The last move before the time control may use all but the hard buffer, never more.
  b = AllocateTime(Clock(10000, 0, 1), Options);
  EXPECT_EQ(b.target, 7020u);
  EXPECT_EQ(b.maximum, 9750u);
  // A large increment (60 of them cover the clock) and a small one.
  b = AllocateTime(Clock(60000, 1000, 0), Options);
  EXPECT_EQ(b.target, 3393u);
  EXPECT_EQ(b.maximum, 31875u);
  b = AllocateTime(Clock(300000, 2000, 0), Options);
  EXPECT_EQ(b.target, 12470u);
  EXPECT_EQ(b.maximum, 103916u);
  // With the increment alone the clock still holds back the hard buffer.
  b = AllocateTime(Clock(1000, 5000, 0), Options);
  EXPECT_LE(b.maximum, 750u);
}

TEST_F(SearchDriverTest, LowAndNonsensicalClocksStayWithinTheClock) {
  // Below the hard buffer: the shortest move and a depth limit.
  TimeBudget b = AllocateTime(Clock(200, 0, 0), Options);
  EXPECT_EQ(b.target, 5u);
  EXPECT_EQ(b.maximum, 5u);
  EXPECT_TRUE(b.hardMoveDepth);
  ApplyClock(ReadGoLine("go wtime 200 btime 9000"));
  EXPECT_EQ(Limits.depthLimit, DepthUnitsOfPlies(5));
  // A clock at zero or below is a clock: the move is due now, not never.
  for (const char* line : {"go wtime 0 btime 5000", "go wtime -300 btime 5000", "go winc 0 wtime 0"}) {
    ApplyClock(ReadGoLine(line));
    EXPECT_EQ(Limits.maximumTime, 5u) << line;
    EXPECT_EQ(Limits.depthLimit, DepthUnitsOfPlies(5)) << line;
  }
  // Only the opponent's clock: no budget of our own.
  ApplyClock(ReadGoLine("go btime 5000 binc 100"));
  EXPECT_EQ(Limits.targetTime, NoTimeLimit);
  EXPECT_EQ(Limits.maximumTime, NoTimeLimit);
  // Negative moves to go or increments read as none instead of leaving the budget unset.
  EXPECT_EQ(AllocateTime(Clock(60000, 0, -5), Options).maximum, AllocateTime(Clock(60000, 0, 0), Options).maximum);
  EXPECT_EQ(AllocateTime(Clock(60000, -50, 0), Options).target, AllocateTime(Clock(60000, 0, 0), Options).target);
  // A negative hard buffer never lets the budget exceed the clock.
  Options.tcHardBuffer = -5000;
  EXPECT_LE(AllocateTime(Clock(1000, 0, 1), Options).maximum, 1000u);
}

TEST_F(SearchDriverTest, DivisorsFollowTheLongestClockOfTheGame) {
  // 60 s left after a 200 s start: 56750 ms available (3 s reserve), longest move a quarter of it.
  ApplyClock(ReadGoLine("go wtime 200000"));
  ApplyClock(ReadGoLine("go wtime 60000"));
  EXPECT_EQ(Limits.maximumTime, uint64_t(56750 / 4));
  // In a new game 60 s is a short clock: a sixth.
  NewGameReset();
  ApplyClock(ReadGoLine("go wtime 60000"));
  EXPECT_EQ(Limits.maximumTime, uint64_t(56750 / 6));
}

// --- reading "go" ---------------------------------------------------------------

TEST_F(SearchDriverTest, GoKeywordsConvertTheirValues) {
  ReadGoLine("go movetime 25 nodes 2000 depth 10");
  EXPECT_EQ(Limits.moveTime, 10u);
  EXPECT_EQ(Limits.nodeLimit, 100u);
  EXPECT_EQ(Limits.depthLimit, 26);
  ReadGoLine("go movetime 1000 nodes 100000 depth 10,5");
  EXPECT_EQ(Limits.moveTime, 980u);
  EXPECT_EQ(Limits.nodeLimit, 98000u);
  EXPECT_EQ(Limits.depthLimit, 27);
  // Silent mode: a node limit grows with the depth; everything of the last "go" is forgotten.
  ReadGoLine("goe depth 10");
  EXPECT_TRUE(Output.silentMode);
  EXPECT_EQ(Limits.nodeLimit, 8192u * 300);
  EXPECT_EQ(Limits.moveTime, NoTimeLimit);
  ReadGoLine("go mate -3 minscore -200 movestogo 7 contempt 9 infinite\r");
  EXPECT_FALSE(Output.silentMode);
  EXPECT_EQ(Limits.mate, 3);
  EXPECT_EQ(Limits.minScore, -200);
  EXPECT_EQ(Limits.movesToGo, 7);
  EXPECT_EQ(Limits.contempt, 9);
  EXPECT_TRUE(Engine.ponderInfinitePending);
  ReadGoLine("go ponder wtime 1000");
  EXPECT_TRUE(Engine.ponderInfinitePending);
  ReadGoLine("go");
  EXPECT_FALSE(Engine.ponderInfinitePending);
  EXPECT_EQ(Limits.depthLimit, 2147483646);
  // Absurd values are clamped, not overflowed.
  ReadGoLine("go depth 1e30 wtime 99999999999");
  EXPECT_EQ(Limits.depthLimit, 2147483646);
  EXPECT_EQ(Limits.ownTime, 2147483647);
}

TEST_F(SearchDriverTest, OnlyTheSideToMovesClockCounts) {
  GoRequest r = ReadGoLine("go wtime 1000 btime 2000 winc 10 binc 20 contempt 40");
  EXPECT_EQ(r.ownTime, 1000);
  EXPECT_EQ(r.ownIncrement, 10);
  EXPECT_EQ(r.contempt, 40);   // later tokens override
  SetPosition("startpos moves e2e4");
  r = ReadGoLine("go wtime 1000 btime 2000 winc 10 binc 20");
  EXPECT_EQ(r.ownTime, 2000);
  EXPECT_EQ(r.ownIncrement, 20);
  EXPECT_EQ(r.contempt, -15);
  EXPECT_TRUE(r.clockGiven);
  EXPECT_FALSE(ReadGoLine("go wtime 1000 winc 10").clockGiven);
}

TEST_F(SearchDriverTest, SearchMovesAreTheLegalMovesAnywhereInTheLine) {
  ReadGoLine("go searchmoves e2e4 d2d4 wtime 1000 e2e5 g1f3 zz99");
  ASSERT_EQ(Limits.searchMoveCount, 3);
  EXPECT_EQ(MoveToText(Limits.searchMoves[0]), "e2e4");
  EXPECT_EQ(MoveToText(Limits.searchMoves[1]), "d2d4");
  EXPECT_EQ(MoveToText(Limits.searchMoves[2]), "g1f3");
  EXPECT_EQ(Limits.searchMoves[3], 0u);
  EXPECT_EQ(Limits.ownTime, 1000);   // "1000" was the clock's value, not a move
  ReadGoLine("go searchmoves e2e5");   // nothing legal named: the whole list is searched
  EXPECT_EQ(Limits.searchMoveCount, 0);
}

TEST_F(SearchDriverTest, LimitedStrengthDepthByElo) {
  EXPECT_EQ(LimitedStrengthDepth(1200), 2);
  EXPECT_EQ(LimitedStrengthDepth(1420), 4);
  EXPECT_EQ(LimitedStrengthDepth(2099), 10);
  EXPECT_EQ(LimitedStrengthDepth(2809), 30);
  EXPECT_EQ(LimitedStrengthDepth(2810), 32);
}

// --- the stop rules ---------------------------------------------------------------

TEST_F(SearchDriverTest, TimeCheckStopsAtTheLimitsAndNotWhilePondering) {
  Search.startTime = platform::NowMs() - 500;
  Search.lastInfoTime = platform::NowMs();
  Search.nodes = 1000;
  Search.rootMoveIndex = 1;   // an alternative is being searched: no early stop
  Limits.targetTime = 10000;
  Limits.maximumTime = 20000;
  EXPECT_NO_THROW(TimeCheck());
  Limits.moveTime = 400;
  EXPECT_THROW(TimeCheck(), SearchStopped);
  Limits.moveTime = NoTimeLimit;
  Limits.maximumTime = 450;
  EXPECT_THROW(TimeCheck(), SearchStopped);
  // Pondering ignores the clock but not the node limit.
  Engine.ponderInfinitePending = true;
  EXPECT_NO_THROW(TimeCheck());
  Limits.nodeLimit = 999;
  EXPECT_THROW(TimeCheck(), SearchStopped);
  EXPECT_TRUE(out.empty());   // no progress line within the first second
}

TEST_F(SearchDriverTest, EarlyStopsAgainstTheTarget) {
  Search.lastInfoTime = platform::NowMs();
  // Searching the best move: stop at 90 % x 2.4 of the target.
  Search.rootMoveIndex = 0;
  Limits.targetTime = 1000;
  Limits.maximumTime = 100000;
  Search.startTime = platform::NowMs() - 2000;
  EXPECT_NO_THROW(TimeCheck());
  Search.startTime = platform::NowMs() - 2200;
  EXPECT_THROW(TimeCheck(), SearchStopped);
  // Another move: up to 90 % x 4.2 of the target.
  Search.rootMoveIndex = 3;
  Limits.maximumTime = 100000;
  EXPECT_NO_THROW(TimeCheck());
  Search.startTime = platform::NowMs() - 3800;
  EXPECT_THROW(TimeCheck(), SearchStopped);
  // Past half the maximum only an alternative keeps the search going.
  Limits.targetTime = NoTimeLimit;
  Limits.maximumTime = 7000;
  EXPECT_NO_THROW(TimeCheck());
  Search.rootMoveIndex = 0;
  EXPECT_THROW(TimeCheck(), SearchStopped);
  // After a ponder hit the time spent pondering counts: 90 % of the target.
  Search.rootMoveIndex = 3;
  Search.ponderHit = true;
  Limits.targetTime = 4000;
  Limits.maximumTime = 100000;
  EXPECT_THROW(TimeCheck(), SearchStopped);
  Search.ponderHit = false;
}

TEST_F(SearchDriverTest, ProgressLineAtMostOncePerSecond) {
  Search.startTime = platform::NowMs() - 3000;
  Search.lastInfoTime = Search.startTime;
  Search.nodes = 5000;
  Search.rootMoveIndex = 1;
  Limits.maximumTime = NoTimeLimit;
  TimeCheck();
  TimeCheck();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].rfind("info time 300", 0), 0u) << out[0];
  EXPECT_NE(out[0].find(" nodes 5000"), std::string::npos);
}

TEST_F(SearchDriverTest, PonderHitWithoutAClockEndsTheSearch) {
  Limits.targetTime = NoTimeLimit;
  Limits.maximumTime = NoTimeLimit;
  Engine.searching = true;
  Engine.ponderInfinitePending = true;
  HandlePonderHit();
  Engine.searching = false;
  EXPECT_FALSE(Engine.ponderInfinitePending);
  EXPECT_EQ(Limits.maximumTime, 0u);
  EXPECT_TRUE(Search.ponderHit);
  EXPECT_TRUE(out.empty());   // the running search reports, not the command
  Limits.targetTime = 3000;
  Limits.maximumTime = 9000;
  Engine.searching = true;
  HandlePonderHit();
  Engine.searching = false;
  EXPECT_EQ(Limits.maximumTime, 9000u);
}

// --- reports ------------------------------------------------------------------------

TEST(Reports, ScoreTexts) {
  EXPECT_EQ(FormatScore(0), "cp 0");
  EXPECT_EQ(FormatScore(8000), "cp 8000");
  EXPECT_EQ(FormatScore(-8000), "cp -8000");
  EXPECT_EQ(FormatScore(8001), "mate 80");
  EXPECT_EQ(FormatScore(8159), "mate 1");
  EXPECT_EQ(FormatScore(8157), "mate 2");
  EXPECT_EQ(FormatScore(8158), "mate 2");
  EXPECT_EQ(FormatScore(-8158), "mate -1");
  EXPECT_EQ(FormatScore(-8156), "mate -2");
  EXPECT_EQ(FormatScore(-8160), "mate -1");
  EXPECT_EQ(FormatScore(-8001), "mate -79");
}

TEST_F(SearchDriverTest, PvLineShapes) {
  RootMove rm;
  rm.depth = DepthUnitsOfPlies(12);
  rm.score = 31;
  rm.time = 2150;
  rm.nodes = 3400;
  rm.pv = "e2e4 e7e5 g1f3";
  ReportPvLine(0, false, rm);
  rm.score = 18;
  rm.lowerBound = 1;
  Options.multiPv = 3;
  ReportPvLine(1, false, rm);
  rm.lowerBound = 0;
  rm.upperBound = 1;
  rm.score = -8158;
  rm.tbHits = 12 * 14 + 5;
  ReportPvLine(2, false, rm);
  rm.time = 0;   // never a division by zero
  ReportPvLine(2, false, rm);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0], "info depth 12 score cp 31 time 2150 nodes 3400 nps 1581 pv e2e4 e7e5 g1f3");
  EXPECT_EQ(out[1], "info multipv 2 depth 12 score cp 18 lowerbound time 2150 nodes 3400 nps 1581 pv e2e4 e7e5 g1f3");
  EXPECT_EQ(out[2],
            "info multipv 3 depth 12 score mate -1 upperbound time 2150 nodes 3400 nps 1581 tbhits 12 pv e2e4 e7e5 g1f3");
  EXPECT_EQ(out[3].find("time 1 nodes 3400 nps 3400000 "), out[3].find("time "));

  // The current counters: nodes of the search now, time since its start plus 1.
  out.clear();
  Options.multiPv = 1;
  Search.nodes = 777;
  Search.startTime = platform::NowMs();
  ReportPvLine(0, true, rm);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_NE(out[0].find(" nodes 777 "), std::string::npos) << out[0];
  EXPECT_EQ(out[0].find(" time 0 "), std::string::npos) << out[0];
}

TEST_F(SearchDriverTest, BestMoveWithPonderMoveFromTheTable) {
  SetPosition("startpos moves e2e4 c7c5");
  Search.bestMove = Legal("g1f3");
  Search.bestMoveAllowed = true;
  Search.startTime = platform::NowMs();
  const PositionKey after = KeyAfter("startpos moves e2e4 c7c5 g1f3");
  // Entries of the position with moves: the last one in the bucket is offered;
  // one without a move and one of another position do not count.
  HashEntry* bucket = BucketOf(after);
  bucket[0] = {hash_detail::FirstWord(Move(E6) | (Move(E7) << 10), 8, 0), hash_detail::SecondWord(after, 0, HashExactFlags)};
  bucket[1] = {hash_detail::FirstWord(Move(D6) | (Move(D7) << 10), 8, 0), hash_detail::SecondWord(after, 0, HashLowerFlag)};
  bucket[2] = {hash_detail::FirstWord(0, 8, 0), hash_detail::SecondWord(after, 0, HashUpperFlag)};
  bucket[3] = {hash_detail::FirstWord(Move(A6) | (Move(A7) << 10), 8, 0), hash_detail::SecondWord(~after, 0, HashExactFlags)};
  out.clear();
  ReportBestMove();
  EXPECT_EQ(out, std::vector<std::string>{"bestmove g1f3 ponder d7d6"});
  EXPECT_EQ(Search.expectedReplyKey, KeyAfter("startpos moves e2e4 c7c5 g1f3 d7d6"));
  EXPECT_EQ(PositionToFen(Engine.position), PositionToFen([] {
              Position p;
              ReadPositionText(p, "startpos moves e2e4 c7c5");
              return p;
            }()));
  // Once reported, a repeat only reaches the log.
  out.clear();
  ReportBestMove();
  EXPECT_TRUE(out.empty());
}

TEST_F(SearchDriverTest, PonderMoveMustBeLegalThere) {
  SetPosition("startpos");
  Search.bestMove = Legal("e2e4");
  Search.bestMoveAllowed = true;
  const PositionKey after = KeyAfter("startpos moves e2e4");
  // A colliding entry: a Black bishop "move" through its own pawn.
  StoreExact(after, Move(A6) | (Move(F8) << 10), 8, 0);
  ReportBestMove();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0], "bestmove e2e4");
}

TEST_F(SearchDriverTest, NoBestMoveAndRepeatedReports) {
  Search.bestMove = 0;
  Search.bestMoveAllowed = true;
  ReportBestMove();
  ReportBestMove();   // a second stop: nothing more reaches the front end
  EXPECT_EQ(out, std::vector<std::string>{"bestmove 0000"});
  // A stale best move of another position is neither played nor offered twice.
  Search.bestMove = Legal("g1f3");
  Search.bestMoveAllowed = false;
  SetPosition("startpos moves g1f3");
  const std::string fen = PositionToFen(Engine.position);
  out.clear();
  HandleStopCommand();
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(PositionToFen(Engine.position), fen);
}

TEST_F(SearchDriverTest, RandomizerMarksPlayedPositions) {
  RandomizerBitmap = new uint8_t[1 << 22]();
  SetPosition("startpos");
  for (const char* m : {"e2e4", "d2d4", "g1f3"}) {
    const int i = int(m[0] == 'e' ? 0 : m[0] == 'd' ? 1 : 2);
    Search.rootMoves[i] = RootMove{};
    Search.rootMoves[i].move = Legal(m);
  }
  Search.rootMoves[3] = RootMove{};
  Search.bestMove = Legal("e2e4");
  Search.bestMoveAllowed = true;
  ReportBestMove();
  EXPECT_TRUE(RandomizerBit(KeyAfter("startpos moves e2e4")));
  // The position is visited again: the root moves' positions are freed, the played one marked.
  SetRandomizerBit(KeyAfter("startpos moves d2d4"), true);
  Search.bestMoveAllowed = true;
  ReportBestMove();
  EXPECT_TRUE(RandomizerBit(KeyAfter("startpos moves e2e4")));
  EXPECT_FALSE(RandomizerBit(KeyAfter("startpos moves d2d4")));
}

TEST_F(SearchDriverTest, SilentModeReport) {
  ReadGoLine("goe depth 10,5");
  SetPosition("startpos");
  Engine.savedPositionText = "position startpos";
  Search.bestMove = Legal("e2e4");
  Search.bestMoveAllowed = true;
  Search.nodes = 12345;
  Search.rootMoves[0] = RootMove{};
  Search.rootMoves[0].move = Search.bestMove;
  Search.rootMoves[0].depth = DepthUnitsOfPlies(10);
  Search.rootMoves[0].score = 31;
  ReportBestMove();
  ReportBestMove();   // reported once: the move is not played twice
  EXPECT_EQ(out, std::vector<std::string>{"e2e4 12345 10.5 31 62"});
  EXPECT_EQ(Engine.savedPositionText, "position startpos e2e4");
  EXPECT_EQ(Engine.position.st.key, KeyAfter("startpos moves e2e4"));

  // Bare minor pieces with a small score: a draw ("00"); whole plies without the half.
  out.clear();
  ReadGoLine("goe depth 10");
  SetPosition("fen 8/8/4k3/8/8/3BK3/8/8 w - - 0 1");
  Search.bestMove = Legal("e3e4");
  Search.rootMoves[0].move = Search.bestMove;
  Search.rootMoves[0].score = 120;
  Search.bestMoveAllowed = true;
  ReportBestMove();
  EXPECT_EQ(out, std::vector<std::string>{"e3e4 12345 10 00 3"});

  // No move at all.
  out.clear();
  ReadGoLine("goe");
  SetPosition("fen 7k/5QQ1/8/8/8/8/8/K7 b - - 0 1");
  const std::string fen = PositionToFen(Engine.position);
  Search.bestMove = 0;
  Search.rootMoves[0] = RootMove{};
  Search.bestMoveAllowed = true;
  ReportBestMove();
  EXPECT_EQ(out, std::vector<std::string>{"0000 12345 1 00 18"});
  EXPECT_EQ(PositionToFen(Engine.position), fen);
}

TEST_F(SearchDriverTest, NewGameForgetsTheGame) {
  ApplyClock(ReadGoLine("go wtime 500000"));
  EXPECT_EQ(Engine.largestOwnTime, 500000u);
  const PositionKey key = KeyAfter("startpos");
  StoreExact(key, 0, 20, 5);
  NewSearchGeneration(2);
  NewGameReset();
  EXPECT_EQ(Engine.largestOwnTime, 0u);
  EXPECT_EQ(HashGeneration(), 0);
  EXPECT_EQ(ProbeDeepest(key), nullptr);
  EXPECT_EQ(Search.bestMove, 0u);
}
