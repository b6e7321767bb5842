// The process group through the built binary: children in the process
// list, shared objects in /dev/shm and their cleaning up however the engine
// ends, a restart, a child that dies, and a second engine on the first
// one's table.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include "board/make_move.h"
#include "board/notation.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "platform/shared_memory.h"
#include "tests/support/engine_process.h"
#include "tests/support/process_probe.h"
#include "tests/support/test_data.h"

namespace fs = std::filesystem;

namespace {
using Lines = std::vector<std::string>;

bool TwoProcessors() { return platform::ProcessorCount() >= 2; }

// Processor time (user and system, in clock ticks) a process has used so far.
uint64_t CpuTicks(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return 0;
  // After the ')' of the name: state, then fields 4..13, then utime and stime.
  std::istringstream rest(line.substr(line.rfind(')') + 2));
  std::string field;
  for (int i = 3; i <= 13; ++i) rest >> field;
  uint64_t user = 0, system = 0;
  rest >> user >> system;
  return user + system;
}

// An engine with a group of two (the machine's processors permitting).
struct Group2 {
  EngineProcess e;
  Group2() {
    Answer(e, "setoption name Max CPUs value 2");
    Answer(e, "setoption name Hash value 4");
    // The child of the first start has said goodbye but may take a moment
    // longer to leave the process list (slowly under the sanitizers).
    if (TwoProcessors()) WaitUntil([&] { return ChildrenOf(e.Pid()).size() == 1; }, 5000);
  }
};
}  // namespace

TEST(GroupProtocol, ParentAndChildShareTwoPrivateObjects) {
  if (!TwoProcessors()) GTEST_SKIP() << "one processor: no child is started";
  Group2 g;
  const int parent = g.e.Pid();
  const std::vector<int> children = ChildrenOf(parent);
  ASSERT_EQ(children.size(), 1u);
  const std::set<std::string> names = NamesOf(parent);
  ASSERT_EQ(names.size(), 2u);
  for (const std::string& name : names)
    EXPECT_EQ(fs::status("/dev/shm/" + name).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write) << name;
  // Restarting the group (a new table size) brings new exchange names and
  // a new child; the old ones are gone.
  const Lines restart = Answer(g.e, "setoption name Hash value 8");
  EXPECT_EQ(restart, (Lines{"info string Children restarted.", "info string Hash size set to 8 mb"}));
  EXPECT_TRUE(WaitUntil([&] { return !ProcessExists(children[0]); }, 3000));
  const std::set<std::string> after = NamesOf(parent);
  EXPECT_EQ(after.size(), 2u);
  EXPECT_NE(after, names);
  EXPECT_EQ(ChildrenOf(parent).size(), 1u);
  // One process only: the group is torn down.
  Answer(g.e, "setoption name Max CPUs value 1");
  EXPECT_TRUE(WaitUntil([&] { return ChildrenOf(parent).empty(); }, 3000));
  g.e.Send("quit");
  EXPECT_EQ(g.e.Wait(), 0);
  EXPECT_TRUE(NamesOf(parent).empty());
}

TEST(GroupProtocol, EveryWayOfEndingLeavesNothingBehind) {
  if (!TwoProcessors()) GTEST_SKIP() << "one processor: no child is started";
  enum Ending { QuitLine, EndOfInput, Killed, Crashed };
  for (Ending ending : {QuitLine, EndOfInput, Killed, Crashed}) {
    int parent = 0, child = 0;
    {
      Group2 g;
      parent = g.e.Pid();
      const std::vector<int> children = ChildrenOf(parent);
      ASSERT_EQ(children.size(), 1u) << ending;
      child = children[0];
      g.e.Send("go infinite");
      platform::SleepMs(200);
      switch (ending) {
        case QuitLine: g.e.Send("quit"); break;
        case EndOfInput: g.e.CloseInput(); break;
        case Killed: platform::KillProcess(parent); break;
        case Crashed: platform::SignalProcess(parent, 11); break;
      }
      EXPECT_GE(g.e.Wait(5000), 0) << ending;
    }
    // The child sees the end of its input and quits within a second; when
    // its parent was killed it removes the group's names itself, so that
    // nothing waits for a later engine to start.
    EXPECT_TRUE(WaitUntil([&] { return !ProcessExists(child); }, 1500)) << ending;
    EXPECT_TRUE(WaitUntil([&] { return NamesOf(parent).empty(); }, 1500)) << ending;
  }
}

