// The option table beyond the confirmations (those are checked through the
// binary): Preserve Analysis rebuilds the replacement priorities at once, and
// the README and the manual page keep to the table.
#include <gtest/gtest.h>
#include <fstream>
#include <sstream>
#include <string>
#include "common/output.h"
#include "driver/option_table.h"
#include "driver/options.h"
#include "eval/evaluate.h"
#include "driver/engine.h"
#include "group/hash_memory.h"
#include "search/hash_table.h"

TEST(Options, PreserveAnalysisRebuildsTheReplacementPriorities) {
  ASSERT_TRUE(AllocateHashTable(1));
  SetStdoutWriter([](std::string_view) {});
  NewSearchGeneration(1);
  const int deepOld = 3 * 64 + 30, shallowNew = 1 * 64 + 4;   // generation << 6 | stored depth
  EXPECT_GT(Hash.priority[deepOld], Hash.priority[shallowNew]);   // the old entry goes first
  HandleSetOption("Preserve Analysis value true");
  EXPECT_LT(Hash.priority[deepOld], Hash.priority[shallowNew]);   // now it stays
  EXPECT_EQ(HashGeneration(), 1);
  HandleSetOption("preserve analysis value false");
  EXPECT_GT(Hash.priority[deepOld], Hash.priority[shallowNew]);
  SetStdoutWriter(nullptr);
}

// The README's option table and the manual page list every option of the
// option table with its range and default.
TEST(Options, ReadmeAndManualPageFollowTheOptionTable) {
  auto read = [](const char* name) {
    std::ifstream in(std::string(TOLVO_SOURCE_DIR) + "/" + name);
    EXPECT_TRUE(in) << name << " not found";
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  };
  const std::string readme = read("README.md"), manual = read("doc/tolvo.6");
  int rows = 0;
  for (const OptionRow& row : OptionRows()) {
    std::string range, initial;
    switch (row.kind) {
      case OptionKind::Spin:
        range = std::to_string(row.min) + "–" + std::to_string(row.max);
        initial = std::to_string(row.defaultValue);
        break;
      case OptionKind::Combo:
        for (const OptionChoice& c : row.choices) {
          range += (range.empty() ? "" : ", ") + std::string(c.name);
          if (c.value == row.defaultValue) initial = c.name;
        }
        break;
      case OptionKind::Check: range = "check", initial = row.defaultValue ? "true" : "false"; break;
      case OptionKind::Button: range = "button"; break;
      case OptionKind::Text:
        range = "text";
        initial = row.defaultText && std::string(row.defaultText) == EngineAboutAddress ? "the project's web address" : "`<empty>`";
        break;
    }
    const std::string line = "| " + std::string(row.name) + " | " + range + " | " + initial + " |";
    EXPECT_NE(readme.find(line), std::string::npos) << "README lacks the row starting " << line;
    EXPECT_NE(manual.find(".B " + std::string(row.name) + "\n"), std::string::npos) << "manual page lacks " << row.name;
    ++rows;
  }
  EXPECT_GT(rows, 40);
}

// What children hear at every start of the group: the settings that change
// what they search or store, in a fixed order, whatever order they were set in.
TEST(Options, ChildrenHearEverySettingThatChangesTheirSearch) {
  SetStdoutWriter([](std::string_view) {});
  const EngineOptions saved = Options;
  const int multiPv = Search.settings.multiPv, scaling = RookEndgameScaling;
  EXPECT_TRUE(ChildSettingsLines().empty());
  HandleSetOption("rook endgame scaling value 90");
  HandleSetOption("black queen cp value -5");
  HandleSetOption("White Pawn cp value 10");
  HandleSetOption("MultiPV value 3");
  EXPECT_EQ(ChildSettingsLines(), (std::vector<std::string>{"setoption name MultiPV value 3",
                                                             "setoption name White Pawn cp value 10",
                                                             "setoption name Black Queen cp value -5",
                                                             "setoption name Rook Endgame Scaling value 90"}));
  HandleSetOption("NalimovUsage value Frequently");
  EXPECT_EQ(ChildSettingsLines()[1], "setoption name NalimovUsage value Frequently");
  HandleSetOption("NalimovUsage value Rarely");
  // Chess960 mode, so that children read the positions as their parent does.
  HandleSetOption("UCI_Chess960 value true");
  EXPECT_EQ(ChildSettingsLines().back(), "setoption name UCI_Chess960 value true");
  HandleSetOption("UCI_Chess960 value false");
  Options = saved;
  Search.settings.multiPv = multiPv;
  RookEndgameScaling = scaling;
  SetStdoutWriter(nullptr);
}
