// The text and HTML logs: names, head and end, the settings summary, the position
// diagram and the rules of the HTML result lines. Each test writes into a
// directory of its own.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "board/notation.h"
#include "common/output.h"
#include "driver/engine.h"
#include "driver/logs.h"
#include "driver/options.h"
#include "group/hash_memory.h"
#include "group/process_group.h"
#include "platform/platform.h"
#include "search/search.h"
#include "tests/support/engine_process.h"
#include "tests/support/test_data.h"

namespace fs = std::filesystem;

namespace {
std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream s(text);
  for (std::string line; std::getline(s, line);) lines.push_back(line);
  return lines;
}
bool StartsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

RootMove Line(int plies, int score, uint64_t time, const std::string& pv, const Position& root) {
  RootMove rm;
  rm.depth = DepthUnitsOfPlies(plies);
  rm.score = score;
  rm.time = time;
  rm.pv = pv;
  rm.move = FindLegalMove(root, pv.substr(0, 4).c_str());
  return rm;
}
// The cells of a result line.
std::string Depth(const std::string& d) { return "<font style=\"width:35px\">" + d + "</font>"; }
std::string Wide(const std::string& s) { return "<font style=\"width:76px\">" + s + "</font>"; }
std::string Number(int n) { return "<font style=\"width:40px\">" + std::to_string(n) + ".</font>"; }
std::string MoveCell(const std::string& m) { return "<font style=\"width:66px\">" + m + "</font>"; }

class Logs : public testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    fs::current_path(dir_);
    Options = EngineOptions{};
    Engine.uci3 = Engine.kvx5 = Engine.hqz5 = false;
    Search.settings.slaveMode = 0;
    ResetToStartPosition();
    date_ = LogDateText();
  }
  void TearDown() override {
    CloseLogs();
    Output.isChild = false;
    Group.hashMb = hashMb_;
    Options = EngineOptions{};
    ResetToStartPosition();
    UseLargePages = false;
    fs::current_path(previous_);
  }
  std::string HtmlText() { return ReadFile(dir_ / ("log." + date_ + ".1.html")); }
  std::string TextLog() { return ReadFile(dir_ / ("uci." + date_ + ".1.txt")); }

  const ScratchDirectory scratch_;
  const fs::path& dir_ = scratch_.Path();
  fs::path previous_;
  std::string date_;
  const int hashMb_ = Group.hashMb;
  const Position start_ = FromFen(StartFen);
  const Position afterE4_ = FromFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -");
};
}  // namespace

TEST_F(Logs, NamesTakeTheFirstFreeNumber) {
  ASSERT_EQ(date_.size(), 6u);   // "Mar_07"
  std::ofstream(dir_ / ("uci." + date_ + ".1.txt")) << "x";
  std::ofstream(dir_ / ("uci." + date_ + ".2.txt")) << "x";
  OpenTextLog();
  OpenTextLog();   // already open: no second file
  CloseLogs();
  EXPECT_EQ(Output.textLog, nullptr);
  EXPECT_TRUE(fs::exists(dir_ / ("uci." + date_ + ".3.txt")));
  EXPECT_FALSE(fs::exists(dir_ / ("uci." + date_ + ".4.txt")));
  EXPECT_EQ(ReadFile(dir_ / ("uci." + date_ + ".2.txt")), "x");

  Output.isChild = true;
  OpenTextLog();
  CloseLogs();
  EXPECT_TRUE(fs::exists(dir_ / ("uci_child." + date_ + ".1." + std::to_string(platform::ProcessId()) + ".txt")));

  OpenHtmlLog();
  OpenHtmlLog();
  EXPECT_TRUE(HtmlLogOpen());
  CloseLogs();
  EXPECT_FALSE(HtmlLogOpen());
  OpenHtmlLog();
  CloseLogs();
  EXPECT_TRUE(StartsWith(HtmlText(), "<HTML><HEAD><TITLE>Tolvo" + HtmlTitleSuffix(platform::CommandLine()) + ", "));
  EXPECT_EQ(HtmlText().substr(HtmlText().size() - 16), "\n</BODY></HTML>\n");
  EXPECT_TRUE(fs::exists(dir_ / ("log." + date_ + ".2.html")));
  EXPECT_FALSE(fs::exists(dir_ / ("log." + date_ + ".3.html")));
}

