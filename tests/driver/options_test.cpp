// The option table in process: every announced row stands in the README,
// values land where the engine reads them and keep to their ranges, and
// the table changes wait for a search to end.
#include <gtest/gtest.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "common/output.h"
#include "driver/engine.h"
#include "driver/option_table.h"
#include "driver/options.h"
#include "eval/evaluate.h"
#include "group/hash_memory.h"
#include "group/process_group.h"
#include "search/hash_table.h"
#include "tests/support/hash_probe.h"
#include "search/search.h"
#include "tests/support/captured_output.h"

namespace {
std::vector<std::string>& out = CapturedLines;
using Lines = std::vector<std::string>;

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(AllocateHashTable(1));
    savedOptions = Options;
    savedSettings = Search.settings;
    out.clear();
    SetStdoutWriter(CaptureLine);
  }
  void TearDown() override {
    SetStdoutWriter(nullptr);
    Engine.searching = Search.limits.ponderOrInfinite = false;
    ApplyDeferredOptions();
    DisableRandomizer();
    Options = savedOptions;
    Search.settings = savedSettings;
    RookEndgameScaling = 100;
    PreserveAnalysis = false;
    Engine.kvx5 = Engine.hqz5 = false;
    Group.hashMb = 1;
    AllocateHashTable(1);
  }
  // The confirmation lines of one option text.
  Lines Set(const std::string& text) {
    out.clear();
    HandleSetOption(text);
    return out;
  }
  EngineOptions savedOptions;
  SearchSettings savedSettings;
};

std::string Range(const OptionRow& row) {
  switch (row.kind) {
    case OptionKind::Spin: return std::to_string(row.min) + "–" + std::to_string(row.max);
    case OptionKind::Combo: {
      std::string names;
      for (const OptionChoice& c : row.choices) names += (names.empty() ? "" : ", ") + std::string(c.name);
      return names;
    }
    case OptionKind::Check: return "check";
    case OptionKind::Button: return "button";
    case OptionKind::Text: return "text";
  }
  return "";
}
std::string Default(const OptionRow& row) {
  switch (row.kind) {
    case OptionKind::Spin: return std::to_string(row.defaultValue);
    case OptionKind::Check: return row.defaultValue ? "true" : "false";
    case OptionKind::Combo:
      for (const OptionChoice& c : row.choices)
        if (c.value == row.defaultValue) return c.name;
      return "";
    case OptionKind::Text: return row.defaultText == EngineAboutAddress ? "the project's web address" : "`<empty>`";
    case OptionKind::Button: return "";
  }
  return "";
}
}  // namespace

TEST(OptionTable, ReadmeListsEveryOptionWithItsRangeAndDefault) {
  std::ifstream in(std::string(TOLVO_TEST_DATA_DIR) + "/../../README.md");
  ASSERT_TRUE(in) << "README.md not found";
  std::stringstream text;
  text << in.rdbuf();
  for (const OptionRow& row : OptionRows()) {
    const std::string expected = "| " + std::string(row.name) + " | " + Range(row) + " | " + Default(row) + " |";
    EXPECT_NE(text.str().find(expected), std::string::npos) << "README lacks the row starting " << expected;
  }
}

TEST_F(OptionsTest, NumbersKeepToTheirRanges) {
  // Far beyond the range (and beyond int) every spin option holds its end.
  for (const OptionRow& row : OptionRows()) {
    if (row.kind != OptionKind::Spin || row.handle) continue;
    const std::string keyword = OptionKeyword(row);
    Set(keyword + " value 99999999999999999999");
    EXPECT_EQ(*row.number, row.max) << row.name;
    Set(keyword + " value -2147483649");
    EXPECT_EQ(*row.number, row.min) << row.name;
  }
  EXPECT_EQ(Set("white pawn cp value 2147483648"), Lines{"info string White pawn adjustment value set to 1000 cp"});
  EXPECT_EQ(Set("UCI_Elo value 9999"), Lines{"info string Elo set to 2400, currently ignored"});
  EXPECT_EQ(Set("MultiPV value 0"), Lines{"info string Displaying 1 variations."});
  EXPECT_EQ(Set("Rook Endgame Scaling value 250"), Lines{"info string Rook endgame scaling set to 250 percent."});
  EXPECT_EQ(RookEndgameScaling, 250);
}

TEST_F(OptionsTest, ChecksAndChoicesLandWhereTheyAreRead) {
  EXPECT_EQ(Set("always score main move value true"), Lines{"info string Always score main move enabled."});
  EXPECT_TRUE(Search.settings.alwaysScoreMainMove);
  EXPECT_EQ(Set("NalimovUsage value Never"), Lines{"info string Nalimov usage set to never"});
  EXPECT_EQ(Options.tablebaseUsage, 120);
  EXPECT_EQ(Set("Child Process Priority value Low"), Lines{"info string Child process priority set to low."});
  EXPECT_EQ(Group.childPriority, 2);
  // A check without true or false, a choice that is not offered: nothing.
  EXPECT_TRUE(Set("Display Upperbounds value maybe").empty());
  EXPECT_TRUE(Set("NalimovUsage value Sometimes").empty());
  EXPECT_TRUE(Set("Contempt Analyze value 20").empty());
  EXPECT_EQ(Set("Hash File value  my table.thf\r"), Lines{"info string Hash file set to  my table.thf"});
}

