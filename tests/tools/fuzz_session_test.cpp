// The fuzzer's sessions end to end (against small stand-in engines that
// misbehave on purpose, and against the real engine on a controller's
// script), the judging of how a process ended, and the reach and safety of
// the generated commands.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <fstream>
#include <set>
#include <string>
#include <vector>
#include "tools/fuzz/command_generator.h"
#include "tools/fuzz/engine_pipe.h"
#include "tools/fuzz/processes.h"
#include "tools/fuzz/session.h"

using fuzz::Step;

namespace {
// A directory with stand-in engines (shell scripts) and room for the engine's files.
class FuzzSession : public testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/tolvo-fuzz-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    work_ = dir_ + "/work";
    mkdir(work_.c_str(), 0700);
  }
  void TearDown() override {
    // The stand-ins list the processes they start: none may outlive the test.
    std::ifstream pids(dir_ + "/children");
    for (int pid; pids >> pid;) kill(pid, SIGKILL);
    (void)system(("rm -rf " + dir_).c_str());
  }

  std::string Script(const std::string& name, const std::string& body) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path) << "#!/bin/sh\n" << body;
    chmod(path.c_str(), 0700);
    return path;
  }
  fuzz::SessionOutcome Run(const std::string& binary, const std::vector<Step>& steps) {
    fuzz::FuzzConfig config;
    config.binary = binary;
    config.workDir = work_;
    config.timeouts = {2000, 2000, 1000, 300};
    size_t next = 0;
    return fuzz::RunSession(
        config,
        [&](const fuzz::ProtocolModel&, Step& s) {
          if (next >= steps.size()) return false;
          s = steps[next++];
          return true;
        },
        200);
  }
  std::string dir_, work_;
};

Step Line(const std::string& text, bool awaitReady = false) {
  Step s;
  s.bytes = text + "\n";
  s.awaitReady = awaitReady;
  return s;
}
// The step waits until the engine owes no answer (the fuzzer then knows it is idle).
Step Settled(Step s) {
  s.before = Step::Before::Settle;
  return s;
}
Step EndOfInput() {
  Step s;
  s.endInput = true;
  return s;
}

// Answers every "go" at once, also "go ponder".
const char* const Hasty =
    "while IFS= read -r line; do\n"
    "  case \"$line\" in\n"
    "    isready*) echo readyok ;;\n"
    "    go*) echo 'bestmove e2e4' ;;\n"
    "    quit*) exit 0 ;;\n"
    "  esac\n"
    "done\n";
}  // namespace

// Each stand-in's fault is found and named; the hasty one is fine when asked properly.
TEST_F(FuzzSession, StandInEnginesAreJudgedByWhatTheyDo) {
  const std::string overflow =
      "while IFS= read -r line; do\n"
      "  case \"$line\" in go*)\n"
      "    echo \"/src/search/node.cpp:12:5: runtime error: signed integer overflow: 1 + 2147483647 "
      "cannot be represented in type 'int'\" >&2; exit 1 ;; esac\n"
      "done\n";
  const struct {
    std::string body;
    std::vector<Step> steps;
    const char* signature;
  } rows[] = {
      {Hasty, {Line("go depth 1"), Settled(Line("go ponder")), Line("quit")},
       "protocol: bestmove before stop/ponderhit (go ponder, legal position)"},
      // The early answer arrives within the moment the fuzzer waits after a
      // ponder/infinite search starts, before its own stop could excuse it.
      {Hasty, {Line("go infinite"), Line("stop"), Line("quit")},
       "protocol: bestmove before stop/ponderhit (go infinite, legal position)"},
      {Hasty, {Line("go depth 1"), Line("isready", true), Line("quit")}, ""},
      {overflow, {Line("go depth 1"), Line("isready", true)},
       "sanitizer: signed integer overflow at search/node.cpp:12"},
      {"exec sleep 30\n", {Line("isready", true)}, "hang: no readyok (idle)"},
      {"exec sleep 30\n", {EndOfInput()}, "hang: process does not end at end of input (idle)"},
      {"kill -SEGV $$\n", {Line("uci")}, "crash: SIGSEGV (11)"},
  };
  int n = 0;
  for (const auto& r : rows) {
    const auto out = Run(Script("engine" + std::to_string(n++), r.body), r.steps);
    EXPECT_EQ(out.faulted ? out.fault.signature : "", r.signature) << r.body;
  }
}

