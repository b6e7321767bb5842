// Start-up in process: the command-line fields, the hash size of a request,
// the processor cap and the configuration file.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include "driver/engine.h"
#include "driver/options.h"
#include "driver/startup.h"
#include "search/search.h"

TEST(StartupCommandLine, FourFieldsAreStandAloneFiveAreAChild) {
  const CommandLineFields none = ReadCommandLineFields({});
  EXPECT_FALSE(none.isChild);
  EXPECT_EQ(none.overriddenParentId, 0);
  EXPECT_FALSE(none.processorCapGiven);
  EXPECT_EQ(none.requestedHashMb, 32);

  const CommandLineFields four = ReadCommandLineFields({"9", "3", "64", "5"});
  EXPECT_FALSE(four.isChild);
  EXPECT_EQ(four.overriddenParentId, 9);
  EXPECT_EQ(four.requestedHashMb, 64);

  EXPECT_TRUE(ReadCommandLineFields({"1", "2", "3", "4", "5"}).isChild);
}

TEST(StartupCommandLine, ChildFieldsAsTheParentWritesThem) {
  // parent id, n, hash MB, shared file number, n, child number, exchange owner id
  const CommandLineFields c = ReadCommandLineFields({"4242", "4", "128", "3", "4", "2", "4343"});
  EXPECT_TRUE(c.isChild);
  EXPECT_EQ(c.parentId, 4242);
  EXPECT_EQ(c.requestedHashMb, 128);
  EXPECT_EQ(c.sharedFileNumber, 3);
  EXPECT_EQ(c.processCount, 4);
  EXPECT_EQ(c.childNumber, 2);
  EXPECT_EQ(c.exchangeOwnerId, 4343);
  EXPECT_EQ(c.overriddenParentId, 0);   // a child never overrides
}

TEST(StartupCommandLine, OverridingIdProcessorCapAndHash) {
  const CommandLineFields f = ReadCommandLineFields({"7", "2", "100"});
  EXPECT_FALSE(f.isChild);
  EXPECT_EQ(f.overriddenParentId, 7);
  EXPECT_EQ(ProcessorCountWithCap(8, f), 2);
  EXPECT_EQ(ProcessorCountWithCap(1, f), 1);
  EXPECT_EQ(HashSizeOfRequest(f.requestedHashMb), 64);

  // One field: neither an id nor a cap; two: no hash.
  const CommandLineFields one = ReadCommandLineFields({"7"});
  EXPECT_EQ(one.overriddenParentId, 0);
  EXPECT_EQ(ProcessorCountWithCap(8, one), 8);
  const CommandLineFields two = ReadCommandLineFields({"7", "3"});
  EXPECT_EQ(two.overriddenParentId, 7);
  EXPECT_EQ(two.requestedHashMb, 32);
  EXPECT_EQ(ProcessorCountWithCap(8, two), 3);
}

TEST(StartupCommandLine, TextFieldsReadAsNumbersOrZero) {
  const CommandLineFields f = ReadCommandLineFields({"12abc", "x", "99mb"});
  EXPECT_EQ(f.overriddenParentId, 12);
  EXPECT_EQ(f.requestedHashMb, 99);
  // A cap of 0 still leaves one processor.
  EXPECT_EQ(ProcessorCountWithCap(4, f), 1);
  EXPECT_EQ(ProcessorCountWithCap(0, ReadCommandLineFields({})), 1);
}

TEST(StartupCommandLine, HashSizeIsAPowerOfTwoAtMostTheRequest) {
  EXPECT_EQ(HashSizeOfRequest(100), 64);
  EXPECT_EQ(HashSizeOfRequest(64), 64);
  EXPECT_EQ(HashSizeOfRequest(127), 64);
  EXPECT_EQ(HashSizeOfRequest(2), 2);
  EXPECT_EQ(HashSizeOfRequest(3), 2);
  EXPECT_EQ(HashSizeOfRequest(1), 1);
  EXPECT_EQ(HashSizeOfRequest(0), 1);
  EXPECT_EQ(HashSizeOfRequest(-50), 1);
  EXPECT_EQ(HashSizeOfRequest(2147483647), 1073741824);
}

TEST(StartupLeadingNumber, UsualLeadingNumberRule) {
  EXPECT_EQ(LeadingNumber("  -12x", 0), -12);
  EXPECT_EQ(LeadingNumber("12", 5), 0);   // past the end
  EXPECT_EQ(LeadingNumber("99999999999999999999", 0), 2147483647);
  EXPECT_EQ(LeadingNumber("-99999999999999999999", 0), -2147483647 - 1);
}

TEST(StartupConfig, FirstWordRules) {
  EXPECT_TRUE(ReadConfigWord("randomize").randomizer);
  EXPECT_EQ(ReadConfigWord("randomize").threshold, -1);
  EXPECT_EQ(ReadConfigWord("randomize=20").threshold, 20);
  EXPECT_EQ(ReadConfigWord("RANDOMIZE_7").threshold, 7);
  EXPECT_EQ(ReadConfigWord("randomizeX300").threshold, 300);   // any one separator
  EXPECT_EQ(ReadConfigWord("randomize==5").threshold, -1);     // no digit at index 10
  EXPECT_TRUE(ReadConfigWord("randomizer").randomizer);        // a prefix test
  EXPECT_FALSE(ReadConfigWord("Randomize=20").randomizer);     // mixed case does nothing
  EXPECT_FALSE(ReadConfigWord("hash=64").randomizer);
  EXPECT_FALSE(ReadConfigWord("").randomizer);
}

class StartupConfigFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("tolvo_config_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    DisableRandomizer();
    Search.settings.randomizerThreshold = 8;
  }
  void TearDown() override {
    DisableRandomizer();
    Search.settings.randomizerThreshold = 8;
    std::filesystem::remove_all(dir);
  }
  std::string Write(const std::string& content) {
    const std::string path = (dir / "tolvo.config").string();
    std::ofstream(path) << content;
    return path;
  }
  std::filesystem::path dir;
};

TEST_F(StartupConfigFile, RandomizeWithThresholdCreatesAClearedBitmap) {
  ApplyConfigFile(Write("\n  randomize=20 randomize=30\nmore text"));
  ASSERT_NE(Search.settings.randomizerBitmap, nullptr);
  EXPECT_EQ(Search.settings.randomizerThreshold, 20);
  for (int i = 0; i < 4194304; i += 4099) ASSERT_EQ(Search.settings.randomizerBitmap[i], 0) << i;
}

TEST_F(StartupConfigFile, OtherContentAndAbsentFilesChangeNothing) {
  ApplyConfigFile(Write("Randomize=20"));
  ApplyConfigFile(Write(""));
  ApplyConfigFile((dir / "missing.config").string());
  EXPECT_EQ(Search.settings.randomizerBitmap, nullptr);
  EXPECT_EQ(Search.settings.randomizerThreshold, 8);
}
