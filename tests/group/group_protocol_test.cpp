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
#include "platform/platform.h"
#include "platform/process.h"
#include "tests/support/engine_process.h"
#include "tests/support/test_data.h"

namespace fs = std::filesystem;

namespace {
using Lines = std::vector<std::string>;

// Processes whose parent is `pid` (from /proc).
std::vector<int> ChildrenOf(int pid) {
  std::vector<int> found;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // pid (comm) state ppid ...: the comm may hold blanks, so read after its ')'.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    char state;
    int ppid = 0;
    rest >> state >> ppid;
    if (ppid == pid) found.push_back(std::stoi(name));
  }
  return found;
}

// A process that still runs (an ended one may wait as a zombie until its
// new parent collects it).
bool ProcessExists(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

// Shared objects of an engine process: its table and exchange areas.
std::set<std::string> NamesOf(int pid) {
  std::set<std::string> names;
  const std::string id = std::to_string(pid);
  for (const auto& entry : fs::directory_iterator("/dev/shm")) {
    const std::string name = entry.path().filename().string();
    if (name == "TolvoSync1" + id || (name.rfind("TolvoEx", 0) == 0 && name.size() > id.size() + 7 &&
                                      name.compare(name.size() - id.size(), id.size(), id) == 0))
      names.insert(name);
  }
  return names;
}

bool WaitUntil(const std::function<bool()>& done, int ms) {
  for (int waited = 0; waited < ms; waited += 20) {
    if (done()) return true;
    platform::SleepMs(20);
  }
  return done();
}

bool TwoProcessors() { return platform::ProcessorCount() >= 2; }

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
    // The child sees the end of its input and quits within a second.
    EXPECT_TRUE(WaitUntil([&] { return !ProcessExists(child); }, 1500)) << ending;
    if (ending == Killed) {
      // Nobody could clean up: the next engine does.
      platform::SleepMs(5100);   // objects younger than 5 s are never taken for stale
      EngineProcess next;
      next.Send("isready");
      next.WaitFor("readyok");
    }
    EXPECT_TRUE(NamesOf(parent).empty()) << ending;
  }
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
