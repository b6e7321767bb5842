// Every option through the binary: numbers held to their ranges, and the
// confirmation a front end reads for every row (the option table's own text
// where the row confirms the usual way).
#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>
#include "driver/option_table.h"
#include "platform/platform.h"
#include "tests/support/engine_process.h"

namespace {
using Lines = std::vector<std::string>;

struct Row {
  const char* text;        // after "setoption name "
  Lines confirmation;      // "info string " is added
  bool rebuildsTable = false;   // restart messages may come first
};

// The number `n` stands in one of the lines as a whole number.
bool HasNumber(const Lines& lines, int n) {
  const std::string text = std::to_string(n);
  for (const std::string& l : lines)
    for (size_t at = l.find(text); at != std::string::npos; at = l.find(text, at + 1)) {
      const size_t end = at + text.size();
      if ((at == 0 || (!std::isdigit(static_cast<unsigned char>(l[at - 1])) && l[at - 1] != '-')) &&
          (end == l.size() || !std::isdigit(static_cast<unsigned char>(l[end]))))
        return true;
    }
  return false;
}

struct SpinRange {
  std::string name;
  int low, high;
};
}  // namespace

// Every number option, announced ("uci", "kvx5") or not, holds a value
// beyond its range at the nearest end, as its confirmation shows.
TEST(OptionsProtocol, NumbersKeepToTheirRanges) {
  EngineProcess e;
  e.Send("kvx5");
  Lines announced = e.ReadUntil("kvx5ok");
  e.Send("uci");
  for (const std::string& l : e.ReadUntil("uciok")) announced.push_back(l);
  // Hidden options keep to the ranges of the option table.
  std::vector<SpinRange> spins;
  int spinRows = 0;
  for (const OptionRow& row : OptionRows()) {
    spinRows += row.kind == OptionKind::Spin && std::string(row.name) != "Hash";
    if (row.kind == OptionKind::Spin && row.shown == OptionShown::Hidden)
      spins.push_back({row.name, row.min, row.max});
  }
  for (const std::string& l : announced) {
    const size_t type = l.find(" type spin ");
    if (l.rfind("option name ", 0) != 0 || type == std::string::npos) continue;
    std::stringstream words(l.substr(type + 11));
    SpinRange r{l.substr(12, type - 12), 0, 0};
    for (std::string key, value; words >> key >> value;) {
      if (key == "min") r.low = std::stoi(value);
      if (key == "max") r.high = std::stoi(value);
    }
    // The largest hash table is left out; its rounding has rows of its own.
    if (r.name != "Hash") spins.push_back(r);
  }
  EXPECT_EQ(int(spins.size()), spinRows);   // every other one announced by "uci" or "kvx5"
  for (const SpinRange& r : spins) {
    const std::pair<std::string, int> cases[] = {
        {"99999999999", r.high}, {std::to_string(r.high + 1), r.high}, {std::to_string(r.low - 1), r.low}, {"-99999999999", r.low}};
    for (const auto& [value, end] : cases) {
      const Lines answer = Answer(e, "setoption name " + r.name + " value " + value);
      EXPECT_TRUE(HasNumber(answer, end)) << r.name << " value " << value << ": " << (answer.empty() ? "" : answer.back());
    }
  }
  e.Quit();
}

