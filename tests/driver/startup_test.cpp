// Start-up in process: the command-line fields, the hash size of a request,
// the leading-number rule and the first word of the configuration file.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "driver/options.h"
#include "driver/startup.h"

TEST(StartupCommandLine, FieldsByTheirCount) {
  struct Case {
    std::vector<std::string> args;
    bool child;
    int overriddenParentId, hashMb, processorsOfEight;
  };
  const Case cases[] = {
      {{}, false, 0, 32, 8},
      {{"7"}, false, 0, 32, 8},                  // one field: neither an id nor a cap
      {{"7", "3"}, false, 7, 32, 3},             // two: no hash
      {{"7", "2", "100"}, false, 7, 100, 2},     // another instance's table, at most 2 processors
      {{"9", "3", "64", "5"}, false, 9, 64, 3},  // four fields: still stand-alone
      {{"12abc", "x", "99mb"}, false, 12, 99, 1},   // text reads as a number or 0; a cap of 0 leaves one
      {{"1", "2", "3", "4", "5"}, true, 0, 3, 8},   // five or more: a child, which never overrides
  };
  for (const Case& c : cases) {
    const CommandLineFields f = ReadCommandLineFields(c.args);
    EXPECT_EQ(f.isChild, c.child) << c.args.size();
    EXPECT_EQ(f.overriddenParentId, c.overriddenParentId) << c.args.size();
    EXPECT_EQ(f.requestedHashMb, c.hashMb) << c.args.size();
    if (!c.child) {
      EXPECT_EQ(ProcessorCountWithCap(8, f), c.processorsOfEight) << c.args.size();
    }
  }
  // parent id, n, hash MB, shared file number, n, child number, exchange owner id
  const CommandLineFields c = ReadCommandLineFields({"4242", "4", "128", "3", "4", "2", "4343"});
  EXPECT_EQ(std::vector<int>({c.parentId, c.requestedHashMb, c.sharedFileNumber, c.processCount, c.childNumber,
                              c.exchangeOwnerId}),
            std::vector<int>({4242, 128, 3, 4, 2, 4343}));
  EXPECT_EQ(ProcessorCountWithCap(0, ReadCommandLineFields({})), 1);
}

TEST(StartupCommandLine, HashSizeIsThePowerOfTwoAtMostTheRequest) {
  EXPECT_EQ(HashSizeOfRequest(100), 64);
  EXPECT_EQ(HashSizeOfRequest(0), 1);
  EXPECT_EQ(HashSizeOfRequest(-50), 1);
  for (int mb = 1; mb < 5000; mb += 7) {
    const int size = HashSizeOfRequest(mb);
    EXPECT_TRUE(size > 0 && (size & (size - 1)) == 0 && size <= mb && 2 * size > mb) << mb;
  }
  EXPECT_EQ(HashSizeOfRequest(2147483647), 1073741824);
}

TEST(StartupLeadingNumber, UsualLeadingNumberRule) {
  EXPECT_EQ(LeadingNumber("  -12x", 0), -12);
  EXPECT_EQ(LeadingNumber("12", 5), 0);   // past the end
  EXPECT_EQ(LeadingNumber("99999999999999999999", 0), 2147483647);
  EXPECT_EQ(LeadingNumber("-99999999999999999999", 0), -2147483647 - 1);
}

TEST(StartupConfig, FirstWordRules) {
  struct Case {
    const char* word;
    bool randomizer;
    int threshold;   // -1: keep the current one
  };
  const Case cases[] = {
      {"randomize", true, -1},     {"randomize=20", true, 20},   {"RANDOMIZE_7", true, 7},
      {"randomizeX300", true, 300},   // any one separator
      {"randomize==5", true, -1},     // no digit at index 10
      {"randomizer", true, -1},       // a prefix test
      {"Randomize=20", false, -1},    // mixed case does nothing
      {"hash=64", false, -1},      {"", false, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadConfigWord(c.word).randomizer, c.randomizer) << c.word;
    if (c.randomizer) {
      EXPECT_EQ(ReadConfigWord(c.word).threshold, c.threshold) << c.word;
    }
  }
}