TEST_F(OptionsTest, PreserveAnalysisRebuildsTheReplacementPriorities) {
  NewSearchGeneration(1);
  const int deepOld = 0 * 64 + 30;   // generation 0, stored depth 30
  EXPECT_EQ(Hash.priority[deepOld], 2 * 256 - 30);
  EXPECT_EQ(Set("Preserve Analysis value true"), Lines{"info string Preserve analysis enabled."});
  EXPECT_EQ(Hash.priority[deepOld], 256 - 30);
  EXPECT_EQ(HashGeneration(), 1);   // the generation itself stays
  Set("preserve analysis value false");
  EXPECT_EQ(Hash.priority[deepOld], 2 * 256 - 30);
}

TEST_F(OptionsTest, RandomizerBitmapLifecycle) {
  EXPECT_EQ(Set("kvx5_randomizer_threshold value 33"), Lines{"info string Randomizer threshold set to 33"});
  EXPECT_EQ(Search.settings.randomizerThreshold, 33);
  // Reset without a bitmap only confirms.
  EXPECT_EQ(Set("kvx5_randomizer_reset"), Lines{"info string Randomizer reset invoked."});
  EXPECT_EQ(Search.settings.randomizerBitmap, nullptr);
  EXPECT_EQ(Set("kvx5_randomizer_mode value true"), Lines{"info string Randomizer mode enabled."});
  ASSERT_NE(Search.settings.randomizerBitmap, nullptr);
  const uint64_t key = 0x123456789ABCDEFULL;
  SetRandomizerBit(Search.settings, key, true);
  Set("kvx5_randomizer_reset");
  EXPECT_FALSE(RandomizerBit(Search.settings, key));
  SetRandomizerBit(Search.settings, key, true);
  Set("kvx5_randomizer_mode value true");   // enabling again starts afresh
  EXPECT_FALSE(RandomizerBit(Search.settings, key));
  EXPECT_EQ(Set("kvx5_randomizer_mode value false"), Lines{"info string Randomizer mode disabled."});
  EXPECT_EQ(Search.settings.randomizerBitmap, nullptr);
}

TEST_F(OptionsTest, TableWorkDuringASearchWaitsForItsEnd) {
  Engine.searching = true;
  // Confirmed at once; the table of the running search stays in place.
  EXPECT_EQ(Set("Hash value 4"), Lines{"info string Hash size set to 4 mb"});
  HashEntry* const table = Hash.entries;
  EXPECT_EQ(Hash.entryCount, 131072u);
  Set("Hash value 2");
  StoreExact(0xABCDEF0123456789ULL, 0, 40, 17);
  Search.rootMoves[0].move = 1234;
  EXPECT_EQ(Set("Clear Hash"), Lines{"info string Hash clear invoked."});
  EXPECT_EQ(Hash.entries, table);
  EXPECT_NE(DeepestSlot(0xABCDEF0123456789ULL), nullptr);
  EXPECT_EQ(Search.rootMoves[0].move, 1234u);

  // A search that ended by itself still waits for the front end: still nothing.
  Engine.searching = false;
  Search.limits.ponderOrInfinite = true;
  out.clear();
  ApplyDeferredOptions();
  EXPECT_EQ(Hash.entryCount, 131072u);
  EXPECT_EQ(Search.rootMoves[0].move, 1234u);

  Search.limits.ponderOrInfinite = false;
  ApplyDeferredOptions();
  // One restart for both sizes, with the later one; then the clear.
  EXPECT_EQ(Hash.entryCount, 2u * 131072);
  EXPECT_EQ(Group.hashMb, 2);
  EXPECT_LE(out.size(), 1u);   // at most the restart notice, once
  EXPECT_EQ(Search.rootMoves[0].move, 0u);
  StoreExact(0xABCDEF0123456789ULL, 0, 40, 17);
  out.clear();
  ApplyDeferredOptions();   // nothing left to do
  EXPECT_TRUE(out.empty());
  EXPECT_NE(DeepestSlot(0xABCDEF0123456789ULL), nullptr);
}

TEST_F(OptionsTest, DialectsSwitchOnTheirRootNarration) {
  DispatchCommand("kvx5");
  EXPECT_TRUE(Search.settings.sampleReports);
  EXPECT_FALSE(Search.settings.allMovesReports);
  DispatchCommand("HQZ5");
  EXPECT_TRUE(Search.settings.allMovesReports);
  EXPECT_TRUE(Engine.hqz5);
}
