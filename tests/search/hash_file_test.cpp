// Hash memory and hash files: the large-page decision and its reports, and
// saving and loading the table with every failure it reports.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>
#include <grp.h>
#include <unistd.h>
#include "common/output.h"
#include "group/process_group.h"
#include "platform/memory.h"
#include "platform/platform.h"
#include "group/hash_file.h"
#include "search/hash_table.h"
#include "tests/support/captured_output.h"

namespace fs = std::filesystem;

namespace {

std::string Info(const std::string& text) { return "info string " + text; }

void FillRandom(uint64_t seed) {
  std::mt19937_64 rng(seed);
  for (uint64_t i = 0; i < Hash.entryCount; ++i) {
    const uint64_t word = rng();
    Hash.entries[i] = HashEntry{uint32_t(word), uint32_t(word >> 32)};
  }
}

std::vector<HashEntry> Snapshot() { return std::vector<HashEntry>(Hash.entries, Hash.entries + Hash.entryCount); }

bool TableEquals(const std::vector<HashEntry>& copy) {
  return copy.size() == Hash.entryCount &&
         std::memcmp(copy.data(), Hash.entries, copy.size() * sizeof(HashEntry)) == 0;
}

bool TableIsZero() {
  for (uint64_t i = 0; i < Hash.entryCount; ++i)
    if (Hash.entries[i].word0 | Hash.entries[i].word1) return false;
  return true;
}

void WriteFile(const fs::path& path, uint64_t bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  const std::string block(4096, 'x');
  for (uint64_t done = 0; done < bytes; done += block.size())
    f.write(block.data(), std::streamsize(std::min<uint64_t>(block.size(), bytes - done)));
}

class HashFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseLargePages = false;
    SetStdoutWriter(CaptureLine);
    ASSERT_TRUE(StartProcessGroup(1));
    CapturedLines.clear();
    dir = fs::path(::testing::TempDir()) / ("tolvo_hash_" + std::to_string(platform::ProcessId()));
    fs::create_directories(dir);
  }
  void TearDown() override {
    SetStdoutWriter(nullptr);
    Output.textLog = nullptr;
    UseLargePages = false;
    fs::remove_all(dir);
  }
  fs::path dir;
};
}  // namespace

TEST_F(HashFileTest, SaveThenLoadRestoresSizeAndContents) {
  ASSERT_TRUE(StartProcessGroup(4));
  FillRandom(7);
  const std::vector<HashEntry> saved = Snapshot();
  const std::string path = (dir / "table.thf").string();
  CapturedLines.clear();
  ASSERT_TRUE(SaveHashFile(path));
  EXPECT_EQ(CapturedLines, std::vector<std::string>{Info("Save hash invoked and succeeded - 4 mb saved to " + path + ".")});
  EXPECT_EQ(fs::file_size(path), 4u << 20);
  EXPECT_TRUE(TableEquals(saved));   // saving leaves the table alone

  // Another size and other contents, then the file brings the old table back.
  ASSERT_TRUE(StartProcessGroup(2));
  FillRandom(8);
  const int generation = Group.sharedFileNumber;
  CapturedLines.clear();
  ASSERT_TRUE(LoadHashFile(path));
  EXPECT_EQ(CapturedLines, (std::vector<std::string>{Info("Children restarted."),
                                           Info("Load hash invoked and succeeded - 4 mb loaded from " + path + ".")}));
  EXPECT_EQ(Group.hashMb, 4);
  EXPECT_EQ(Group.sharedFileNumber, generation + 1);
  EXPECT_EQ(Hash.indexMask, 4u * 131072 - 8);
  EXPECT_EQ(HashGeneration(), 0);
  EXPECT_TRUE(TableEquals(saved));
}