// Names left by an engine that is gone (a single process killed with -9) and
// that no process maps go at the next start, however young they are.
TEST(GroupProtocol, AStartRemovesTheNamesOfAnEngineThatIsGone) {
  platform::ChildProcess gone;
  ASSERT_TRUE(gone.Start("/bin/true", {"/bin/true"}, false));
  const int pid = gone.Pid();
  gone.Wait(5000);
  ASSERT_FALSE(ProcessExists(pid));
  // The table's name names its maker alone (an exchange area's name, with
  // its generation before the id, can be read several ways).
  const std::string table = "/dev/shm/TolvoSync1" + std::to_string(pid);
  std::ofstream(table) << "left behind";
  EngineProcess next;
  Answer(next, "isready");
  EXPECT_FALSE(fs::exists(table));
  next.Quit();
}

// A silent search ("goe") stops the children with its answer, as a best move does.
TEST(GroupProtocol, ChildrenStopWithTheSilentAnswer) {
  if (!TwoProcessors()) GTEST_SKIP() << "one processor: no child is started";
  Group2 g;
  const std::vector<int> children = ChildrenOf(g.e.Pid());
  ASSERT_EQ(children.size(), 1u);
  std::string exchange;
  for (const std::string& name : NamesOf(g.e.Pid()))
    if (name.rfind("TolvoEx", 0) == 0) exchange = name;
  ASSERT_FALSE(exchange.empty());
  // Several depths: the stop reaches the child at different points of its
  // search, inside a root move as well as between them.
  for (int depth = 4; depth <= 8; ++depth) {
    g.e.Send("position startpos");
    g.e.Send("goe depth " + std::to_string(depth));
    std::string answer;
    ASSERT_TRUE(g.e.ReadLine(answer, 20000));
    platform::SleepMs(300);
    // The child's slot of the exchange area names no root move.
    std::ifstream area("/dev/shm/" + exchange, std::ios::binary);
    area.seekg(81920 + 128 + 32 * 1);   // the root block, its header, slot 1: the move being searched
    uint64_t current = ~0ull;
    area.read(reinterpret_cast<char*>(&current), sizeof current);
    EXPECT_EQ(current, 0u) << "depth " << depth;
  }
  // Its processor time no longer grows.
  const uint64_t before = CpuTicks(children[0]);
  platform::SleepMs(400);
  EXPECT_LE(CpuTicks(children[0]), before + 2) << "the child still searches";
  g.e.Quit();
}

// A Chess960 game in a group of two: the mode reaches the child, which reads
// the same positions (castling moves among them) and shares the table; every
// best move is legal where it is played.
TEST(GroupProtocol, AChess960GameInTheGroup) {
  Group2 g;
  EXPECT_EQ(Answer(g.e, "setoption name UCI_Chess960 value true"), Lines{"info string Chess960 enabled."});
  Chess960Scope mode(true);
  const std::string start = "fen 1r2k1r1/pp3pp1/2nbbn2/2pqp2p/2PQP2P/2NBBN2/PP3PP1/1R2K1R1 w GBgb - 0 1";
  std::string moves = " moves e1g1 e8b8";
  Position p = FromFen(start.substr(4));
  for (const char* m : {"e1g1", "e8b8"}) {
    const Move move = FindLegalMove(p, m);
    ASSERT_NE(move, 0u) << m;
    MakeRootMove(p, move);
  }
  for (int ply = 0; ply < 6; ++ply) {
    g.e.Send("position " + start + moves);
    g.e.Send("go depth 6");
    const std::string best = g.e.WaitFor("bestmove");
    ASSERT_EQ(best.rfind("bestmove ", 0), 0u);
    const std::string text = best.substr(9, best.find(' ', 9) - 9);
    const Move move = FindLegalMove(p, text.c_str());
    ASSERT_NE(move, 0u) << PositionToFen(p) << ": " << best;
    MakeRootMove(p, move);
    moves += " " + text;
  }
  g.e.Quit();
}

// Loading a hash file into another engine's table never writes past it: a
// file larger than the shared table is refused, and both engines go on.
TEST(GroupProtocol, LoadHashKeepsToTheSharedTable) {
  const ScratchDirectory scratch;
  const std::string file = (scratch.Path() / "big.thf").string();
  std::ofstream(file).close();
  fs::resize_file(file, 2u << 20);
  EngineProcess first({"0", "1"});
  Answer(first, "setoption name Hash value 1");
  EngineProcess second({std::to_string(first.Pid()), "1", "1"});
  Answer(second, "setoption name Hash File value " + file);
  const Lines answer = Answer(second, "setoption name Load Hash");
  ASSERT_EQ(answer.size(), 1u);
  EXPECT_EQ(answer[0], "info string Load hash invoked but failed - " + file +
                           " (2 mb) does not fit the shared table of 1 mb.");
  Answer(second, "write 5 fen 8/8/8/4k3/8/8/2K5/1Q6 w - - 0 1");
  const Lines probed = Answer(first, "probe fen 8/8/8/4k3/8/8/2K5/1Q6 w - - 0 1");
  ASSERT_EQ(probed.size(), 1u);
  EXPECT_NE(probed[0].find(" ex 5"), std::string::npos) << probed[0];
  second.Quit();
  first.Quit();
}