TEST_F(Logs, SettingsSummaryListsChangedSettingsInOrder) {
  EXPECT_EQ(SettingsSummary(), std::vector<std::string>{"    Large pages not used - user choice."});
  Engine.uci3 = Engine.hqz5 = true;
  Options.ponder = true;
  Search.settings.tablebaseUsage = 10;
  Options.mainPriority = 2;
  Group.childPriority = 0;
  Search.settings.multiPv = 3;
  Search.settings.slaveMode = 2;
  Options.tcHardBuffer = 300;
  Options.materialAdjust[2] = 15;    // White Knight
  Options.materialAdjust[11] = -20;  // Black Queen
  UseLargePages = true;
  Engine.savedPositionText = "position startpos moves e2e4";
  const std::vector<std::string> expected = {
      "     uci3 has been invoked.",           "     hqz5 has been invoked.",
      "     ponder mode has been enabled.",    "     Nalimov usage set to normally",
      "    Main Process Priority set to Low",  "    Child Process Priority set to Normal",
      "     Multipv set to 3 variations",      "     Slave mode set to 2",
      "    TC Hard Buffer set to 300",         "White Knight adjustment set to 15 cp",
      "Black Queen adjustment set to -20 cp", "    Use Large Pages set to true",
      "    Large pages not used - user choice.", "     Position set to position startpos moves e2e4"};
  EXPECT_EQ(SettingsSummary(), expected);
  Engine.savedPositionText = "fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 moves e2e4";
  EXPECT_EQ(SettingsSummary().back(), "    Large pages not used - user choice.");
}

TEST_F(Logs, PositionDiagramAfterEachPositionCommand) {
  OpenTextLog();
  const long headEnd = std::ftell(Output.textLog);
  HandlePositionCommand("position startpos moves e2e4 e7e5\r ");
  HandlePositionCommand("position startpos moves e2e4");
  HandlePositionCommand("position startpos");
  CloseLogs();
  const std::string text = TextLog().substr(size_t(headEnd));
  const std::string afterE5 =
      "\n              1. .. e7e5       rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -\n"
      "\n                r n b q k b n r \n                p p p p . p p p "
      "\n                . . . . . . . . \n                . . . . p . . . "
      "\n                . . . . P . . . \n                . . . . . . . . "
      "\n                P P P P . P P P \n                R N B Q K B N R \n\n";
  ASSERT_EQ(text.substr(0, afterE5.size()), afterE5);
  const std::string rest = text.substr(afterE5.size());
  EXPECT_TRUE(StartsWith(rest, "\n              1. e2e4       rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -\n"));
  EXPECT_NE(rest.find("\n                             ( rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - )\n"),
            std::string::npos);
}

TEST_F(Logs, HtmlTitleSuffixFromTheCommandLine) {
  EXPECT_EQ(HtmlTitleSuffix("/usr/local/bin/TOLVO"), "");
  EXPECT_EQ(HtmlTitleSuffix("/opt/engines/engine"), " engine");
  EXPECT_EQ(HtmlTitleSuffix("C:\\engines\\Blue Tolvo 2.exe"), " 2");
  EXPECT_EQ(HtmlTitleSuffix("/usr/bin/tolvo-dev 1 2"), " -dev12");
  // A dotted directory does not end the name.
  EXPECT_EQ(HtmlTitleSuffix("/home/me/.local/bin/tolvo"), "");
}

TEST_F(Logs, HtmlVariationInFigurines) {
  EXPECT_EQ(HtmlVariationText(start_, "e2e4 e7e5 g1f3", 1), Number(1) + MoveCell("e4") + MoveCell("e5") + Number(2) + MoveCell("kf3"));
  EXPECT_EQ(HtmlVariationText(afterE4_, "d7d5 e4d5", 1), Number(1) + MoveCell("...") + MoveCell("d5") + Number(2) + MoveCell("ixd5"));
  // The text ends at a move that does not fit the position.
  EXPECT_EQ(HtmlVariationText(start_, "e2e4 e2e4", 7), Number(7) + MoveCell("e4"));
}