// Every failure is one line, and the table keeps its size, contents and generation.
TEST_F(HashFileTest, FailuresReportAndKeepTheTable) {
  const std::string d = dir.string(), missingDir = d + "/no-such-dir/table.thf";
  for (const auto& [name, bytes] : {std::pair{"empty.thf", 0u}, std::pair{"half.thf", 512u << 10},
                                    std::pair{"three.thf", 3u << 20}, std::pair{"ragged.thf", (2u << 20) + 8}})
    WriteFile(dir / name, bytes);
  FillRandom(3);
  const std::vector<HashEntry> before = Snapshot();
  const int generation = Group.sharedFileNumber;
  const std::string notSet = " hash invoked but failed - file not set.", notTable = " is not a whole power-of-two number of mb.";
  struct Case {
    bool save;
    std::string path, message;
  };
  const Case cases[] = {
      {true, "", "Save" + notSet},       {false, "", "Load" + notSet},
      {true, "*.thf", "Save" + notSet},  {false, "*.thf", "Load" + notSet},
      {true, "<empty>", "Save" + notSet}, {false, "<empty>", "Load" + notSet},
      {true, missingDir, "Save hash invoked but failed - " + missingDir +
                             " (1 mb) could not be opened for writing, error: No such file or directory (2)."},
      {false, missingDir, "Load hash invoked but failed - " + missingDir +
                              " could not be queried, error: No such file or directory (2)."},
      {true, "/dev/full", "Save hash invoked but failed - /dev/full (1 mb) could not be written to, error: No space left "
                          "on device (28)."},
      {false, d + "/empty.thf", "Load hash invoked but failed - " + d + "/empty.thf (0 bytes)" + notTable},
      {false, d + "/half.thf", "Load hash invoked but failed - " + d + "/half.thf (524288 bytes)" + notTable},
      {false, d + "/three.thf", "Load hash invoked but failed - " + d + "/three.thf (3145728 bytes)" + notTable},
      {false, d + "/ragged.thf", "Load hash invoked but failed - " + d + "/ragged.thf (2097160 bytes)" + notTable},
  };
  for (const Case& c : cases) {
    CapturedLines.clear();
    EXPECT_FALSE(c.save ? SaveHashFile(c.path) : LoadHashFile(c.path)) << c.path;
    EXPECT_EQ(CapturedLines, std::vector<std::string>{Info(c.message)});
  }
  EXPECT_FALSE(fs::exists("*.thf"));
  EXPECT_EQ(Group.sharedFileNumber, generation);
  EXPECT_EQ(Group.hashMb, 1);
  EXPECT_TRUE(TableEquals(before));
}

// A size that could be loaded, but no permission to read the file. Root reads
// any file, so the check runs in a child process that first becomes the
// unprivileged user "nobody"; its exit code tells which expectation failed.
TEST_F(HashFileTest, UnreadableFileKeepsTheTable) {
  const fs::path locked = dir / "locked.thf";
  WriteFile(locked, 2u << 20);
  fs::permissions(locked, fs::perms::none);
  FillRandom(2);
  const std::vector<HashEntry> before = Snapshot();
  auto check = [&]() -> int {
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) return 10;
    if (std::ifstream(locked).is_open()) return 11;   // permissions not enforced
    CapturedLines.clear();
    if (LoadHashFile(locked.string())) return 1;
    if (CapturedLines != std::vector<std::string>{Info("Load hash invoked but failed - " + locked.string() +
                                             " (2 mb) could not be opened for reading, error: Permission denied (13).")})
      return 2;
    return Group.hashMb == 1 && TableEquals(before) ? 0 : 3;
  };
  GTEST_FLAG_SET(death_test_style, "fast");
  EXPECT_EXIT(std::_Exit(check()), ::testing::ExitedWithCode(0), "")
      << "exit 1: loaded, 2: other message, 3: table changed, 10: could not drop root, 11: file readable";
}

// Whether this machine has huge pages decides between the outcomes; each
// outcome is checked for what it must print and for a usable table.
TEST_F(HashFileTest, LargePageRequests) {
  std::FILE* log = std::tmpfile();
  Output.textLog = log;
  Output.textLogOpenTick = platform::NowMs();
  ASSERT_TRUE(StartProcessGroup(2));
  EXPECT_EQ(CurrentLargePageStatus, LargePagesUserChoice);
  EXPECT_EQ(CapturedLines, std::vector<std::string>{Info("Children restarted.")});   // the user's choice goes to the log only
  EXPECT_NE(ReadAll(log).find("     Large pages not used - user choice\n"), std::string::npos);

  UseLargePages = true;
  const uint64_t minimum = platform::HugePageSize();
  if (minimum > (1u << 20)) {
    CapturedLines.clear();
    ASSERT_TRUE(StartProcessGroup(1));
    EXPECT_EQ(CurrentLargePageStatus, LargePagesTooSmall);
    EXPECT_TRUE(Printed(Info("Large pages not used - pGetLargePageMinimum () returned " + std::to_string(minimum))));
  }
  if (minimum <= (4u << 20)) {
    CapturedLines.clear();
    ASSERT_TRUE(StartProcessGroup(4));
    if (CurrentLargePageStatus == LargePagesInUse) {
      EXPECT_TRUE(Printed(Info("Using large pages, size = 4194304")));
    } else {
      ASSERT_EQ(CurrentLargePageStatus, LargePagesCreateFailed);
      ASSERT_GE(CapturedLines.size(), 4u);
      EXPECT_EQ(CapturedLines[0] + CapturedLines[1].substr(0, 13) + CapturedLines[2].substr(0, 13), "ERROR: API        = mmaperror code = message    = ");
      EXPECT_EQ(CapturedLines[3], Info("Large pages not used - CreateFileMapping () returned invalid handle. Please check "
                             "memory fragmentation, privileges and UAC (and reboot if necessary)."));
    }
    // Either way the table is there, cleared and writable.
    EXPECT_EQ(Group.hashMb, 4);
    EXPECT_TRUE(TableIsZero());
    FillRandom(4);
  }
  std::fclose(log);
}
