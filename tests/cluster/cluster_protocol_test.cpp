// tolvo-cluster as a front end runs it: an MPI job of three ranks on this
// machine, each driving a Tolvo engine. The whole dialogue, a killed engine,
// and nothing left behind at the end.
#include <gtest/gtest.h>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include "board/make_move.h"
#include "board/notation.h"
#include "platform/platform.h"
#include "tests/support/engine_process.h"
#include "tests/support/process_probe.h"
#include "tests/support/test_data.h"

namespace {
using Lines = std::vector<std::string>;

// mpirun from Debian's openmpi-bin, allowed to run as root (CI runs as root).
std::vector<std::string> ClusterArguments(const std::string& log) {
  setenv("OMPI_ALLOW_RUN_AS_ROOT", "1", 1);
  setenv("OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1", 1);
  // Open MPI keeps memory until the process ends: the leak check would fail every rank.
  if (Sanitized()) setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
  return {"--oversubscribe", "--bind-to", "none", "-np", "3", TOLVO_CLUSTER_BINARY, "--engine", TOLVO_BINARY,
          "--option", "Max CPUs=1", "--option", "Hash=8", "--log", log};
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The engine of each rank as the log names it ("rank R: engine ready, pid P").
std::map<int, int> EnginePids(const std::string& log) {
  std::map<int, int> pids;
  const std::regex ready(R"(rank (\d+): engine (?:ready|died, restarted), pid (\d+))");
  const std::string text = ReadFile(log);
  for (std::sregex_iterator i(text.begin(), text.end(), ready), end; i != end; ++i)
    pids[std::stoi((*i)[1])] = std::stoi((*i)[2]);
  return pids;
}

// The nodes each rank reported for a search, and the total the cluster reported.
uint64_t RankNodesOfSearch(const std::string& log, int job) {
  const std::regex line("rank \\d+: search " + std::to_string(job) + R"(: nodes (\d+))");
  const std::string text = ReadFile(log);
  uint64_t sum = 0;
  for (std::sregex_iterator i(text.begin(), text.end(), line), end; i != end; ++i) sum += std::stoull((*i)[1]);
  return sum;
}
int RanksDealtInSearch(const std::string& log, int job) {
  const std::regex line("rank \\d+: search " + std::to_string(job) + ": [a-h][1-8]");
  const std::string text = ReadFile(log);
  return int(std::distance(std::sregex_iterator(text.begin(), text.end(), line), std::sregex_iterator()));
}

uint64_t NodesOf(const std::string& info) {
  const size_t at = info.find(" nodes ");
  return at == std::string::npos ? 0 : std::stoull(info.substr(at + 7));
}

// The move of a "bestmove" line, which must be legal in the position.
::testing::AssertionResult LegalBestMove(const std::string& position, const std::string& bestLine) {
  if (bestLine.rfind("bestmove ", 0) != 0) return ::testing::AssertionFailure() << "no best move: " << bestLine;
  Position p = FromFen(StartFen);
  const size_t movesAt = position.find(" moves ");
  if (movesAt != std::string::npos) {
    std::istringstream in(position.substr(movesAt + 7));
    for (std::string m; in >> m;) MakeRootMove(p, FindLegalMove(p, m.c_str()));
  }
  std::istringstream words(bestLine.substr(9));
  std::string move;
  words >> move;
  if (!FindLegalMove(p, move.c_str())) return ::testing::AssertionFailure() << "illegal: " << bestLine;
  return ::testing::AssertionSuccess();
}

// Nothing of the job lives on: no engine, no shared-memory name of one.
void ExpectNothingLeft(const std::map<int, int>& pids) {
  for (const auto& [rank, pid] : pids) {
    EXPECT_TRUE(WaitUntil([pid = pid] { return !ProcessExists(pid); }, 5000)) << "engine of rank " << rank;
    EXPECT_TRUE(NamesOf(pid).empty()) << "names of rank " << rank << "'s engine";
  }
}
// A job of three ranks with its log in a scratch directory.
struct ClusterJob {
  ScratchDirectory dir;
  std::string log = dir.Text() + "/cluster.log";
  EngineProcess e{ClusterArguments(log), "/usr/bin/mpirun"};
  // Once every rank's engine has answered: their process ids.
  std::map<int, int> ReadyEngines() {
    e.Send("isready");
    EXPECT_EQ(e.WaitFor("readyok", 60000), "readyok");
    return EnginePids(log);
  }
};
}  // namespace

TEST(Cluster, AFullDialogueOnThreeRanks) {
  ClusterJob job;
  EngineProcess& e = job.e;
  const std::string& log = job.log;
  ASSERT_TRUE(e.Started());
  e.Send("uci");
  const Lines uci = e.ReadUntil("uciok", 60000);
  ASSERT_FALSE(uci.empty());
  EXPECT_EQ(uci[0], "id name Tolvo Cluster");
  EXPECT_GE(CountPrefix(uci, "option name "), 40);   // the engine's options
  const std::map<int, int> pids = job.ReadyEngines();
  ASSERT_EQ(pids.size(), 3u) << ReadFile(log);
  // An option reaches every engine; rank 0's confirms it before "readyok",
  // which comes once for each "isready".
  EXPECT_EQ(Answer(e, "setoption name MultiPV value 1"), Lines{"info string Displaying 1 variations."});
  e.Send("isready");
  e.Send("isready");
  EXPECT_EQ(e.ReadUntil("readyok"), Lines{"readyok"});
  EXPECT_EQ(e.ReadUntil("readyok"), Lines{"readyok"});

  const std::string position = "position startpos moves e2e4 e7e5 g1f3";
  e.Send(position);
  // A depth: every rank searches its share; the nodes shown are the ranks' sum.
  e.Send("go depth 7");
  Lines search = e.ReadUntil("bestmove");
  ASSERT_GE(search.size(), 2u);
  EXPECT_TRUE(LegalBestMove(position, search.back()));
  EXPECT_EQ(RanksDealtInSearch(log, 1), 3);
  EXPECT_EQ(NodesOf(search[search.size() - 2]), RankNodesOfSearch(log, 1)) << ReadFile(log);
  // A node limit is the whole cluster's, split among the ranks (each alone
  // would search close to all of it: three times the limit together).
  e.Send("go nodes 30000");
  search = e.ReadUntil("bestmove");
  ASSERT_GE(search.size(), 2u);
  EXPECT_TRUE(LegalBestMove(position, search.back()));
  EXPECT_EQ(NodesOf(search[search.size() - 2]), RankNodesOfSearch(log, 2)) << ReadFile(log);
  EXPECT_LT(NodesOf(search[search.size() - 2]), 45000u);
  // A move time.
  uint64_t start = platform::NowMs();
  e.Send("go movetime 400");
  EXPECT_TRUE(LegalBestMove(position, e.WaitFor("bestmove")));
  EXPECT_LT(platform::NowMs() - start, 1400u);
  // An infinite search ends only with "stop".
  e.Send("go infinite");
  std::string line;
  platform::SleepMs(300);
  start = platform::NowMs();
  e.Send("stop");
  EXPECT_TRUE(LegalBestMove(position, e.WaitFor("bestmove")));
  EXPECT_LT(platform::NowMs() - start, 600u);
  // A clock.
  start = platform::NowMs();
  e.Send("go wtime 3000 btime 3000 winc 50 binc 50");
  EXPECT_TRUE(LegalBestMove(position, e.WaitFor("bestmove")));
  EXPECT_LT(platform::NowMs() - start, 1000u);
  // Pondering, then the move expected.
  const std::string ponderPosition = position + " b8c6";
  e.Send(ponderPosition);
  e.Send("go ponder wtime 3000 btime 3000 winc 50 binc 50");
  platform::SleepMs(300);
  EXPECT_FALSE(e.ReadLine(line, 0) && line.rfind("bestmove", 0) == 0);
  e.Send("ponderhit");
  EXPECT_TRUE(LegalBestMove(ponderPosition, e.WaitFor("bestmove", 3000)));
  e.Send("quit");
  EXPECT_EQ(e.Wait(20000), 0);
  ExpectNothingLeft(pids);
}

TEST(Cluster, AKilledEngineCostsNeitherTheMoveNorTheNextSearch) {
  ClusterJob job;
  EngineProcess& e = job.e;
  const std::string& log = job.log;
  ASSERT_TRUE(e.Started());
  const std::map<int, int> before = job.ReadyEngines();
  ASSERT_EQ(before.size(), 3u) << ReadFile(log);
  const std::string position = "position startpos moves d2d4";
  e.Send(position);
  // A clock that gives the move a second or two; rank 1's engine dies a
  // third of a second in.
  const uint64_t start = platform::NowMs();
  e.Send("go wtime 60000 btime 60000");
  platform::SleepMs(300);
  platform::KillProcess(before.at(1));
  EXPECT_TRUE(LegalBestMove(position, e.WaitFor("bestmove", 20000)));
  EXPECT_LT(platform::NowMs() - start, 6000u);
  EXPECT_TRUE(WaitUntil([&] { return EnginePids(log).at(1) != before.at(1); }, 10000)) << ReadFile(log);
  EXPECT_NE(ReadFile(log).find("rank 1: engine died, restarted"), std::string::npos);
  const std::map<int, int> after = EnginePids(log);
  ASSERT_EQ(after.size(), 3u);
  EXPECT_NE(after.at(1), before.at(1)) << ReadFile(log);
  // The next search deals its moves to all three ranks again.
  e.Send("go depth 6");
  EXPECT_TRUE(LegalBestMove(position, e.WaitFor("bestmove")));
  EXPECT_EQ(RanksDealtInSearch(log, 2), 3) << ReadFile(log);
  e.CloseInput();   // the end of the input ends the job as "quit" does
  EXPECT_EQ(e.Wait(20000), 0);
  ExpectNothingLeft(after);
  ExpectNothingLeft(before);
}
