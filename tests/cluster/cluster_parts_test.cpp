// The parts of the cluster controller that decide: reading the engines'
// lines, dealing the root moves, each rank's go line, and choosing the best
// line of several ranks.
#include <gtest/gtest.h>
#include <algorithm>
#include <set>
#include "cluster/cluster_options.h"
#include "cluster/engine_report.h"
#include "cluster/go_request.h"
#include "cluster/root_deal.h"
#include "cluster/shared_search.h"

using namespace cluster;

namespace {
EngineReport Line(int depth, const std::string& score, uint64_t nodes, const std::string& pv) {
  auto r = ReadInfoLine("info depth " + std::to_string(depth) + " score " + score + " time 5 nodes " +
                        std::to_string(nodes) + " nps 1 pv " + pv);
  EXPECT_TRUE(r.has_value()) << pv;
  return r.value_or(EngineReport{});
}
}  // namespace

TEST(ClusterLines, ScoresOrderAndLinesWithoutAVariationDoNotCount) {
  // A nearer mate is better, a nearer mate against worse; every mate beyond every centipawn score.
  const int mateIn3 = Line(9, "mate 3", 1, "e2e4").order, mateIn5 = Line(9, "mate 5", 1, "e2e4").order;
  const int matedIn3 = Line(9, "mate -3", 1, "e2e4").order, matedIn5 = Line(9, "mate -5", 1, "e2e4").order;
  const int plus = Line(9, "cp 900", 1, "e2e4").order, minus = Line(9, "cp -900", 1, "e2e4").order;
  EXPECT_GT(mateIn3, mateIn5);
  EXPECT_GT(mateIn5, plus);
  EXPECT_GT(plus, minus);
  EXPECT_GT(minus, matedIn5);
  EXPECT_GT(matedIn5, matedIn3);
  const auto r = ReadInfoLine("info depth 12 score cp -35 time 80 nodes 123456 nps 9 pv e2e4 e7e5 g1f3\r");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->scoreText, "cp -35");
  EXPECT_EQ(r->nodes, 123456u);
  EXPECT_EQ(r->pv, "e2e4 e7e5 g1f3");
  EXPECT_EQ(FirstMove(r->pv), "e2e4");
  EXPECT_EQ(SecondMove(r->pv), "e7e5");
  EXPECT_TRUE(ReadInfoLine("info depth 12 score cp 40 lowerbound time 80 nodes 5 pv e2e4")->bound);
  for (const char* no : {"info depth 12", "info depth 12 time 80 nodes 5 pv e2e4", "info string score cp 5 pv e2e4",
                         "info depth 3 score cp 5 time 1 nodes 5", "bestmove e2e4", "info currmove e2e4 currmovenumber 1"})
    EXPECT_FALSE(ReadInfoLine(no)) << no;
  EXPECT_EQ(NodesOfInfoLine("info depth 3 time 1 nodes 77 nps 9"), 77u);
}

TEST(ClusterLines, RootMovesAreDealtOnceEachInLikeShares) {
  std::vector<std::string> moves;
  for (int i = 0; i < 20; ++i) moves.push_back("m" + std::to_string(i));
  for (size_t ranks : {1u, 2u, 3u, 7u, 10u, 11u, 32u}) {
    const auto shares = DealRootMoves(moves, ranks);
    ASSERT_EQ(shares.size(), ranks);
    std::multiset<std::string> dealt;
    size_t smallest = moves.size(), largest = 0;
    for (const auto& share : shares) {
      dealt.insert(share.begin(), share.end());
      if (share.empty()) continue;
      smallest = std::min(smallest, share.size());
      largest = std::max(largest, share.size());
    }
    EXPECT_EQ(dealt, std::multiset<std::string>(moves.begin(), moves.end())) << ranks;
    EXPECT_LE(largest - smallest, 1u) << ranks;
    EXPECT_GE(smallest, 2u) << ranks;   // no engine gets a single move while there are enough
  }
  EXPECT_EQ(DealRootMoves({"e2e4"}, 3)[0], std::vector<std::string>{"e2e4"});
  EXPECT_EQ(DealRootMoves({"a", "b", "c"}, 3)[0].size(), 3u);
}

