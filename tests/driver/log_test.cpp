// The text and HTML logs: names, head and end, the settings summary, the position
// diagram and the rules of the HTML result lines. Each test writes into a
// directory of its own.
#include <gtest/gtest.h>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "board/make_move.h"
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
std::vector<std::string> TextLines(const std::string& text) {
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
    // The summary lists settings off their defaults; earlier tests in this
    // process may have left the group's settings changed.
    Group.hashMb = GroupState{}.hashMb;
    Group.childPriority = GroupState{}.childPriority;
    ResetToStartPosition();
    date_ = LogDateText();
  }
  void TearDown() override {
    CloseLogs();
    Output.isChild = false;
    Group.hashMb = hashMb_;
    Group.childPriority = childPriority_;
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
  const int childPriority_ = Group.childPriority;
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
  const std::string whiteKnight = "&#9816;", whitePawn = "&#9817;", blackQueen = "&#9819;";
  EXPECT_EQ(HtmlVariationText(start_, "e2e4 e7e5 g1f3", 1),
            Number(1) + MoveCell("e4") + MoveCell("e5") + Number(2) + MoveCell(whiteKnight + "f3"));
  EXPECT_EQ(HtmlVariationText(afterE4_, "d7d5 e4d5 d8d5", 1), Number(1) + MoveCell("...") + MoveCell("d5") +
                                                                 Number(2) + MoveCell(whitePawn + "xd5") +
                                                                 MoveCell(blackQueen + "xd5"));
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

namespace {
// The diagrams of an HTML log read back: per diagram, the squares from a8 to
// h1 as FEN letters ('.' for an empty square), and the text beside its top
// and bottom rows.
struct ReadDiagram {
  std::string squares;
  std::string besideTop, besideBottom;
};
std::vector<ReadDiagram> DiagramsOf(const std::string& html) {
  static const std::vector<std::pair<std::string, char>> symbols = {
      {"&#9817;", 'P'}, {"&#9816;", 'N'}, {"&#9815;", 'B'}, {"&#9814;", 'R'}, {"&#9813;", 'Q'},
      {"&#9812;", 'K'}, {"&#9823;&#65038;", 'p'}, {"&#9822;", 'n'}, {"&#9821;", 'b'}, {"&#9820;", 'r'},
      {"&#9819;", 'q'}, {"&#9818;", 'k'}};
  std::vector<ReadDiagram> diagrams;
  ReadDiagram current;
  for (const std::string& line : TextLines(html)) {
    const bool square = line.find("<span class=\"l\">") != std::string::npos ||
                        line.find("<span class=\"d\">") != std::string::npos;
    if (!square) {
      if (!current.squares.empty()) diagrams.push_back(current);
      current = ReadDiagram{};
      continue;
    }
    const bool top = current.squares.empty();
    for (size_t at = 0; (at = line.find("<span class=\"", at)) != std::string::npos;) {
      const char kind = line[at + 13];
      const size_t from = line.find('>', at) + 1, to = line.find("</span>", from);
      const std::string content = line.substr(from, to - from);
      at = to;
      if (kind != 'l' && kind != 'd') continue;
      char letter = content.empty() ? '.' : '?';
      for (const auto& [text, fen] : symbols)
        if (content == text) letter = fen;
      current.squares += letter;
    }
    const std::string beside = line.substr(line.rfind("</font>") + 7);
    (top ? current.besideTop : current.besideBottom) = beside;
  }
  if (!current.squares.empty()) diagrams.push_back(current);
  return diagrams;
}
// The board field of a FEN as 64 letters from a8 to h1.
std::string SquaresOf(const Position& p) {
  std::string squares;
  for (const char c : PositionToFen(p).substr(0, PositionToFen(p).find(' ')))
    if (std::isdigit(static_cast<unsigned char>(c))) squares.append(size_t(c - '0'), '.');
    else if (c != '/') squares += c;
  return squares;
}
}  // namespace

TEST_F(Logs, HtmlBoardDiagram) {
  // White is a queen up, Black two pawns.
  const Position p = FromFen("rnb1kbnr/pppppppp/8/8/8/8/PPPPPP2/RNBQKBNR w KQkq -");
  WriteHtmlBoard(p);   // closed log: nothing happens
  OpenHtmlLog();
  const size_t head = HtmlText().size();
  WriteHtmlBoard(p);
  const std::string board = HtmlText().substr(head);
  const std::vector<std::string> lines = TextLines(board);
  ASSERT_EQ(lines.size(), 10u);   // a frame row, eight ranks, the file letters
  for (const std::string& line : lines) EXPECT_TRUE(StartsWith(line, "<font style=\"font-size:16px\">"));
  const std::vector<ReadDiagram> diagrams = DiagramsOf(board);
  ASSERT_EQ(diagrams.size(), 1u);
  EXPECT_EQ(diagrams[0].squares, SquaresOf(p));
  EXPECT_EQ(diagrams[0].besideTop, "&#160;&#9823;&#65038;&#9823;&#65038;<br>");   // Black's extra pawns
  EXPECT_EQ(diagrams[0].besideBottom, "&#160;&#9813;<br>");                         // White's extra queen
  // a1 is dark, h1 light; the letters a to h run under the files.
  EXPECT_NE(lines[8].find("<span class=\"d\">&#9814;</span><span class=\"l\">&#9816;</span>"), std::string::npos);
  EXPECT_NE(lines[8].find("<span class=\"l\">&#9814;</span><span class=\"f\">"), std::string::npos);
  EXPECT_NE(lines[9].find(">a<"), std::string::npos);
  EXPECT_LT(lines[9].find(">a<"), lines[9].find(">h<"));
  // The page names a font a reader can get, and no address that cannot resolve.
  EXPECT_EQ(HtmlText().find(".invalid"), std::string::npos);
  EXPECT_NE(HtmlText().find(ChessFontAddress), std::string::npos);
}

// A game's log: one diagram per position, each with 64 squares that hold
// exactly the men of its position.
TEST_F(Logs, EveryDiagramOfAGameHoldsItsPosition) {
  OpenHtmlLog();
  Position p = start_;
  std::vector<std::string> expected;
  // Ten moves each, with en passant, a promotion, a check and castling along the way.
  const char* const moves[] = {"e2e4", "d7d5", "e4d5", "c7c5", "d5c6", "d8d6", "c6b7", "c8d7", "b7a8q",
                               "d7c6", "g1f3", "d6d2", "c1d2", "e7e5", "f1e2", "e5e4", "e1g1", "e4f3",
                               "e2f3", "h7h6"};
  for (const char* text : moves) {
    WriteHtmlBoard(p);
    expected.push_back(SquaresOf(p));
    const Move m = FindLegalMove(p, text);
    ASSERT_NE(m, 0u) << text;
    UndoRecord undo;
    MakeMoveOfSideToMove(p, undo, m);
  }
  WriteHtmlBoard(p);
  expected.push_back(SquaresOf(p));
  const std::vector<ReadDiagram> diagrams = DiagramsOf(HtmlText());
  ASSERT_EQ(diagrams.size(), expected.size());
  for (size_t i = 0; i < diagrams.size(); ++i) {
    EXPECT_EQ(diagrams[i].squares.size(), 64u) << "diagram " << i;
    EXPECT_EQ(diagrams[i].squares, expected[i]) << "diagram " << i;
  }
}