TEST(GroupProtocol, ADeadChildDoesNotCostTheMove) {
  if (!TwoProcessors()) GTEST_SKIP() << "one processor: no child is started";
  Group2 g;
  const std::vector<int> children = ChildrenOf(g.e.Pid());
  ASSERT_EQ(children.size(), 1u);
  g.e.Send("position startpos");
  g.e.Send("go movetime 1500");
  platform::SleepMs(300);
  platform::KillProcess(children[0]);
  const uint64_t start = platform::NowMs();
  EXPECT_EQ(g.e.WaitFor("bestmove", 5000).rfind("bestmove ", 0), 0u);
  EXPECT_LT(platform::NowMs() - start, 1500u + (Sanitized() ? 800 : 300));
  // The next search and the next game go on without it.
  g.e.Send("position startpos moves e2e4");
  g.e.Send("go depth 4");
  EXPECT_EQ(g.e.WaitFor("bestmove").rfind("bestmove ", 0), 0u);
  // A new game brings the group back to its full size.
  Answer(g.e, "ucinewgame");
  const std::vector<int> renewed = ChildrenOf(g.e.Pid());
  ASSERT_EQ(renewed.size(), 1u);
  EXPECT_NE(renewed[0], children[0]);
  g.e.Send("quit");
  EXPECT_EQ(g.e.Wait(), 0);
}

TEST(GroupProtocol, ASecondEngineSharesTheFirstOnesTable) {
  EngineProcess first({"0", "1"});   // alone: its own table and one process
  const std::string fen = "fen 8/8/8/4k3/8/8/2K5/1Q6 w - - 0 1";
  Answer(first, "write 123 " + fen);
  EngineProcess second({std::to_string(first.Pid()), "1", "32"});
  const Lines answer = Answer(second, "probe " + fen);
  ASSERT_EQ(answer.size(), 1u);
  EXPECT_NE(answer[0].find(" ex 123"), std::string::npos) << answer[0];
  // And the other way round.
  Answer(second, "write -77 fen 8/8/8/4k3/8/8/2K5/1R6 w - - 0 1");
  const Lines back = Answer(first, "probe fen 8/8/8/4k3/8/8/2K5/1R6 w - - 0 1");
  ASSERT_EQ(back.size(), 1u);
  EXPECT_NE(back[0].find(" ex -77"), std::string::npos) << back[0];
  second.Send("quit");
  EXPECT_EQ(second.Wait(), 0);
  // Only the creator removes the table's name.
  EXPECT_TRUE(fs::exists("/dev/shm/TolvoSync1" + std::to_string(first.Pid())));
  first.Send("quit");
  EXPECT_EQ(first.Wait(), 0);
}

// Tables up to 64 GB are announced; one the machine cannot hold is refused
// with a message that names the limit, and the table in use stays, with what
// it holds.
TEST(GroupProtocol, ATableTooLargeForTheMachineIsRefused) {
  EngineProcess e;
  e.Send("uci");
  bool announced = false;
  for (const std::string& line : e.ReadUntil("uciok"))
    announced |= line == "option name Hash type spin min 2 max 65536 default 32";
  EXPECT_TRUE(announced);
  const platform::SharedMemoryRoom room = platform::RoomForSharedObject();
  if (room.bytes >= (uint64_t(65536) << 20)) GTEST_SKIP() << "this machine could hold a 64 GB table";
  const std::string probe = "probe fen 4k3/8/8/8/8/8/8/R3K3 w - - 0 1";
  e.Send("write 77 fen 4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
  const std::vector<std::string> refused = Answer(e, "setoption name Hash value 65536");
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].rfind("info string Hash size not changed - could not allocate 65536 mb of hash: ", 0), 0u)
      << refused[0];
  EXPECT_NE(refused[0].find(platform::SharedMemoryLimitText(room.limit)), std::string::npos) << refused[0];
  EXPECT_NE(refused[0].find("the table keeps 32 mb."), std::string::npos) << refused[0];
  const std::vector<std::string> probed = Answer(e, probe);
  ASSERT_EQ(probed.size(), 1u);
  EXPECT_NE(probed[0].find(" ex 77"), std::string::npos) << probed[0];
  e.Send("position startpos");
  e.Send("go depth 4");
  EXPECT_NE(e.WaitFor("bestmove"), "bestmove 0000");
  e.Quit();
}
