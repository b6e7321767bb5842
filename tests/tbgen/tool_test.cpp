// tolvo-tbgen as a user meets it: --index on the reference positions,
// --probe on generated files, and files that are whole or absent when a
// write fails, a run is interrupted or a table does not fit in memory.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include "platform/process.h"
#include "tablebase/emd_file.h"
#include "tablebase/nalimov_catalogue.h"
#include "tbgen/atomic_files.h"
#include "tests/support/nalimov_test_data.h"
#include "tests/support/tbgen_run.h"
#include "tests/support/test_data.h"

namespace {

// Files of a directory by name, with their sizes.
std::map<std::string, uint64_t> Listing(const std::string& dir) {
  std::map<std::string, uint64_t> files;
  for (const auto& e : std::filesystem::directory_iterator(dir)) files[e.path().filename()] = e.file_size();
  return files;
}

// Every file is a whole table file: a known name with its full length, or
// a compressed file that reads as one of that length.
void ExpectOnlyWholeFiles(const std::string& dir) {
  for (const auto& [name, size] : Listing(dir)) {
    const std::string table = name.substr(0, name.find('.'));
    const nalimov::TableInfo* t = nalimov::TableByName(table);
    ASSERT_NE(t, nullptr) << "stray file " << name;
    const bool compressed = name.ends_with(".emd");
    const std::string plain = compressed ? name.substr(0, name.size() - 4) : name;
    ASSERT_TRUE(plain.ends_with(".nbw") || plain.ends_with(".nbb")) << name;
    const Color side = plain.ends_with(".nbw") ? White : Black;
    if (!compressed) {
      EXPECT_EQ(size, t->entries[side]) << name;
      continue;
    }
    emd::EmdFile file;
    ASSERT_EQ(file.Open(dir + "/" + name), emd::EmdError::None) << name;
    EXPECT_EQ(file.UncompressedSize(), t->entries[side]) << name;
  }
}

// Runs the tool in a child with a resource limit; returns its exit status.
int RunLimited(int resource, rlim_t limit, const std::vector<std::string>& args) {
  const pid_t pid = fork();
  if (pid == 0) {
    struct rlimit r = {limit, limit};
    setrlimit(resource, &r);
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, STDOUT_FILENO);
    std::vector<char*> argv{const_cast<char*>(TOLVO_TBGEN_BINARY)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(TOLVO_TBGEN_BINARY, argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

TEST(TbgenTool, IndexGivesTheReferenceEntries) {
  std::vector<std::string> fens, expected;
  for (const auto& f : LoadVectors()) {
    // Read the line's way only where the tool's choice of colours is the
    // line's (kpkp, its own reverse, is read directly).
    const bool exchanged = f[3] == "x";
    if (f[0] == "kpkp" && exchanged) continue;
    fens.push_back(f[5]);
    expected.push_back(f[4] + " " + f[6]);
  }
  ASSERT_GT(fens.size(), 5700u);
  const ToolRun run = RunTbgen({"--index"}, fens, 60000);
  EXPECT_EQ(run.exitCode, 0);
  ASSERT_EQ(run.lines.size(), fens.size());
  int wrong = 0;
  for (size_t i = 0; i < fens.size(); ++i)
    if (run.lines[i] != expected[i] && ++wrong <= 10)
      ADD_FAILURE() << fens[i] << ": " << run.lines[i] << ", expected " << expected[i];
  EXPECT_EQ(wrong, 0);
  // Six men, stored in extents: the extent file and the entry within it.
  const ToolRun six = RunTbgen({"--index", "8/8/8/8/8/1qk4P/1p6/KQ6 w - - 0 1", "8/8/8/8/8/8/8/K6k w - - 0 1",
                                "not a fen"});
  ASSERT_EQ(six.lines.size(), 3u);
  EXPECT_TRUE(six.lines[0].starts_with("kqpkqp.")) << six.lines[0];
  EXPECT_TRUE(six.lines[1].starts_with("error:")) << six.lines[1];
  EXPECT_TRUE(six.lines[2].starts_with("error:")) << six.lines[2];
}

TEST(TbgenTool, ProbeReadsTheGeneratedFiles) {
  ScratchDirectory dir;
  GenerateTables(dir.Text(), {"krk"});
  const ToolRun run = RunTbgen({"--probe", dir.Text()},
                               {"8/8/8/8/8/2k5/1R6/K7 w - - 0 1",     // the longest win of krk
                                "8/8/8/8/8/2K5/1r6/k7 b - - 0 1",     // the same with colours exchanged
                                "8/8/8/8/8/8/k7/1R1K4 b - - 0 1",     // Black takes the rook
                                "k7/8/1K6/8/8/8/8/7R w - - 0 1",      // Rh8 mates
                                "k7/1R6/1K6/8/8/8/8/8 b - - 0 1",     // stalemate
                                "R5k1/8/6K1/8/8/8/8/8 b - - 0 1",     // checkmated
                                "8/8/8/8/8/2k5/8/KQ6 w - - 0 1"});     // no kqk files here
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.lines, (std::vector<std::string>{"mate in 16", "mate in 16", "draw", "mate in 1", "draw", "mated in 0",
                                                 "unknown"}));
}

TEST(TbgenTool, RefusesWhatItCannotDo) {
  ScratchDirectory dir;
  const struct {
    std::vector<std::string> args;
    int exitCode;
  } rows[] = {
      {{"-o", dir.Text(), "krkq"}, 2},                  // named the other way round: the list has kqkr
      {{"-o", dir.Text(), "kqkx"}, 2},                  // no such table
      {{"-o", dir.Text(), "--all", "7"}, 2},
      {{"-o", dir.Text(), "--threads", "0", "knk"}, 2},
      {{"-o", dir.Text()}, 2},                          // nothing to do
  };
  for (const auto& r : rows) EXPECT_EQ(RunTbgen(r.args).exitCode, r.exitCode) << ::testing::PrintToString(r.args);
  EXPECT_TRUE(Listing(dir.Text()).empty());
}

// Compressed while generating (kpk), and afterwards for a table already there (knk).
TEST(TbgenTool, CompressedFilesDecodeToTheTables) {
  ScratchDirectory dir;
  GenerateTables(dir.Text(), {"kpk"}, {"--compress"});
  GenerateTables(dir.Text(), {"knk"}, {});
  ASSERT_EQ(RunTbgen({"-q", "-o", dir.Text(), "--verify-only", "--compress", "knk"}).exitCode, 0);
  for (const char* name : {"kpk.nbw", "kpk.nbb", "knk.nbw", "knk.nbb"}) {
    const std::string plain = dir.Text() + "/" + name;
    std::ifstream in(plain, std::ios::binary);
    const std::vector<uint8_t> table{std::istreambuf_iterator<char>(in), {}};
    emd::EmdFile file;
    ASSERT_EQ(file.Open(plain + ".emd"), emd::EmdError::None) << name;
    ASSERT_EQ(file.UncompressedSize(), table.size());
    std::vector<uint8_t> decoded(table.size() + file.BlockSize());
    for (uint32_t b = 0; b < file.BlockCount(); ++b)
      ASSERT_EQ(file.ReadBlock(b, decoded.data() + uint64_t(b) * file.BlockSize()), emd::EmdError::None);
    decoded.resize(table.size());
    EXPECT_TRUE(decoded == table) << name;
    EXPECT_LT(std::filesystem::file_size(plain + ".emd"), table.size() / 4) << name;
  }
}

TEST(TbgenFiles, AFailedWriteLeavesNothing) {
  ScratchDirectory dir;
  // The first table written (knk, 26282 bytes white to move) is larger than the limit.
  EXPECT_EQ(RunLimited(RLIMIT_FSIZE, 20000, {"-q", "-o", dir.Text(), "knk"}), 1);
  EXPECT_TRUE(Listing(dir.Text()).empty()) << ::testing::PrintToString(Listing(dir.Text()));
  // Through the library: one file fits, the second does not; neither stays.
  const pid_t pid = fork();
  if (pid == 0) {
    struct rlimit r = {50000, 50000};
    setrlimit(RLIMIT_FSIZE, &r);
    tbgen::InstallCleanupHandlers();
    std::vector<uint8_t> small(1000, 1), large(100000, 2);
    std::string error;
    const bool ok = tbgen::CommitFiles(dir.Text(), {{"a.nbw", small.data(), small.size()}, {"a.nbb", large.data(), large.size()}},
                                       &error);
    _exit(!ok && error.find("cannot write") != std::string::npos ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(Listing(dir.Text()).empty()) << ::testing::PrintToString(Listing(dir.Text()));
}

// Also while compressing: most of a compressing run goes into compression,
// so its interruption mostly lands there.
TEST(TbgenFiles, AnInterruptedRunLeavesOnlyWholeFiles) {
  for (bool compress : {false, true}) {
    ScratchDirectory dir;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
      std::vector<std::string> args{"-q", "--threads", "1", "-o", dir.Text(), "--all", "4"};
      if (compress) args.push_back("--compress");
      EngineProcess tool(args, TOLVO_TBGEN_BINARY);
      ASSERT_TRUE(tool.Started());
      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      platform::SignalProcess(tool.Pid(), signal);
      EXPECT_EQ(tool.Wait(60000), 128 + signal);
      ExpectOnlyWholeFiles(dir.Text());
    }
    EXPECT_FALSE(Listing(dir.Text()).empty()) << "nothing was written before the interruption";
  }
}

TEST(TbgenFiles, ATableThatDoesNotFitIsRefusedBeforeAnythingStarts) {
  ScratchDirectory dir;
  // The address sanitizer reserves terabytes of address space for itself: a
  // sanitized tool cannot start under an address-space limit at all.
  if (!Sanitized()) {
    EXPECT_EQ(RunLimited(RLIMIT_AS, rlim_t(400) << 20, {"-q", "-o", dir.Text(), "krpkr"}), 1);
    EXPECT_TRUE(Listing(dir.Text()).empty());
  }
  // Six men never fit here.
  const ToolRun run = RunTbgen({"-q", "-o", dir.Text(), "kqrkqr"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Listing(dir.Text()).empty());
}
