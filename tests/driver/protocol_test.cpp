// The engine binary driven through pipes as a front end or a script drives
// it: handshake, positions, perft, long lines, and what happens to running
// commands when "quit" follows them or the input ends.
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include "platform/platform.h"
#include "tests/support/engine_process.h"
#include "tests/support/test_data.h"

namespace {
using Lines = std::vector<std::string>;

std::string DanceMoves(int plies) {
  static const char* cycle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  std::string s;
  for (int i = 0; i < plies; ++i) s += std::string(" ") + cycle[i % 4];
  return s;
}

std::string LineStarting(const Lines& lines, const std::string& prefix) {
  for (const std::string& l : lines)
    if (l.rfind(prefix, 0) == 0) return l;
  return "";
}
}  // namespace

TEST(Protocol, HandshakesAndReadiness) {
  EngineProcess e;
  ASSERT_TRUE(e.Started());
  EXPECT_EQ(Answer(e, "uci3"), (Lines{"option name NalimovPath type path default <empty>",
                                      "option name NalimovCache type slider min 1 max 256 default 1",
                                      "option name Hash File type file default *.thf", "uci3ok"}));
  EXPECT_EQ(Answer(e, "KVX5"), (Lines{"option name kvx5_randomizer_threshold type spin default 8 min 1 max 512",
                                      "option name kvx5_randomizer_mode type check default false",
                                      "option name kvx5_randomizer_reset type button", "kvx5ok"}));
  EXPECT_EQ(Answer(e, "hqz5"), Lines{"hqz5ok"});
  // "uci" after the dialects still answers in full.
  e.Send("uci");
  const Lines uci = e.ReadUntil("uciok");
  ASSERT_GE(uci.size(), 3u);
  EXPECT_EQ(uci[0], "id name Tolvo");
  EXPECT_EQ(uci[1].rfind("id author ", 0), 0u);
  EXPECT_EQ(uci[2], "option name UCI_Query type button");
  // The specified options and, after them, UCI_ShowWDL and UCI_Chess960.
  EXPECT_EQ(CountPrefix(uci, "option name "), 43);
  EXPECT_EQ(uci[uci.size() - 3], "option name UCI_ShowWDL type check default false");
  EXPECT_EQ(uci[uci.size() - 2], "option name UCI_Chess960 type check default false");
  e.Send("IsReady");   // keywords ignore letter case
  EXPECT_EQ(e.WaitFor("readyok"), "readyok");
  e.Send("Quit now");
  EXPECT_EQ(e.Wait(), 0);
}

