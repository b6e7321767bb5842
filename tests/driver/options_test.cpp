// The option handler in process: where each value lands, what the engine
// globals read, and the table changes that wait for a search to end.
#include <gtest/gtest.h>
#include <cctype>
#include <string>
#include <vector>
#include "common/output.h"
#include "driver/engine.h"
#include "driver/options.h"
#include "eval/evaluate.h"
#include "search/hash_table.h"
#include "search/search.h"
#include "tests/support/captured_output.h"

namespace {
std::vector<std::string>& out = CapturedLines;

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(AllocateHashTable(1));
    saved = Options;
    out.clear();
    SetStdoutWriter(CaptureLine);
  }
  void TearDown() override {
    SetStdoutWriter(nullptr);
    Engine.searching = Engine.ponderInfinitePending = false;
    ApplyDeferredOptions();
    Options = saved;
    RookEndgameScaling = 100;
    PreserveAnalysis = false;
    RandomizerThreshold = 8;
    RootSampleReports = RootAllMovesReports = false;
    DisableRandomizer();
    AllocateHashTable(1);
  }
  // The confirmation lines of one option text.
  std::vector<std::string> Set(const std::string& text) {
    out.clear();
    HandleSetOption(text);
    return out;
  }
  EngineOptions saved;
};
using Lines = std::vector<std::string>;
}  // namespace

TEST_F(OptionsTest, MaterialAdjustmentsLandInTheirOwnPlace) {
  static const char* const names[12] = {"White Pawn",         "Black Pawn",         "White Knight",
                                        "Black Knight",       "White King Bishop",  "Black King Bishop",
                                        "White Queen Bishop", "Black Queen Bishop", "White Rook",
                                        "Black Rook",         "White Queen",        "Black Queen"};
  for (int i = 0; i < 12; ++i) {
    const int value = -(i + 1) * 7;
    Lines lines = Set(std::string(names[i]) + " cp value " + std::to_string(value));
    ASSERT_EQ(lines.size(), 1u) << names[i];
    std::string expected = names[i];
    for (size_t k = 1; k < expected.size(); ++k) expected[k] = char(std::tolower(expected[k]));
    EXPECT_EQ(lines[0], "info string " + expected + " adjustment value set to " + std::to_string(value) + " cp");
  }
  for (int i = 0; i < 12; ++i) EXPECT_EQ(Options.materialAdjust[i], -(i + 1) * 7) << i;
  // No clamping.
  Set("black queen cp value 5000");
  EXPECT_EQ(Options.materialAdjust[11], 5000);
}

TEST_F(OptionsTest, RookEndgameScalingReachesTheEvaluation) {
  EXPECT_EQ(Set("Rook Endgame Scaling value 250"), Lines{"info string Rook endgame scaling set to 250 percent."});
  EXPECT_EQ(RookEndgameScaling, 250);
  EXPECT_EQ(Options.rookEndgameScaling, 250);
}

TEST_F(OptionsTest, PreserveAnalysisRebuildsTheReplacementPriorities) {
  NewSearchGeneration(1);
  const int deepOld = 0 * 64 + 30;   // generation 0, stored depth 30
  EXPECT_EQ(Hash.priority[deepOld], 2 * 256 - 30);
  EXPECT_EQ(Set("Preserve Analysis value true"), Lines{"info string Preserve analysis enabled."});
  EXPECT_TRUE(PreserveAnalysis);
  EXPECT_EQ(Hash.priority[deepOld], 256 - 30);
  EXPECT_EQ(HashGeneration(), 1);   // the generation itself stays
  EXPECT_EQ(Set("preserve analysis value false"), Lines{"info string Preserve analysis disabled."});
  EXPECT_EQ(Hash.priority[deepOld], 2 * 256 - 30);
}

TEST_F(OptionsTest, RandomizerBitmapLifecycle) {
  EXPECT_EQ(Set("kvx5_randomizer_threshold value 33"), Lines{"info string Randomizer threshold set to 33"});
  EXPECT_EQ(RandomizerThreshold, 33);
  // Reset without a bitmap only confirms.
  EXPECT_EQ(Set("kvx5_randomizer_reset"), Lines{"info string Randomizer reset invoked."});
  EXPECT_EQ(RandomizerBitmap, nullptr);
  EXPECT_EQ(Set("kvx5_randomizer_mode value true"), Lines{"info string Randomizer mode enabled."});
  ASSERT_NE(RandomizerBitmap, nullptr);
  const uint64_t key = 0x123456789ABCDEFULL;
  SetRandomizerBit(key, true);
  Set("kvx5_randomizer_reset");
  EXPECT_FALSE(RandomizerBit(key));
  SetRandomizerBit(key, true);
  Set("kvx5_randomizer_mode value true");   // enabling again starts afresh
  EXPECT_FALSE(RandomizerBit(key));
  EXPECT_EQ(Set("kvx5_randomizer_mode value false"), Lines{"info string Randomizer mode disabled."});
  EXPECT_EQ(RandomizerBitmap, nullptr);
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
  EXPECT_NE(ProbeDeepest(0xABCDEF0123456789ULL), nullptr);
  EXPECT_EQ(Search.rootMoves[0].move, 1234u);

  // A search that ended by itself still waits for the front end: still nothing.
  Engine.searching = false;
  Engine.ponderInfinitePending = true;
  out.clear();
  ApplyDeferredOptions();
  EXPECT_EQ(Hash.entryCount, 131072u);
  EXPECT_EQ(Search.rootMoves[0].move, 1234u);

  Engine.ponderInfinitePending = false;
  ApplyDeferredOptions();
  // One restart for both sizes, with the later one; then the clear.
  EXPECT_EQ(Hash.entryCount, 2u * 131072);
  EXPECT_EQ(Options.hashMb, 2);
  EXPECT_LE(out.size(), 1u);   // at most the restart notice, once
  EXPECT_EQ(Search.rootMoves[0].move, 0u);
  StoreExact(0xABCDEF0123456789ULL, 0, 40, 17);
  out.clear();
  ApplyDeferredOptions();   // nothing left to do
  EXPECT_TRUE(out.empty());
  EXPECT_NE(ProbeDeepest(0xABCDEF0123456789ULL), nullptr);
}

TEST_F(OptionsTest, DialectsSwitchOnTheirRootNarration) {
  DispatchCommand("kvx5");
  EXPECT_TRUE(RootSampleReports);
  EXPECT_FALSE(RootAllMovesReports);
  EXPECT_TRUE(Engine.kvx5);
  DispatchCommand("HQZ5");
  EXPECT_TRUE(RootAllMovesReports);
  EXPECT_TRUE(Engine.hqz5);
  Engine.kvx5 = Engine.hqz5 = false;
}
