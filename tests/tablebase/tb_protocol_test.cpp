// The tables through the engine binary as a front end uses them: the
// NalimovPath option with its messages (a broken file is reported and the
// engine goes on), and a one-ply search whose root moves are scored from the
// tables with the exact mate distance and tbhits, whatever NalimovUsage says.
#include <gtest/gtest.h>
#include <array>
#include <cstdio>
#include <cstdlib>
#include "tests/tablebase/tb_test_support.h"

namespace {

// The last "info depth" line of a search of the position.
std::string SearchLine(EngineProcess& e, const std::string& fen, const std::string& go) {
  e.Send("position fen " + fen);
  e.Send(go);
  std::string last;
  for (const std::string& line : e.ReadUntil("bestmove", 60000))
    if (line.starts_with("info depth") && line.find(" score ") != std::string::npos) last = line;
  return last;
}

int TbHits(const std::string& line) {
  const size_t at = line.find(" tbhits ");
  return at == std::string::npos ? 0 : std::atoi(line.c_str() + at + 8);
}

}  // namespace

TEST(TbProtocol, RootMovesTakeTheTablesMateDistance) {
  ASSERT_FALSE(SharedTables().empty());
  // A loss of the side to move, found among random positions.
  std::vector<std::string> fens = RandomFens("kqkr", 200, 4, true);
  const ToolRun probed = RunTbgen({"--probe", SharedTables()}, fens);
  ASSERT_EQ(probed.lines.size(), fens.size());
  std::string loss, lossScore;
  for (size_t i = 0; i < fens.size() && loss.empty(); ++i)
    if (probed.lines[i].starts_with("mated in ") && std::stoi(probed.lines[i].substr(9)) >= 5)
      loss = fens[i], lossScore = "mate -" + probed.lines[i].substr(9);
  ASSERT_FALSE(loss.empty());

  // A file one entry short among them is reported and skipped; the engine
  // goes on and reads the files that are whole.
  ScratchDirectory dir;
  CopyWholeTables(dir.Text(), {"kqkr", "kqk", "krk", "kpk"}, false);
  fs::resize_file(dir.Path() / "kpk.nbw", 81663);
  EngineProcess e;
  EXPECT_EQ(Answer(e, "setoption name NalimovPath value " + dir.Text()),
            (std::vector<std::string>{"info string Nalimov path set to " + dir.Text(),
                                      "*** " + dir.Text() + "/kpk.nbw corrupted 2147483648 81664 81663"}));
  EXPECT_NE(SearchLine(e, "8/8/8/8/8/1k6/1P6/1K6 w - - 0 1", "go depth 1"), "");
  const struct {
    std::string path, usage, fen, score;
  } rows[] = {
      {dir.Text(), "Rarely", "8/8/8/8/8/2k5/1R6/K7 w - - 0 1", "mate 16"},
      {dir.Text(), "Rarely", "8/8/8/8/2r5/8/2k5/K6Q w - - 0 1", "mate 35"},
      {dir.Text(), "Never", "8/8/8/8/2r5/8/2k5/K6Q w - - 0 1", "mate 35"},
      {dir.Text(), "Never", "k6q/2K5/8/2R5/8/8/8/8 b - - 0 1", "mate 35"},   // colours exchanged
      {dir.Text(), "Rarely", loss, lossScore},
      {"<empty>", "Rarely", "8/8/8/8/2r5/8/2k5/K6Q w - - 0 1", ""},           // no tables: no distance
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.usage + " " + r.fen);
    Answer(e, "setoption name NalimovPath value " + r.path);
    Answer(e, "setoption name NalimovUsage value " + r.usage);
    const std::string line = SearchLine(e, r.fen, "go depth 1");
    if (r.score.empty()) {
      EXPECT_EQ(line.find(" score mate"), std::string::npos) << line;
      EXPECT_EQ(TbHits(line), 0) << line;
    } else {
      EXPECT_NE(line.find(" score " + r.score + " "), std::string::npos) << line;
      EXPECT_GT(TbHits(line), 0) << line;
    }
  }
  e.Quit();
}

namespace {
// The three numbers after " wdl " of a line (all -1 without them).
std::array<int, 3> Wdl(const std::string& line) {
  std::array<int, 3> w{-1, -1, -1};
  const size_t at = line.find(" wdl ");
  if (at != std::string::npos) std::sscanf(line.c_str() + at + 5, "%d %d %d", &w[0], &w[1], &w[2]);
  return w;
}
}  // namespace

// "UCI_ShowWDL": off by default (the lines stay as they were); on, every
// score line carries chances that add up to 1000, certain where the tables
// know the value or the search found a mate.
TEST(TbProtocol, WinDrawLossChancesInTheScoreLines) {
  ASSERT_FALSE(SharedTables().empty());
  ScratchDirectory dir;
  CopyWholeTables(dir.Text(), {"kpk"}, false);
  const std::string drawn = "k7/8/8/8/8/8/P7/K7 w - - 0 1";   // the rook pawn's corner is a draw
  EngineProcess e;
  EXPECT_EQ(SearchLine(e, "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3", "go depth 5")
                .find("wdl"),
            std::string::npos);
  Answer(e, "setoption name UCI_ShowWDL value true");
  e.Send("position startpos");
  e.Send("go depth 6");
  int scoreLines = 0;
  for (const std::string& line : e.ReadUntil("bestmove", 60000)) {
    if (line.find(" score ") == std::string::npos) continue;
    ++scoreLines;
    const std::array<int, 3> w = Wdl(line);
    EXPECT_EQ(w[0] + w[1] + w[2], 1000) << line;
    EXPECT_TRUE(w[0] >= 0 && w[1] >= 0 && w[2] >= 0) << line;
    EXPECT_LT(line.find(" wdl "), line.find(" time ")) << line;
  }
  EXPECT_GT(scoreLines, 3);
  // Without tables the drawn ending is only likely a draw; with them it is one.
  Answer(e, "setoption name NalimovPath value <empty>");
  EXPECT_NE(Wdl(SearchLine(e, drawn, "go depth 6")), (std::array<int, 3>{0, 1000, 0}));
  Answer(e, "setoption name NalimovPath value " + dir.Text());
  EXPECT_EQ(Wdl(SearchLine(e, drawn, "go depth 6")), (std::array<int, 3>{0, 1000, 0}));
  // The king on the sixth rank before its pawn wins, whoever is to move.
  EXPECT_EQ(Wdl(SearchLine(e, "4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", "go depth 6")), (std::array<int, 3>{1000, 0, 0}));
  EXPECT_EQ(Wdl(SearchLine(e, "4k3/8/4K3/4P3/8/8/8/8 b - - 0 1", "go depth 6")), (std::array<int, 3>{0, 0, 1000}));
  e.Quit();
}