TEST_F(Logs, HtmlLinesWithinTwoHundredMsWaitOrDrop) {
  OpenHtmlLog();
  const size_t head = HtmlText().size();
  WriteHtmlPvLine(Line(5, 20, 150, "g1f3", start_), start_);
  WriteHtmlPvLine(Line(5, 31, 180, "e2e4", start_), start_);
  EXPECT_EQ(HtmlText().size(), head);   // both still wait
  WriteHtmlPvLine(Line(6, -5, 2500, "d2d4", start_), start_);
  // The 150 ms line never reaches the file; the dropped line's depth is shown by the next one.
  const std::string written = HtmlText().substr(head);
  EXPECT_EQ(written, Depth("5") + Wide("+0.31") + Wide("0:00") + Number(1) + MoveCell("e4") + "<br>\n" +
                         Depth("6") + Wide("-0.05") + Wide("0:02") + Number(1) + MoveCell("d4") + "<br>\n");
  // Same depth again: no depth. A line still waiting goes out at the end of the search.
  WriteHtmlPvLine(Line(6, 8159, 3725000, "d2d4", start_), start_);
  WriteHtmlPvLine(Line(7, 12, 100, "c2c4", start_), start_);
  FlushHtmlLines();
  EXPECT_EQ(HtmlText().substr(head + written.size()),
            Depth("") + Wide("#1") + Wide("1:02:05") + Number(1) + MoveCell("d4") + "<br>\n" + Depth("7") +
                Wide("+0.12") + Wide("0:00") + Number(1) + MoveCell("c4") + "<br>\n");

  // Scores are White's: Black's +1.25 is -1.25; Black mated in 3 plies is White's mate in 2.
  WriteHtmlPvLine(Line(4, 125, 300, "e7e5", afterE4_), afterE4_);
  WriteHtmlPvLine(Line(4, -8157, 400, "e7e5", afterE4_), afterE4_);
  WriteHtmlPvLine(Line(4, 8158, 500, "e7e5", afterE4_), afterE4_);
  const std::string scores = HtmlText();
  for (const char* cell : {"-1.25", "#2", "#-1"}) EXPECT_NE(scores.find(Wide(cell)), std::string::npos) << cell;
}

TEST_F(Logs, HtmlFailLowLineKeptOnlyWhenTheBestMoveChanges) {
  OpenHtmlLog();
  const size_t head = HtmlText().size();
  const RootMove failed = Line(8, 5, 900, "e2e4 e7e5", start_);
  WriteHtmlFailLowLine(failed, start_);
  EXPECT_EQ(HtmlText().size(), head);
  WriteHtmlPvLine(Line(8, 3, 1200, "e2e4 c7c5", start_), start_);   // the same move came back
  EXPECT_EQ(HtmlText().substr(head).find("--"), std::string::npos);

  WriteHtmlFailLowLine(failed, start_);
  WriteHtmlPvLine(Line(9, 10, 1500, "d2d4", start_), start_);       // another move took over
  const std::string text = HtmlText();
  const size_t failLow = text.find(Depth("") + Wide("+0.05--") + Wide("0:00") + Number(1) + MoveCell("e4") + MoveCell("e5"));
  ASSERT_NE(failLow, std::string::npos) << text;
  EXPECT_LT(failLow, text.find(Depth("9") + Wide("+0.10")));

  // One still waiting at the end of the search is written then.
  WriteHtmlFailLowLine(Line(10, -40, 2000, "d2d4", start_), start_);
  FlushHtmlLines();
  EXPECT_NE(HtmlText().find(Depth("10") + Wide("-0.40--")), std::string::npos);
}

TEST_F(Logs, HtmlBoardDiagram) {
  // White is a queen up, Black two pawns.
  const Position p = FromFen("rnb1kbnr/pppppppp/8/8/8/8/PPPPPP2/RNBQKBNR w KQkq -");
  WriteHtmlBoard(p);   // closed log: nothing happens
  OpenHtmlLog();
  const size_t head = HtmlText().size();
  WriteHtmlBoard(p);
  const std::vector<std::string> lines = Lines(HtmlText().substr(head));
  ASSERT_EQ(lines.size(), 10u);
  const std::string open = "<font style=\"font-size:16px\">";
  EXPECT_EQ(lines[0], open + "!\"\"\"\"\"\"\"\"#</font><br>");
  EXPECT_EQ(lines[1], open + "$xVw+zWvX%</font>&#160;II<br>");   // Black's extra pawns beside its back rank
  EXPECT_EQ(lines[8], open + "$RpQsTqPr%</font>&#160;m<br>");   // White's extra queen
  EXPECT_EQ(lines[9], open + "{ABCDEFGH}</font><br><br>");
}