TEST(OptionsProtocol, EveryRowConfirmsAsWritten) {
  const std::vector<Row> rows = {
      {"UCI_Query", {"slave mode supported", "uci3 supported", "kvx5 supported", "hqz5 supported", "queryok"}},
      {"Hash value 100", {"Hash size set to 64 mb"}, true}, {"HASH VALUE 3", {"Hash size set to 2 mb"}, true},
      {"Hash value 0", {"Hash size set to 1 mb"}, true}, {"Log value true", {}}, {"xLog value true", {}},
      {"Max CPUs value 0", {"Max CPUs set to 1"}, true},
      {"Use Large Pages value true", {"Use large pages enabled."}, true},
      {"Use Large Pages value true", {"Use large pages enabled (no change)."}},
      {"Use Large Pages value false", {"Use large pages disabled."}, true},
      {"Use Large Pages value false", {"Use large pages disabled (no change)."}},
      {"Log value false", {}},
      {"kvx5_randomizer_mode value true", {"Randomizer mode enabled."}},
      {"kvx5_randomizer_reset", {"Randomizer reset invoked."}},
      {"kvx5_randomizer_mode value false", {"Randomizer mode disabled."}},
      {"Clear Hash", {"Hash clear invoked."}}, {"Save Hash", {"Save hash invoked but failed - file not set."}},
      {"Load Hash", {"Load hash invoked but failed - file not set."}},
      // The rest of the line, without the CR of a CR LF line end.
      {"Hash File value ./game.thf\r", {"Hash file set to ./game.thf"}},
      {"Save Hash", {"Save hash invoked and succeeded - 1 mb saved to ./game.thf."}},
      {"Load Hash", {"Load hash invoked and succeeded - 1 mb loaded from ./game.thf."}, true},
      {"MultiPV value 0", {"Displaying 1 variations."}},
      {"MultiPV value", {"Displaying 1 variations."}},   // no number reads as 0
      {"UCI_Elo value none", {"Elo set to 1200, currently ignored"}},
      {"UCI_Elo value 1800", {"Elo set to 1800, currently ignored"}},
      {"UCI_LimitStrength value true", {"Limited strength mode enabled, will play at 1800 Elo."}},
      {"UCI_Elo value 2000", {"Elo set to 2000, currently in use"}},
      {"UCI_LimitStrength value false", {"Limited strength mode disabled."}},
      // Matches no keyword, a check neither true nor false, a choice not offered: no answer.
      {"Contempt Analyze value 5", {}}, {"Display Upperbounds value maybe", {}}, {"NalimovUsage value Sometimes", {}},
      {"xLog value false", {}},
  };
  ScratchDirectory dir;
  EngineProcess e({}, TOLVO_BINARY, dir.Text());
  ASSERT_TRUE(e.Started());
  for (const Row& row : rows) {
    Lines got = Answer(e, std::string("setoption name ") + row.text);
    Lines want;
    for (const std::string& c : row.confirmation) want.push_back("info string " + c);
    if (row.rebuildsTable) {
      // The rebuilt table may report itself too ("Children restarted.", large pages).
      Lines own;
      for (const std::string& l : got) {
        EXPECT_EQ(l.rfind("info string ", 0), 0u) << row.text << ": " << l;
        if (std::find(want.begin(), want.end(), l) != want.end()) own.push_back(l);
      }
      got = own;
    }
    EXPECT_EQ(got, want) << row.text;
  }
  // The rows that store their value and confirm it the usual way answer with
  // their own text: a number inside the range, both states of a switch
  // (some switch silently), every choice, a text with blanks.
  int usualRows = 0;
  for (const OptionRow& row : OptionRows()) {
    if (row.handle || row.kind == OptionKind::Button) continue;
    auto filled = [](const char* text, const std::string& value) {
      std::string line = text ? std::string("info string ") + text : "";
      if (const size_t at = line.find('%'); at != std::string::npos) line.replace(at, 2, value);
      return line.empty() ? Lines{} : Lines{line};
    };
    std::vector<std::pair<std::string, Lines>> values;
    const std::string number = std::to_string(row.min + 1), text = "/opt/tb one;/opt/tb2";
    if (row.kind == OptionKind::Spin) values = {{number, filled(row.confirmation, number)}};
    if (row.kind == OptionKind::Text) values = {{text, filled(row.confirmation, text)}};
    if (row.kind == OptionKind::Check)
      values = {{"true", filled(row.confirmation, "")}, {"false", filled(row.confirmationOff, "")}};
    for (const OptionChoice& c : row.choices) values.push_back({c.name, filled(c.confirmation, "")});
    for (const auto& [value, want] : values)
      EXPECT_EQ(Answer(e, "setoption name " + std::string(row.name) + " value " + value), want) << value;
    ++usualRows;
  }
  EXPECT_GE(usualRows, 30);
  e.Quit();
  // The log rows opened both logs in the working directory.
  int textLogs = 0, htmlLogs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    const std::string name = entry.path().filename().string();
    textLogs += name.rfind("uci.", 0) == 0;
    htmlLogs += name.rfind("log.", 0) == 0;
  }
  EXPECT_EQ(textLogs, 1);
  EXPECT_EQ(htmlLogs, 1);
}

TEST(OptionsProtocol, AnOverridingIdLeavesTheTableToItsOwner) {
  // Fields 7 2 100: another instance's table (id 7), at most 2 processors.
  EngineProcess e({"7", "2", "100"});
  e.Send("uci");
  const Lines uci = e.ReadUntil("uciok");
  for (const std::string& l : uci) {
    EXPECT_EQ(l.rfind("option name Hash type", 0), std::string::npos);
    EXPECT_EQ(l.rfind("option name Max CPUs", 0), std::string::npos);
  }
  EXPECT_NE(std::find(uci.begin(), uci.end(), "option name Log type check default false"), uci.end());
  EXPECT_TRUE(Answer(e, "setoption name Hash value 16").empty());
  EXPECT_TRUE(Answer(e, "setoption name Max CPUs value 1").empty());
  e.Quit();
}