TEST(Protocol, BadPositionsAreReportedAndContained) {
  EngineProcess e;
  e.Send("position fen this is no fen");
  EXPECT_EQ(e.WaitFor("info string"), "info string Invalid FEN string.");
  EXPECT_EQ(FenLine(e), "Fen: rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  // Trailing carriage returns and blanks are no part of the last move.
  e.Send("position startpos moves e2e4 e7e5\r  ");
  EXPECT_EQ(FenLine(e), "Fen: rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2");
  // An illegal move stops the list; the position reached so far is kept.
  e.Send("position startpos moves e2e4 e7e5 e1e3 g1f3");
  EXPECT_NE(e.WaitFor("info string").find("e1e3"), std::string::npos);
  EXPECT_EQ(FenLine(e), "Fen: rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2");
  e.Send("position startpos moves e2e4 zz99");
  EXPECT_NE(e.WaitFor("info string").find("zz99"), std::string::npos);
  // An unsearchable position is refused by perft and eval rather than crashing them.
  e.Send("position fen 4k3/8/8/8/8/8/8/8 w - -");
  EXPECT_EQ(Answer(e, "perft 2"), Lines{"info string perft needs a legal position"});
  EXPECT_EQ(Answer(e, "eval"), Lines{"info string eval needs a legal position"});
  e.Quit();
}

// A Chess960 game: Shredder-FEN in and out, castling as the king taking its
// rook in both directions, the standard start castling that way too; with
// the mode off the same texts are what they were.
TEST(Protocol, Chess960Games) {
  EngineProcess e;
  const std::string castlings = "position fen 1r2k1r1/1p4p1/8/8/8/8/1P4P1/1R2K1R1 w GBgb - 0 1 moves e1g1 e8b8";
  e.Send(castlings);
  EXPECT_EQ(e.WaitFor("info string"), "info string Illegal or unreadable move e1g1 in position command; position kept after 0 moves");
  EXPECT_EQ(FenLine(e), "Fen: 1r2k1r1/1p4p1/8/8/8/8/1P4P1/1R2K1R1 w - - 0 1");
  EXPECT_EQ(Answer(e, "setoption name UCI_Chess960 value true"), Lines{"info string Chess960 enabled."});
  e.Send(castlings);
  EXPECT_EQ(FenLine(e), "Fen: 2kr2r1/1p4p1/8/8/8/8/1P4P1/1R3RK1 w - - 0 2");
  e.Send("position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1h1");
  EXPECT_EQ(FenLine(e), "Fen: r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 b ha - 0 4");
  // The castling that mates, in the score line and as the best move.
  e.Send("position fen 3k4/2p1p3/B7/7B/8/8/8/RK6 w A - 0 1");
  e.Send("go depth 3");
  const Lines search = e.ReadUntil("bestmove");
  EXPECT_NE(LineStarting(search, "info depth 3 score").find("score mate 1"), std::string::npos);
  EXPECT_NE(LineStarting(search, "info depth 3 score").find("pv b1a1"), std::string::npos);
  EXPECT_EQ(search.back().substr(0, 13), "bestmove b1a1");
  EXPECT_EQ(Answer(e, "setoption name UCI_Chess960 value false"), Lines{"info string Chess960 disabled."});
  e.Send("position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1");
  EXPECT_EQ(FenLine(e), "Fen: r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 b kq - 0 4");
  e.Quit();
}

TEST(Protocol, LongLinesAreWholeCommands) {
  EngineProcess e;
  // A 2000-ply game: some 10000 characters on one line.
  e.Send("position startpos moves" + DanceMoves(2000));
  std::string fen = FenLine(e);
  EXPECT_EQ(fen.rfind("Fen: rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 0), 0u) << fen;
  e.Send("position startpos moves" + DanceMoves(2001));
  fen = FenLine(e);
  EXPECT_NE(fen.find("5N2/PPPPPPPP/RNBQKB1R b KQkq"), std::string::npos) << fen;
  // The tail of an absurdly long line is dropped, not read as a command.
  e.Send(std::string(3 << 20, 'x') + " quit");
  e.Send("isready");
  EXPECT_EQ(e.WaitFor("readyok"), "readyok");
  e.Quit();
}

// A script that pipes a command and "quit" gets the command's result first.
TEST(PipedInput, QuitWaitsForPerftBenchAndEval) {
  const std::pair<const char*, const char*> cases[] = {
      {"perft 5", "Nodes searched: 4865609"},
      {"bench 2", "Nodes/second: "},
      {"eval", "Total evaluation: "},
  };
  for (const auto& [command, result] : cases) {
    EngineProcess e;
    e.Send("position startpos");
    e.Send(command);
    e.Send("hqz5");   // read during the command, answered after its result
    e.Send("quit");
    const Lines lines = e.ReadAll(Sanitized() ? 120000 : 30000);
    EXPECT_NE(LineStarting(lines, result), "") << command;
    const auto at = [&](const std::string& prefix) {
      return std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    };
    EXPECT_TRUE(at("hqz5ok") != lines.end() && at(result) < at("hqz5ok")) << command;
    if (command[0] == 'p') {   // one "g1f3: N" line per root move before the total
      int rootMoves = 0;
      for (const std::string& l : lines) rootMoves += l.size() > 6 && l[4] == ':' && l[0] >= 'a' && l[0] <= 'h';
      EXPECT_EQ(rootMoves, 20);
    }
    EXPECT_EQ(e.Wait(), 0) << command;
  }
}

// Lines that arrive during a count wait for its result and then keep their
// order, also when one of them starts a search: the lines after the "go" are
// answered during that search, not left unread until it ends.
TEST(PipedInput, LinesHeldByACountReachASearchTheyStart) {
  EngineProcess e;
  Drain(e);
  e.Send("setoption name Max CPUs value 1");
  e.Send("bench 2");
  e.Send("isready");
  e.Send("go infinite");
  e.Send("isready");
  // The infinite search reports every second: read against a deadline.
  const uint64_t deadline = platform::NowMs() + (Sanitized() ? 120000 : 30000);
  int ready = 0;
  std::string line;
  while (ready < 2 && platform::NowMs() < deadline && e.ReadLine(line, 1000)) ready += line == "readyok";
  EXPECT_EQ(ready, 2);
  e.Send("stop");
  EXPECT_NE(e.WaitFor("bestmove"), "");
  e.Quit();
}

// Without "quit" the end of the input ends the engine at once, whatever runs.
TEST(PipedInput, EndOfInputEndsTheEngineAtOnce) {
  for (const char* command : {"isready", "perft 7", "bench 40", "go infinite"}) {
    EngineProcess e;
    Drain(e);   // started up: only the ending is timed
    e.Send(command);
    platform::SleepMs(100);
    const uint64_t start = platform::NowMs();
    e.CloseInput();
    EXPECT_EQ(e.Wait(3000), 0) << command;
    EXPECT_LT(platform::NowMs() - start, Sanitized() ? 1500u : 500u) << command;
    EXPECT_EQ(CountPrefix(e.ReadAll(), "Nodes searched"), 0) << command;
  }
}

// "tolvo bench N" runs the benchmark and exits; the count is the one of
// "bench N" given as a command (the same build always counts the same).
TEST(PipedInput, BenchOnTheCommandLineMatchesTheCommand) {
  EngineProcess line({"bench", "3"});
  line.CloseInput();
  const Lines fromLine = line.ReadAll(Sanitized() ? 120000 : 30000);
  EXPECT_EQ(line.Wait(), 0);
  EXPECT_EQ(CountPrefix(fromLine, "Position "), 12);
  EXPECT_EQ(CountPrefix(fromLine, "info"), 0);
  EXPECT_EQ(CountPrefix(fromLine, "bestmove"), 0);
  const std::string nodes = LineStarting(fromLine, "Nodes searched: ");
  ASSERT_NE(nodes, "");
  EXPECT_NE(nodes, "Nodes searched: 0");

  EngineProcess e;
  e.Send("bench 3");
  EXPECT_EQ(e.WaitFor("Nodes searched:", Sanitized() ? 120000 : 30000), nodes);
  e.Quit();
}
