// Options whose effect lies beyond their confirmation: the replacement
// priorities of the table and the randomizer's map of played positions.
#include <gtest/gtest.h>
#include <string>
#include "common/output.h"
#include "driver/engine.h"
#include "driver/options.h"
#include "group/hash_memory.h"
#include "search/hash_table.h"
#include "search/search.h"

namespace {
class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(AllocateHashTable(1));
    savedSettings = Search.settings;
    SetStdoutWriter([](std::string_view) {});
  }
  void TearDown() override {
    SetStdoutWriter(nullptr);
    DisableRandomizer();
    Search.settings = savedSettings;
    PreserveAnalysis = false;
    NewSearchGeneration(0);
  }
  SearchSettings savedSettings;
};
}  // namespace

TEST_F(OptionsTest, PreserveAnalysisRebuildsTheReplacementPriorities) {
  NewSearchGeneration(1);
  const int deepOld = 3 * 64 + 30, shallowNew = 1 * 64 + 4;   // generation << 6 | stored depth
  EXPECT_GT(Hash.priority[deepOld], Hash.priority[shallowNew]);   // the old entry goes first
  HandleSetOption("Preserve Analysis value true");
  EXPECT_LT(Hash.priority[deepOld], Hash.priority[shallowNew]);   // now it stays
  EXPECT_EQ(HashGeneration(), 1);
  HandleSetOption("preserve analysis value false");
  EXPECT_GT(Hash.priority[deepOld], Hash.priority[shallowNew]);
}

TEST_F(OptionsTest, RandomizerBitmapLifecycle) {
  HandleSetOption("kvx5_randomizer_threshold value 33");
  EXPECT_EQ(Search.settings.randomizerThreshold, 33);
  HandleSetOption("kvx5_randomizer_reset");   // without a map: nothing to forget
  EXPECT_EQ(Search.settings.randomizerBitmap, nullptr);
  HandleSetOption("kvx5_randomizer_mode value true");
  ASSERT_NE(Search.settings.randomizerBitmap, nullptr);
  const uint64_t key = 0x123456789ABCDEFULL;
  SetRandomizerBit(Search.settings, key, true);
  HandleSetOption("kvx5_randomizer_reset");
  EXPECT_FALSE(RandomizerBit(Search.settings, key));
  SetRandomizerBit(Search.settings, key, true);
  HandleSetOption("kvx5_randomizer_mode value true");   // enabling again starts afresh
  EXPECT_FALSE(RandomizerBit(Search.settings, key));
  HandleSetOption("kvx5_randomizer_mode value false");
  EXPECT_EQ(Search.settings.randomizerBitmap, nullptr);
}
