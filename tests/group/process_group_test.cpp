// Starting and restarting a group of one process: names, generations, the
// restart message, and fresh table and exchange area every time.
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include <vector>
#include "common/output.h"
#include "group/exchange_area.h"
#include "group/process_group.h"
#include "platform/platform.h"
#include "search/hash_table.h"
#include "tests/support/hash_probe.h"
#include "tests/support/captured_output.h"

namespace {

class ProcessGroupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CapturedLines.clear();
    SetStdoutWriter(CaptureLine);
    log = std::tmpfile();
    Output.textLog = log;
    Output.textLogOpenTick = platform::NowMs();
  }
  void TearDown() override {
    Output.textLog = nullptr;
    std::fclose(log);
    SetStdoutWriter(nullptr);
  }
  std::FILE* log = nullptr;
};
}  // namespace

TEST_F(ProcessGroupTest, FirstStartAndRestart) {
  Group.startCount = 0;   // as before the first start
  const int generation = Group.sharedFileNumber;
  const std::string pid = std::to_string(platform::ProcessId());
  ASSERT_TRUE(StartProcessGroup(2));
  EXPECT_TRUE(CapturedLines.empty());
  EXPECT_EQ(Group.startCount, 1);
  EXPECT_EQ(Group.sharedFileNumber, generation + 1);
  EXPECT_EQ(Group.processCount, 1);
  EXPECT_EQ(Group.hashMb, 2);
  EXPECT_EQ(Hash.entryCount, 2u * 131072);

  // Everything the last generation left behind is gone after a restart.
  StoreExact(0x123456789abcdef0ull, 0, 20, 33);
  Exchange->childState[5] = ChildReady;
  Exchange->root.bestMove0 = 1234;
  Exchange->root.slots[0].currentMove = 99;
  NewSearchGeneration(2);
  ASSERT_TRUE(StartProcessGroup(1));
  EXPECT_EQ(CapturedLines, std::vector<std::string>{"info string Children restarted."});
  EXPECT_EQ(Group.startCount, 2);
  EXPECT_EQ(Group.sharedFileNumber, generation + 2);
  EXPECT_EQ(Group.hashMb, 1);
  EXPECT_EQ(DeepestSlot(0x123456789abcdef0ull), nullptr);
  EXPECT_EQ(HashGeneration(), 0);
  EXPECT_EQ(Exchange->childState[5], 0);
  EXPECT_EQ(Exchange->root.bestMove0, 0u);
  EXPECT_EQ(Exchange->root.slots[0].currentMove, 0u);

  // The table keeps one name for the life of the process; the exchange area
  // carries the generation it was created under.
  const std::string text = ReadAll(log);
  const std::string sync = "       -- shared synchronization file: TolvoSync1" + pid + "\n";
  EXPECT_NE(text.find(sync), std::string::npos);
  EXPECT_NE(text.find(sync, text.find(sync) + 1), std::string::npos);
  EXPECT_NE(text.find("       -- shared exchange file: TolvoEx" + std::to_string(generation) + pid + "\n"),
            std::string::npos);
  EXPECT_NE(text.find("       -- shared exchange file: TolvoEx" + std::to_string(generation + 1) + pid + "\n"),
            std::string::npos);
}

// A process without a shared exchange area (alone, or when one could not be
// made) gets a private one that nothing of an earlier group is left in.
TEST_F(ProcessGroupTest, PrivateExchangeAreaStartsEmptyEachTime) {
  ExchangeArea* area = PrivateExchangeArea();
  area->childState[1] = ChildReady;
  area->root.bestMove0 = 1234;
  area->root.slots[1].currentMove = 99;
  area = PrivateExchangeArea();
  EXPECT_EQ(area->childState[1], 0);
  EXPECT_EQ(area->root.bestMove0, 0u);
  EXPECT_EQ(area->root.slots[1].currentMove, 0u);
}
