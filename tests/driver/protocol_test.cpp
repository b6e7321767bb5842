// The engine binary driven through pipes as a front end drives it.
#include <gtest/gtest.h>
#include <filesystem>
#include <string>
#include "tests/support/engine_process.h"

namespace {
std::string DanceMoves(int plies) {
  static const char* cycle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  std::string s;
  for (int i = 0; i < plies; ++i) s += std::string(" ") + cycle[i % 4];
  return s;
}
}  // namespace

TEST(Protocol, HandshakeAndReadiness) {
  EngineProcess e;
  ASSERT_TRUE(e.Started());
  e.Send("uci");
  auto lines = e.ReadUntil("uciok");
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "id name Tolvo");
  EXPECT_EQ(lines[1].rfind("id author ", 0), 0u);
  EXPECT_EQ(lines[2], "option name UCI_Query type button");
  e.Send("IsReady");   // keywords ignore letter case
  EXPECT_EQ(e.WaitFor("readyok"), "readyok");
  e.Send("Quit now");
  EXPECT_EQ(e.Wait(), 0);
}

TEST(Protocol, EndOfInputExitsCleanly) {
  EngineProcess e;
  e.Send("isready");
  e.WaitFor("readyok");
  e.CloseInput();
  EXPECT_EQ(e.Wait(), 0);
}

TEST(Protocol, PositionDisplayAndPerft) {
  EngineProcess e;
  e.Send("position startpos moves e2e4 e7e5\r  ");
  e.Send("d");
  EXPECT_EQ(e.WaitFor("Fen:"), "Fen: rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2");
  e.Send("perft 3");
  auto lines = e.ReadUntil("Nodes searched:");
  EXPECT_EQ(lines.back(), "Nodes searched: 24825");
  int rootMoves = 0;   // one "g1f3: N" line per root move
  for (const std::string& l : lines) rootMoves += l.size() > 6 && l[4] == ':' && l[0] >= 'a' && l[0] <= 'h';
  EXPECT_EQ(rootMoves, 29);
  e.Send("position fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1");
  e.Send("perft 4");
  EXPECT_EQ(e.WaitFor("Nodes searched:"), "Nodes searched: 43238");
  e.Send("quit");
  EXPECT_EQ(e.Wait(), 0);
}

TEST(Protocol, BadPositionsAreReportedAndContained) {
  EngineProcess e;
  e.Send("position fen this is no fen");
  EXPECT_EQ(e.WaitFor("info string"), "info string Invalid FEN string.");
  e.Send("d");
  EXPECT_EQ(e.WaitFor("Fen:"), "Fen: rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  // An illegal move stops the list; the position reached so far is kept.
  e.Send("position startpos moves e2e4 e7e5 e1e3 g1f3");
  EXPECT_NE(e.WaitFor("info string").find("e1e3"), std::string::npos);
  e.Send("d");
  EXPECT_EQ(e.WaitFor("Fen:"), "Fen: rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2");
  e.Send("position startpos moves e2e4 zz99");
  EXPECT_NE(e.WaitFor("info string").find("zz99"), std::string::npos);
  // An unsearchable position is refused by perft rather than crashing it.
  e.Send("position fen 4k3/8/8/8/8/8/8/8 w - -");
  e.Send("perft 2");
  EXPECT_EQ(e.WaitFor("info string"), "info string perft needs a legal position");
  e.Send("isready");
  EXPECT_EQ(e.WaitFor("readyok"), "readyok");
  e.Send("quit");
  EXPECT_EQ(e.Wait(), 0);
}

TEST(Protocol, LongLinesAreWholeCommands) {
  EngineProcess e;
  // A 2000-ply game: some 10000 characters on one line.
  e.Send("position startpos moves" + DanceMoves(2000));
  e.Send("d");
  std::string fen = e.WaitFor("Fen:");
  EXPECT_EQ(fen.rfind("Fen: rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 0), 0u) << fen;
  e.Send("position startpos moves" + DanceMoves(2001));
  e.Send("d");
  fen = e.WaitFor("Fen:");
  EXPECT_EQ(fen.rfind("Fen: rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQ1BNR/", 0), std::string::npos);
  EXPECT_NE(fen.find("5N2/PPPPPPPP/RNBQKB1R b KQkq"), std::string::npos) << fen;
  // The tail of an absurdly long line is dropped, not read as a command.
  e.Send(std::string(3 << 20, 'x') + " quit");
  e.Send("isready");
  EXPECT_EQ(e.WaitFor("readyok"), "readyok");
  e.Send("quit");
  EXPECT_EQ(e.Wait(), 0);
}

TEST(Protocol, RenamedBinaryKeepsItsName) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("tolvo_name_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::create_directories(dir);
  fs::copy_file(TOLVO_BINARY, dir / "engine", fs::copy_options::overwrite_existing);
  {
    EngineProcess e({}, (dir / "engine").string());
    e.Send("uci");
    EXPECT_EQ(e.WaitFor("id name"), "id name Tolvo engine");
    e.Send("quit");
    EXPECT_EQ(e.Wait(), 0);
  }
  fs::remove_all(dir);
}