TEST_F(FuzzSession, PipesNeverBlockOnLongLines) {
  // The stand-in echoes its input: a 3 MB line goes out while it comes back.
  fuzz::EnginePipe pipe;
  std::string error;
  ASSERT_TRUE(pipe.Start(Script("echo", "exec cat\n"), work_, error)) << error;
  pipe.Write(std::string(3 << 20, 'x') + "\nlast line without line feed");
  pipe.CloseInput();
  std::vector<std::string> lines;
  const uint64_t until = fuzz::NowMs() + 10000;
  while (!pipe.Exited() && fuzz::NowMs() < until) pipe.Pump(20);
  for (std::string line; pipe.NextLine(line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), size_t(3 << 20));
  EXPECT_EQ(lines[1], "last line without line feed");
  EXPECT_EQ(pipe.ExitCode(), 0);
}

// Answers "go" at once, after starting a child process: `child` is the shell
// command it runs in the background.
std::string WithChild(const std::string& dir, const std::string& child, const std::string& atStart = "") {
  return atStart +
         "while IFS= read -r line; do\n"
         "  case \"$line\" in\n"
         "    isready*) echo readyok ;;\n"
         "    go*) " + child + " & echo $! >> " + dir + "/children; echo 'bestmove e2e4' ;;\n"
         "    quit*) exit 0 ;;\n"
         "  esac\n"
         "done\n";
}

TEST_F(FuzzSession, TheEnginesOtherProcessesFallIdleAndEndWithIt) {
  Step go = Line("go depth 1");
  go.checkChildCpu = true;
  // A child that goes on computing after the answer.
  auto out = Run(Script("busy", WithChild(dir_, "sh -c 'while :; do :; done'")),
                 {go, Line("isready", true), Line("quit")});
  ASSERT_TRUE(out.faulted);
  EXPECT_EQ(out.fault.signature, "cpu: a child process still works after the answer (go)");
  EXPECT_EQ(out.stats.childChecks, 1u);
  // One that waits is idle, but must not outlive the engine.
  out = Run(Script("sleeper", WithChild(dir_, "sleep 30")), {go, Line("isready", true), Line("quit")});
  ASSERT_TRUE(out.faulted);
  EXPECT_EQ(out.fault.signature, "exit: a child process outlived the engine");
  // Nor may the group's shared-memory names (they are removed after the report).
  const std::string name = "/dev/shm/TolvoSync1";
  out = Run(Script("names", WithChild(dir_, "true", "touch " + name + "$$\n")), {go, Line("quit")});
  ASSERT_TRUE(out.faulted);
  EXPECT_EQ(out.fault.signature, "exit: shared-memory names left after the engine ended");
  const size_t at = out.fault.detail.find(name);
  ASSERT_NE(at, std::string::npos) << out.fault.detail;
  EXPECT_NE(access(out.fault.detail.substr(at).c_str(), F_OK), 0);

  // Which names are a group's: its table and its exchange areas of every generation, nobody else's.
  const std::string shm = dir_ + "/shm";
  mkdir(shm.c_str(), 0700);
  for (const char* file : {"TolvoSync11000", "TolvoEx71000", "TolvoEx101000", "TolvoEx071000",
                           "TolvoSync141000", "TolvoExx1000", "Tolvo1000", "TolvoSync1100"})
    std::ofstream(shm + "/" + file) << "";
  std::vector<std::string> names = fuzz::GroupSharedNames(1000, shm);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"TolvoEx101000", "TolvoEx71000", "TolvoSync11000"}));
}

