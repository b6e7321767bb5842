// Searching through the binary as a front end does: "go" in its forms,
// "stop", "ponderhit", commands during a search, time limits, "tt", "goe".
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "common/words.h"
#include "platform/platform.h"
#include "tests/support/engine_process.h"
#include "tests/support/test_data.h"

namespace {
// Milliseconds from sending `line` to the "bestmove" line.
uint64_t TimeToBestMove(EngineProcess& e, const std::string& line, std::string* bestmove = nullptr) {
  const uint64_t start = platform::NowMs();
  e.Send(line);
  const std::string answer = e.WaitFor("bestmove");
  if (bestmove) *bestmove = answer;
  return platform::NowMs() - start;
}

uint64_t Slack() { return Sanitized() ? 400 : 100; }
}  // namespace

TEST(SearchProtocol, PonderhitTurnsPonderingIntoTheMove) {
  EngineProcess e;
  e.Send("position startpos moves e2e4 e7e5");
  // Without a clock the search ends at once after the hit; with one it goes
  // on with what the clock allows, here very little.
  for (const auto& [go, limit] :
       {std::pair{"go ponder", 500}, std::pair{"go ponder wtime 2000 btime 2000", 1000}}) {
    e.Send(go);
    platform::SleepMs(100);
    EXPECT_EQ(CountPrefix(Drain(e), "bestmove"), 0) << go;
    EXPECT_LT(TimeToBestMove(e, "ponderhit"), limit + Slack()) << go;
  }
  EXPECT_EQ(CountPrefix(Drain(e), "bestmove"), 0);
  e.Quit();
}

TEST(SearchProtocol, QuitDuringASearchExitsAtOnce) {
  EngineProcess e;
  e.Send("go infinite");
  platform::SleepMs(100);
  const uint64_t start = platform::NowMs();
  e.Send("quit");
  EXPECT_EQ(e.Wait(4000), 0);
  EXPECT_LT(platform::NowMs() - start, 500 + 3 * Slack());   // the search is endless: anything short is "at once"
}

TEST(SearchProtocol, MoveTimeIsKept) {
  EngineProcess e;
  e.Send("position startpos moves d2d4 g8f6 c2c4 e7e6");
  Drain(e);   // start-up done: only the search is timed
  const uint64_t took = TimeToBestMove(e, "go movetime 1000");
  EXPECT_GE(took, 950u);
  EXPECT_LE(took, 1100u + (Sanitized() ? 300 : 0));
  e.Quit();
}

// The move must arrive while the clock still runs, whatever the clock says.
TEST(SearchProtocol, ShortClocksAreNeverOverstepped) {
  EngineProcess e;
  e.Send("ucinewgame");
  e.Send("position startpos moves e2e4 e7e5 g1f3 b8c6");
  Drain(e);
  struct Case {
    const char* go;
    uint64_t limit;
  };
  const Case cases[] = {
      {"go wtime 1000 btime 1000", 750},
      {"go wtime 600 btime 600 movestogo 1", 350},
      {"go wtime 400 btime 400 winc 3000 binc 3000", 150},
      {"go wtime 100 btime 100", 100},
      {"go wtime 0 btime 0", 100},
      {"go wtime -50 btime 1000", 100},
  };
  for (const Case& c : cases) {
    std::string best;
    EXPECT_LE(TimeToBestMove(e, c.go, &best), c.limit + Slack()) << c.go;
    EXPECT_NE(best, "bestmove 0000") << c.go;
  }
  e.Quit();
}

