// tolvo-tbgen's command line: the options it accepts are exactly those its
// --help text and its manual page describe, and the line is read from left
// to right, the lookups taking the rest of it.
#include <gtest/gtest.h>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>
#include "tbgen/command_line.h"
#include "tbgen/usage.h"

namespace {

using tbgen::CommandLine;
using tbgen::ReadCommandLine;

// The option names a text mentions: words of one or two dashes, a letter and
// more letters or dashes, where a word may start.
std::set<std::string> OptionsIn(const std::string& text) {
  std::set<std::string> names;
  auto letter = [](char c) { return c >= 'a' && c <= 'z'; };
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '-' || (i > 0 && std::string(" \t\n[(\",").find(text[i - 1]) == std::string::npos)) continue;
    size_t end = i + (i + 1 < text.size() && text[i + 1] == '-' ? 2 : 1);
    if (end >= text.size() || !letter(text[end])) continue;
    while (end < text.size() && (letter(text[end]) || text[end] == '-')) ++end;
    std::string name = text.substr(i, end - i);
    while (name.back() == '-') name.pop_back();
    names.insert(name);
    i = end;
  }
  return names;
}

std::string ManualPage() {
  std::ifstream in(std::string(TOLVO_SOURCE_DIR) + "/doc/tolvo-tbgen.1");
  std::string page{std::istreambuf_iterator<char>(in), {}};
  // troff writes a dash as "\-".
  for (size_t at; (at = page.find("\\-")) != std::string::npos;) page.replace(at, 2, "-");
  return page;
}

TEST(TbgenCommandLine, HelpAndManualPageNameExactlyTheOptionsAccepted) {
  const std::set<std::string> accepted(tbgen::OptionNames().begin(), tbgen::OptionNames().end());
  const std::string page = ManualPage();
  ASSERT_FALSE(page.empty());
  EXPECT_EQ(OptionsIn(tbgen::UsageText()), accepted);
  EXPECT_EQ(OptionsIn(page), accepted);
  // Each of them is taken as the option it is, never as an unknown one or a table name.
  for (const std::string& name : accepted) {
    const CommandLine line = ReadCommandLine({name, "4"}, 2);
    EXPECT_EQ(line.mistake.find("option"), std::string::npos) << name << ": " << line.mistake;
    EXPECT_TRUE(line.options.tables.empty() || line.options.tables[0] != name) << name;
  }
  EXPECT_EQ(ReadCommandLine({"--bogus"}, 2).mistake, "unknown option --bogus");
  EXPECT_EQ(ReadCommandLine({"-"}, 2).mistake, "unknown option -");
}

TEST(TbgenCommandLine, ReadFromLeftToRight) {
  using Action = CommandLine::Action;
  CommandLine line = ReadCommandLine({"-o", "out", "--threads", "3", "--verify", "--compress", "-q", "kqkr", "krk"}, 2);
  EXPECT_EQ(line.action, Action::Generate);
  EXPECT_EQ(line.options.dir, "out");
  EXPECT_EQ(line.options.threads, 3);
  EXPECT_TRUE(line.options.verify && line.options.compress && line.options.quiet && !line.options.verifyOnly);
  EXPECT_EQ(line.options.tables, (std::vector<std::string>{"kqkr", "krk"}));

  line = ReadCommandLine({"--all", "4", "--verify-only"}, 2);
  EXPECT_EQ(line.options.allMen, 4);
  EXPECT_EQ(line.options.threads, 2);   // the default given
  EXPECT_EQ(line.options.dir, ".");
  EXPECT_TRUE(line.options.verifyOnly);

  // The lookups take everything after them as FENs, options included.
  line = ReadCommandLine({"-o", "out", "--index", "8/8 w", "--threads"}, 2);
  EXPECT_EQ(line.action, Action::Index);
  EXPECT_EQ(line.fens, (std::vector<std::string>{"8/8 w", "--threads"}));
  line = ReadCommandLine({"--probe", "dir"}, 2);
  EXPECT_EQ(line.action, Action::Probe);
  EXPECT_EQ(line.probeDirectory, "dir");
  EXPECT_TRUE(line.fens.empty());

  // The first mistake ends the reading, even before a --help.
  const struct {
    std::vector<std::string> args;
    const char* mistake;
  } wrong[] = {
      {{"--threads", "0", "--help"}, "--threads needs a number of threads (1 or more)"},
      {{"kqkr", "--threads"}, "--threads needs a number of threads (1 or more)"},
      {{"-o"}, "-o needs a directory"},
      {{"--all"}, "--all needs a number of men"},
      {{"--probe"}, "--probe needs a directory"},
  };
  for (const auto& w : wrong) {
    line = ReadCommandLine(w.args, 2);
    EXPECT_EQ(line.action, Action::Mistake) << ::testing::PrintToString(w.args);
    EXPECT_EQ(line.mistake, w.mistake);
  }
  EXPECT_EQ(ReadCommandLine({"kqkr", "-h", "--bogus"}, 2).action, Action::Help);
}

}  // namespace