TEST(FuzzExit, ClassifiesReportsSignalsAndCodes) {
  fuzz::Fault f;
  const std::string asan =
      "=================================================================\n"
      "==42==ERROR: AddressSanitizer: heap-buffer-overflow on address 0x602 at pc 0x5 bp 0x7 sp 0x7\n"
      "READ of size 4 at 0x602 thread T0\n"
      "    #0 0x55 in __interceptor_memcpy ../../../../src/libsanitizer/sanitizer_common/x.inc:1\n"
      "    #1 0x56 in Parse(char const*) /work/tree/board/fen.cpp:77\n";
  ASSERT_TRUE(fuzz::ExitFault(asan, 1, 0, true, f));
  EXPECT_EQ(f.signature, "sanitizer: AddressSanitizer heap-buffer-overflow at board/fen.cpp:77");
  ASSERT_TRUE(fuzz::ExitFault("", 0, 6, true, f));
  EXPECT_EQ(f.signature, "crash: SIGABRT (6)");
  ASSERT_TRUE(fuzz::ExitFault("", 3, 0, true, f));
  EXPECT_EQ(f.signature, "exit: code 3");
  ASSERT_TRUE(fuzz::ExitFault("terminate called after throwing\n", 0, 0, true, f));
  EXPECT_EQ(f.signature, "stderr: terminate called after throwing");
  ASSERT_TRUE(fuzz::ExitFault("", 0, 0, false, f));   // an end nobody asked for
  EXPECT_FALSE(fuzz::ExitFault("", 0, 0, true, f));
}

TEST_F(FuzzSession, ControllerScriptAgainstTheEngineRaisesNothing) {
  // A clocked search of one line owes its "taking"; the others take the
  // controller's lines at whatever moment the engine reads them.
  Step clocked = Line("go slave 1 wtime 3000 btime 3000 id 9");
  clocked.checkChildCpu = true;
  Step waitForIt = Line("isready", true);
  waitForIt.before = Step::Before::Answer;
  Step goe = Line("goe slave 1 depth 3");
  goe.before = Step::Before::Settle;
  goe.checkChildCpu = true;
  const auto out = Run(TOLVO_BINARY, {Line("setoption name Max CPUs value 2"),
                                      Line("position startpos moves e2e4"), clocked, waitForIt,
                                      Settled(Line("go slave 3 depth 12 id 4")), Line("deny e7e5\nisready"),
                                      Line("take d7d5\nisready", true), Line("posted 40 12 1234abcd e7e5"),
                                      Settled(goe), Settled(Line("go slave 2 infinite")),
                                      Line("deny g8f6\nisready", true), Line("stop"),
                                      Settled(Line("isready", true)), Line("quit")});
  EXPECT_FALSE(out.faulted) << out.fault.signature << "\n" << out.fault.detail;
  EXPECT_EQ(out.stats.searches, 4u);
  EXPECT_EQ(out.stats.takingsOwed, 1u);
  // Two processes where the machine has two processors: the child was sampled after each answer.
  if (sysconf(_SC_NPROCESSORS_ONLN) >= 2) {
    EXPECT_EQ(out.stats.childChecks, 2u);
  }
}