TEST(SearchProtocol, OnlyMoveNoMoveAndBrokenPositions) {
  EngineProcess e;
  // One legal move: answered after a token search even with minutes on the clock.
  e.Send("position fen 7k/8/8/8/8/8/8/K5R1 b - - 0 1");
  Drain(e);
  std::string best;
  EXPECT_LT(TimeToBestMove(e, "go wtime 300000 btime 300000", &best), 300 + Slack());
  EXPECT_EQ(best.rfind("bestmove h8h7", 0), 0u) << best;
  // Mated and stalemated: no move, at once.
  for (const char* fen : {"7k/5QQ1/8/8/8/8/8/K7 b - - 0 1", "k7/8/1Q6/8/8/8/8/7K b - - 0 1"}) {
    e.Send(std::string("position fen ") + fen);
    EXPECT_LT(TimeToBestMove(e, "go wtime 300000 btime 300000", &best), 100 + Slack()) << fen;
    EXPECT_EQ(best, "bestmove 0000") << fen;
  }
  // Analysis ends by itself at once but still waits for the front end's "stop".
  e.Send("go infinite");
  EXPECT_EQ(CountPrefix(Drain(e), "bestmove"), 0);
  EXPECT_LT(TimeToBestMove(e, "stop", &best), 100 + Slack());
  EXPECT_EQ(best, "bestmove 0000");
  // A position the search cannot handle (no White king): "bestmove 0000" at
  // once for a plain "go"; analysis and pondering still wait for the front end.
  e.Send("position fen 4k3/8/8/8/8/8/8/8 w - - 0 1");
  EXPECT_LT(TimeToBestMove(e, "go", &best), 100 + Slack());
  EXPECT_EQ(best, "bestmove 0000");
  for (const auto& [go, release] : {std::pair{"go infinite", "stop"}, std::pair{"go ponder", "ponderhit"}}) {
    e.Send(go);
    platform::SleepMs(100);
    EXPECT_EQ(CountPrefix(Drain(e), "bestmove"), 0) << go;
    EXPECT_LT(TimeToBestMove(e, release, &best), 100 + Slack()) << go;
    EXPECT_EQ(best, "bestmove 0000") << go;
    EXPECT_EQ(CountPrefix(Answer(e, "stop"), "bestmove"), 0) << go;   // reported once
  }
  e.Quit();
}

TEST(SearchProtocol, TestSearchesRunThreeSearches) {
  EngineProcess e;
  e.Send("tt 1");
  auto lines = e.ReadUntil("info string Max CPUs set to 1");
  EXPECT_EQ(lines.back(), "info string Max CPUs set to 1");
  for (int i = 0; i < 3; ++i) e.WaitFor("bestmove");
  EXPECT_EQ(CountPrefix(Drain(e), "bestmove"), 0);
  e.Send("d");   // the last of the three positions stays
  EXPECT_EQ(e.WaitFor("Fen:"), "Fen: 2k5/pb1r1pr1/8/1qNp4/1ppB4/6P1/1P3PBP/R4RK1 b - - 0 1");
  e.Quit();
}

TEST(SearchProtocol, SilentSearchAnswersWithOneLineAndPlaysItsMove) {
  EngineProcess e;
  e.Send("position startpos");
  e.Send("goe depth 2");
  // Nothing but the result: move, nodes, depth, score, material.
  const std::string reply = e.WaitFor("");
  EXPECT_TRUE(::testing::internal::RE::FullMatch(reply, "[a-h][1-8][a-h][1-8] [0-9]+ [0-9]+ -?[0-9]+ 62")) << reply;
  // With the answer the silence ends: commands print again, on the position
  // after the move (Black to move).
  e.Send("uci");
  EXPECT_EQ(e.ReadUntil("uciok").front(), "id name Tolvo");
  const std::string fen = FenLine(e);
  EXPECT_NE(fen.find(" b KQkq - "), std::string::npos) << fen;
  // A silent search that also asked for slave reports ends both silences.
  e.Send("goe depth 2 slave 2");
  EXPECT_TRUE(::testing::internal::RE::FullMatch(e.WaitFor(""), "[a-h][1-8][a-h][1-8] .*"));
  e.Send("perft 1");
  EXPECT_EQ(e.WaitFor("Nodes searched:").rfind("Nodes searched: ", 0), 0u);
  e.Quit();
}