TEST(ClusterLines, TheBestLineIsChosenAtTheDepthEveryRankHasFinished) {
  SharedSearch s;
  s.Begin(3);
  // Rank 0 is a depth ahead with a poorer score at the common depth.
  EXPECT_TRUE(s.Record(0, Line(8, "cp 20", 1000, "e2e4 e7e5")));
  EXPECT_TRUE(s.Record(1, Line(8, "cp 30", 900, "d2d4 d7d5")));
  EXPECT_FALSE(s.Record(2, Line(8, "cp 10", 800, "c2c4 c7c5")));   // not better at its depth
  EXPECT_TRUE(s.Record(0, Line(9, "cp 60", 3000, "e2e4 c7c5")));
  EXPECT_FALSE(s.Record(1, Line(8, "cp 25", 950, "d2d4 g8f6")));   // shallower than shown
  EngineReport bound = Line(9, "cp 40", 2000, "d2d4 d7d5");
  bound.bound = true;
  EXPECT_FALSE(s.Record(1, bound));   // a bound is no finished line
  SharedSearch::Choice c = s.Best();
  ASSERT_TRUE(c.found);
  EXPECT_EQ(c.depth, 8);
  EXPECT_EQ(c.rank, 1);
  EXPECT_EQ(c.move, "d2d4");
  EXPECT_EQ(c.ponder, "g8f6");   // the rank's latest line at its deepest depth
  // Once every rank has finished depth 9, depth 9 decides.
  s.Record(1, Line(9, "cp 45", 2500, "d2d4 d7d5"));
  s.Record(2, Line(9, "cp 50", 2600, "c2c4 e7e5"));
  c = s.Best();
  EXPECT_EQ(c.rank, 0);
  EXPECT_EQ(c.move, "e2e4");
  // Nodes: every rank's latest count, and what a rank had before it started over.
  s.RecordNodes(2, 4000);
  EXPECT_EQ(s.Nodes(), 3000u + 2500u + 4000u);
  s.BankNodes(2);
  s.RecordNodes(2, 100);
  EXPECT_EQ(s.NodesOf(2), 4100u);
  EXPECT_EQ(s.Nodes(), 3000u + 2500u + 4100u);
  // No line at all: nothing found.
  s.Begin(2);
  EXPECT_FALSE(s.Best().found);
}

TEST(ClusterLines, CommandLine) {
  ClusterOptions o = ReadClusterOptions({}, "/opt/tolvo/bin/tolvo-cluster");
  EXPECT_TRUE(o.valid);
  EXPECT_EQ(o.enginePath, "/opt/tolvo/bin/tolvo");
  o = ReadClusterOptions({"--engine", "/e/tolvo", "--option", "Max CPUs=1", "--log", "c.log"}, "x");
  EXPECT_EQ(o.enginePath, "/e/tolvo");
  EXPECT_EQ(o.engineOptions, std::vector<std::string>{"Max CPUs=1"});
  EXPECT_EQ(o.logPath, "c.log");
  EXPECT_EQ(SetOptionLine("Max CPUs=1"), "setoption name Max CPUs value 1");
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--option", "Hash"}, {"--engine"}, {"--frobnicate"}, {"tolvo"}})
    EXPECT_FALSE(ReadClusterOptions(bad, "x").valid) << bad[0];
}

// Each rank's go line: the front end's limits without its searchmoves, the
// rank's own moves, the mover's clock less the time spent, the node limit split.
TEST(ClusterLines, EachRanksGoLine) {
  GoRequest g("go wtime 60000 btime 50000 winc 100 binc 100 searchmoves e2e4 d2d4 nodes 90000", true);
  EXPECT_EQ(g.SearchMoves(), (std::vector<std::string>{"e2e4", "d2d4"}));
  EXPECT_TRUE(g.Timed());
  EXPECT_FALSE(g.Ponder() || g.Infinite());
  EXPECT_EQ(g.LastResortMs(), 20000u);
  EXPECT_EQ(g.LineFor({"e2e4"}, 0, 3, 7), "go wtime 60000 btime 50000 winc 100 binc 100 nodes 30000 slave 1 id 7 e2e4");
  EXPECT_EQ(g.LineFor({"e2e4", "d2d4"}, 1500, 1, 8),
            "go wtime 58500 btime 50000 winc 100 binc 100 nodes 90000 slave 1 id 8 e2e4 d2d4");
  // Black to move: its clock runs. Limits smaller than the split still search.
  g = GoRequest("go wtime 60000 btime 50000 nodes 2", false);
  EXPECT_EQ(g.LineFor({"e7e5"}, 2000, 3, 1), "go wtime 60000 btime 48000 nodes 1 slave 1 id 1 e7e5");
  g = GoRequest("go movetime 400", true);
  EXPECT_EQ(g.LastResortMs(), 900u);
  EXPECT_EQ(g.LineFor({}, 500, 2, 2), "go movetime 1 slave 1 id 2");
  g = GoRequest("go depth 7", true);
  EXPECT_FALSE(g.Timed());
  EXPECT_EQ(g.LastResortMs(), 0u);
  EXPECT_EQ(g.LineFor({"a2a3"}, 900, 4, 3), "go depth 7 slave 1 id 3 a2a3");
  // Pondering: an engine that starts over after "ponderhit" searches normally.
  g = GoRequest("go ponder wtime 3000 btime 3000", true);
  EXPECT_TRUE(g.Ponder());
  EXPECT_EQ(g.LineFor({"g1f3"}, 0, 2, 4), "go ponder wtime 3000 btime 3000 slave 1 id 4 g1f3");
  g.PonderHit();
  EXPECT_FALSE(g.Ponder());
  EXPECT_EQ(g.LineFor({"g1f3"}, 100, 2, 4), "go wtime 2900 btime 3000 slave 1 id 4 g1f3");
  g = GoRequest("go infinite", true);
  EXPECT_TRUE(g.Infinite());
  g.Stop();
  EXPECT_FALSE(g.Infinite());
}