TEST(FuzzGenerator, ReachesEveryCommandAndStaysSafe) {
  fuzz::CommandGenerator generator(7);
  fuzz::Timeouts timeouts;
  const fuzz::ProtocolModel idle(timeouts);
  std::set<std::string> seen;
  bool capsOrCr = false, longLine = false, extreme = false;
  for (int i = 0; i < 5000; ++i) {
    const Step s = generator.Next(idle);
    ASSERT_FALSE(s.bytes.empty());
    ASSERT_EQ(s.bytes.back(), '\n');
    const std::string line = s.bytes.substr(0, s.bytes.size() - 1);
    ASSERT_EQ(line.find('\n'), std::string::npos);
    ASSERT_EQ(fuzz::MakeSafe(line), line);
    std::string word = line.substr(0, line.find(' '));
    for (char& c : word) c = char(std::tolower(static_cast<unsigned char>(c)));
    seen.insert(word);
    if (line.rfind("slave mode", 0) == 0) seen.insert("slave mode");
    capsOrCr |= line.rfind("POSITION", 0) == 0 || (!line.empty() && line.back() == '\r');
    longLine |= line.size() > fuzz::EngineLineCap;
    extreme |= line.find("2147483648") != std::string::npos;
  }
  for (const char* keyword : {"stop", "ponderhit", "ucinewgame", "uci3", "kvx5", "hqz5", "probe", "write",
                              "uci", "isready", "slave mode", "position", "play", "deny", "posted", "take",
                              "tt", "go", "goe", "setoption", "perft", "bench", "d", "eval"})
    EXPECT_TRUE(seen.count(keyword)) << keyword;
  EXPECT_TRUE(capsOrCr);
  EXPECT_TRUE(longLine);
  EXPECT_TRUE(extreme);
  // Sessions end by quit, by the end of input, and by the end of input inside a line.
  bool quit = false, eof = false, partial = false;
  for (int i = 0; i < 200; ++i) {
    const Step s = generator.End(idle);
    quit |= s.bytes.find("quit") != std::string::npos || s.bytes.find("QUIT") != std::string::npos;
    eof |= s.endInput && s.bytes.empty();
    partial |= s.endInput && !s.bytes.empty() && s.bytes.back() != '\n';
  }
  EXPECT_TRUE(quit && eof && partial);
}

TEST(FuzzGenerator, ControllerRunsNameTheRootMovesOfTheSearch) {
  // While a slave search runs, the controller's moves are mostly root moves
  // it holds, each line followed by an isready most of the time.
  fuzz::CommandGenerator generator(11);
  fuzz::Timeouts timeouts;
  fuzz::ProtocolModel model(timeouts);
  model.OnInput("position startpos moves e2e4\ngo slave 2 depth 20 id 5\n", 0);
  int moves = 0, rootMoves = 0, followed = 0, lines = 0;
  for (int i = 0; i < 3000; ++i) {
    const Step s = generator.Next(model);
    for (const char* word : {"deny ", "take "}) {
      if (s.bytes.rfind(word, 0) != 0) continue;
      ++moves;
      const std::string text = s.bytes.substr(5, s.bytes.find('\n') - 5);
      rootMoves += text.size() >= 4 && text[1] >= '5';   // Black's moves after 1 e4
      followed += s.bytes.find("\nisready\n") != std::string::npos;
    }
    lines += s.bytes.rfind("posted ", 0) == 0 || s.bytes.rfind("slave mode ", 0) == 0;
  }
  ASSERT_GT(moves, 300);
  EXPECT_GT(rootMoves, moves * 7 / 10);
  EXPECT_LT(rootMoves, moves);   // and some that are not
  EXPECT_GT(followed, moves * 7 / 10);
  EXPECT_GT(lines, 100);
}

TEST(FuzzGenerator, NeverAsksForTablesThatFillTheMachine) {
  EXPECT_EQ(fuzz::MakeSafe("setoption name Hash value 4096"), "setoption name Hash value 16");
  EXPECT_EQ(fuzz::MakeSafe("SETOPTION NAME HASH VALUE 100000"), "setoption name Hash value 16");
  // The engine holds such a request to its largest table.
  EXPECT_EQ(fuzz::MakeSafe("setoption name Hash value 2147483648"), "setoption name Hash value 16");
  EXPECT_EQ(fuzz::MakeSafe("setoption name Hash value 64"), "setoption name Hash value 64");
  EXPECT_EQ(fuzz::MakeSafe("setoption name Hash File value ../../etc/x"),
            "setoption name Hash File value .._.._etc_x");
}