// A search a controller runs ("go ... slave N id J") keeps its reports to
// itself, but on a clock it tells which move it takes before that move goes
// out, and its end is announced like any other.
TEST(SearchProtocol, ControlledSearchOnAClockSaysWhichMoveItTakes) {
  EngineProcess e;
  // What the controller reads up to the best move, but for the deep results
  // it is given for its table ("posting").
  auto answer = [&e] {
    std::vector<std::string> lines;
    for (const std::string& line : e.ReadUntil("bestmove"))
      if (line.rfind("posting ", 0) != 0) lines.push_back(line);
    return lines;
  };
  e.Send("position startpos");
  e.Send("go wtime 2000 btime 2000 slave 1 id 7");
  std::vector<std::string> lines = answer();
  ASSERT_EQ(lines.size(), 2u) << (lines.empty() ? "" : lines.front());
  EXPECT_EQ(lines[0].rfind("taking 7 ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].substr(0, 13), "bestmove " + lines[0].substr(9, 4)) << lines[1];
  // Without a clock nothing is taken; "stop" ends it.
  e.Send("go infinite slave 1 id 8");
  platform::SleepMs(200);
  e.Send("stop");
  lines = answer();
  EXPECT_EQ(lines.size(), 1u) << (lines.empty() ? "" : lines.front());
  e.Quit();
}

// A front end checks each line against the rules, and a game ends when the
// fifty-move rule is reached: no shown line may go on past that point.
TEST(SearchProtocol, ShownLinesEndAtTheFiftyMoveRule) {
  // 95 quiet half-moves of king and rook that never repeat a position.
  const char* fen = "8/8/4k3/8/2R5/8/4K3/r7 w - - 0 1";
  Position p;
  ASSERT_TRUE(SetPositionFromFen(p, fen));
  std::set<uint64_t> seen{p.st.key};
  std::string moves, earlierMoves;
  for (int ply = 0; ply < 95; ++ply) {
    if (ply == 85) earlierMoves = moves;
    MoveList list;
    GenerateLegalMoves(p, list);
    bool played = false;
    for (Move m : list) {
      Position next = p;
      MakeRootMove(next, m);
      if (next.st.fifty == 0 || seen.count(next.st.key)) continue;
      seen.insert(next.st.key);
      moves += " " + MoveToText(m);
      p = next;
      played = true;
      break;
    }
    ASSERT_TRUE(played) << "the walk found no fresh quiet move at ply " << ply;
  }
  ASSERT_EQ(p.st.fifty, 95u);
  const Position root = p;

  // A search ten half-moves earlier fills the table with the moves of
  // positions that lie beyond the rule when seen from the later root.
  EngineProcess e;
  e.Send(std::string("position fen ") + fen + " moves" + earlierMoves);
  e.Send("go depth 12");
  e.WaitFor("bestmove");
  e.Send(std::string("position fen ") + fen + " moves" + moves);
  e.Send("go depth 12");
  int lines = 0, cutAtTheRule = 0;
  for (const std::string& line : e.ReadUntil("bestmove")) {
    const size_t at = line.find(" pv ");
    if (line.rfind("info", 0) != 0 || at == std::string::npos) continue;
    ++lines;
    Position q = root;
    for (const std::string& text : SplitWords(line.substr(at + 4))) {
      ASSERT_LT(q.st.fifty, 100u) << "the line goes on past the fifty-move rule: " << line;
      const Move m = FindLegalMove(q, text.c_str());
      ASSERT_NE(m, Move(0)) << line;
      MakeRootMove(q, m);
    }
    cutAtTheRule += q.st.fifty == 100;
  }
  EXPECT_GT(lines, 0);
  EXPECT_GT(cutAtTheRule, 0) << "no line reached the rule: the test checks nothing";
  e.Quit();
}
