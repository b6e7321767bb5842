// The fuzzer's model of the protocol: it must flag each kind of misbehaviour
// from a transcript, and stay quiet on a correct one (a false alarm would
// send the engine's developers after faults that do not exist).
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "board/movegen.h"
#include "board/notation.h"
#include "tools/fuzz/protocol_model.h"

using fuzz::Guard;
using fuzz::ProtocolModel;

namespace {
// A transcript driven by hand: lines in, lines out, time moved on at will.
struct Transcript {
  fuzz::Timeouts timeouts;
  ProtocolModel model{timeouts};
  uint64_t now = 1000;
  void In(const std::string& line) { model.OnInput(line + "\n", now); }
  void Out(const std::string& line) { model.OnOutput(line, now); }
  void Wait(int ms) {
    now += uint64_t(ms);
    model.OnTick(now);
  }
  std::string Fault() const { return model.HasFault() ? model.FirstFault().signature : ""; }
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
}  // namespace

TEST(FuzzGoLine, KeywordsTakeTheirValuesAsTheEngineReadsThem) {
  Position start;
  SetPositionFromFen(start, StartFen);
  // A keyword eats the next word, even a keyword: this search is not a ponder search.
  EXPECT_FALSE(fuzz::ReadGo("go depth ponder", &start, White).pending);
  // Only the side to move's clock words take a value.
  EXPECT_FALSE(fuzz::ReadGo("go wtime ponder", &start, White).pending);
  EXPECT_TRUE(fuzz::ReadGo("go wtime ponder", &start, Black).pending);
  EXPECT_TRUE(fuzz::ReadGo("go movetime 50 infinite", &start, White).pending);
  // Letter case matters after the command word.
  EXPECT_FALSE(fuzz::ReadGo("go PONDER", &start, White).pending);
  EXPECT_TRUE(fuzz::ReadGo("goe depth 2", &start, White).silent);
  EXPECT_FALSE(fuzz::ReadGo("GOE depth 2", &start, White).silent);
  // "slave" is held to 0..256; "id" takes any number.
  EXPECT_EQ(fuzz::ReadGo("go slave 9999999999 depth 1", &start, White).slave, 256);
  const fuzz::GoLine slave = fuzz::ReadGo("go slave -3 id 77 wtime 900", &start, White);
  EXPECT_TRUE(slave.slaveGiven && slave.idGiven && slave.clock && !slave.limited);
  EXPECT_EQ(slave.slave, 0);
  EXPECT_EQ(slave.id, 77);
  // Every legal move anywhere restricts the search; values and other words do not.
  const fuzz::GoLine go = fuzz::ReadGo("go depth 3 searchmoves e2e4 zz e2e5 d2d4", &start, White);
  ASSERT_EQ(go.searchMoves.size(), 2u);
  EXPECT_EQ(MoveToText(go.searchMoves[0]), "e2e4");
}

TEST(FuzzControllerMove, ReadAsDenyAndTakeReadIt) {
  // The model matches "deny"/"take" texts to root moves by the key; the
  // engine by the squares and promotion it parses. They must agree.
  for (const char* fen : {StartFen, "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",
                          "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3"}) {
    Position p;
    ASSERT_TRUE(SetPositionFromFen(p, fen));
    MoveList list;
    GenerateLegalMoves(p, list);
    for (int i = 0; i < list.size; ++i) {
      const Move m = list.moves[i];
      const std::string text = MoveToText(m);
      std::string upper = text, promoUpper = text;
      upper[0] = char(std::toupper(static_cast<unsigned char>(upper[0])));
      if (text.size() == 5) promoUpper[4] = char(std::toupper(static_cast<unsigned char>(text[4])));
      for (const std::string& spelled : {text, upper, text + " x", text.substr(0, 4), promoUpper}) {
        const bool engine = SameMove(ParseCoordinateMove(p, spelled.c_str(), false), m);
        EXPECT_EQ(fuzz::ControllerMoveKey(spelled) == text, engine) << fen << ": \"" << spelled << "\"";
      }
    }
  }
  EXPECT_EQ(fuzz::ControllerMoveKey("a1a1"), "");
  EXPECT_EQ(fuzz::ControllerMoveKey(""), "");
}

TEST(FuzzPosition, FollowsTheEnginesReadingOfPositionAndPlay) {
  fuzz::GameState g;
  fuzz::ApplyPosition(g, "position startpos moves e2e4 e7e5 e1e3 g1f3\r");
  EXPECT_EQ(g.plies, 2);   // the first illegal move ends the list
  EXPECT_EQ(PositionToFen(g.position), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -");
  fuzz::ApplyPlay(g, "play g1f3");
  fuzz::ApplyPlay(g, "play a1a5");   // refused
  EXPECT_EQ(g.plies, 3);
  fuzz::ApplyPosition(g, "position fen not a fen moves e2e4");   // unreadable FEN: start position, no moves
  EXPECT_EQ(PositionToFen(g.position), PositionToFen(fuzz::GameState().position));
  fuzz::ApplyPosition(g, "position fen 8/8/8/8/8/8/8/8 w - - 0 1 moves e2e4");   // no kings: not predictable
  EXPECT_FALSE(g.known);
}

TEST(FuzzModel, CorrectSearchTranscriptRaisesNothing) {
  Transcript t;
  t.In("position startpos moves e2e4");
  t.In("go depth 2 searchmoves e7e5 d7d5");
  t.Out("info depth 2 score cp 10 time 1 nodes 50 nps 50000 pv e7e5 g1f3");
  t.Out("bestmove e7e5 ponder g1f3");
  t.In("go ponder");
  t.Wait(100);
  t.In("ponderhit");
  t.Out("bestmove e7e5");
  t.In("isready");
  t.Out("readyok");
  t.In("stop");   // nothing runs: no answer owed
  EXPECT_EQ(t.Fault(), "");
  EXPECT_FALSE(t.model.WorkOutstanding());
}

TEST(FuzzModel, IllegalMovesInAnswersAreFaults) {
  struct Case {
    const char* go;
    const char* answer;
    const char* fault;
  } cases[] = {
      {"go depth 1", "bestmove e2e5", "illegal bestmove"},
      {"go depth 1", "bestmove e7e5", "illegal bestmove"},               // the other side's move
      {"go depth 1", "bestmove e2e4 ponder e2e4", "illegal ponder move"},
      {"go depth 1 searchmoves d2d4", "bestmove e2e4", "outside the searchmoves"},
      {"go depth 1", "info depth 1 score cp 5 pv e2e4 e2e4", "illegal move in a pv"},
      {"go depth 1", "bestmove e2e4 extra", "malformed bestmove"},
      {"go depth 1", "info depth 1 score 5 pv e2e4", "malformed score"},
  };
  for (const Case& c : cases) {
    Transcript t;
    t.In(c.go);
    t.Out(c.answer);
    EXPECT_TRUE(Contains(t.Fault(), c.fault)) << c.go << " / " << c.answer << " gave \"" << t.Fault() << "\"";
  }
}

TEST(FuzzModel, PonderAndInfiniteAnswerOnlyAfterStopOrPonderhit) {
  Transcript t;
  t.In("go infinite");
  t.Out("bestmove e2e4");
  EXPECT_EQ(t.Fault(), "protocol: bestmove before stop/ponderhit (go infinite, legal position)");

  Transcript u;
  u.In("position fen 4k3/4R3/8/8/8/8/8/4K3 w - - 0 1");   // side not to move in check
  u.In("go wtime 1000 ponder");
  u.Out("bestmove 0000");
  EXPECT_EQ(u.Fault(), "protocol: bestmove before stop/ponderhit (go ponder, position failing the consistency check)");

  // After the stop, "bestmove 0000" is the answer for such a position.
  Transcript v;
  v.In("position fen 4k3/4R3/8/8/8/8/8/4K3 w - - 0 1");
  v.In("go infinite");
  v.In("stop");
  v.Out("bestmove 0000");
  EXPECT_EQ(v.Fault(), "");
}

TEST(FuzzModel, OneAnswerPerSearch) {
  Transcript t;
  t.In("go depth 1");
  t.Out("bestmove e2e4");
  t.In("stop");
  t.Out("bestmove e2e4");   // a repeat of an answered search
  EXPECT_EQ(t.Fault(), "protocol: bestmove without a search");
}

TEST(FuzzModel, CommandsDuringAPonderSearchAreRefusedAsTheEngineRefusesThem) {
  Transcript t;
  t.In("go ponder");
  EXPECT_EQ(t.model.NextGuard(), Guard::Refused);
  t.In("position startpos moves e2e4");   // dropped by the engine
  t.In("go depth 1");                     // dropped too: no second search
  t.In("stop");
  t.Out("bestmove e2e4");
  EXPECT_EQ(t.model.NextGuard(), Guard::Accepted);
  t.In("go depth 1");
  t.Out("bestmove d2d4");   // still White to move
  EXPECT_EQ(t.Fault(), "");

  // While a search that ends by itself runs, the fuzzer cannot know.
  Transcript u;
  u.In("go depth 5");
  EXPECT_EQ(u.model.NextGuard(), Guard::Unknown);
  u.In("position startpos moves e2e4");
  EXPECT_TRUE(u.model.Desynced());
  u.Out("bestmove e7e5");   // no longer judged
  EXPECT_EQ(u.Fault(), "");
}

TEST(FuzzModel, CommandsThatPrintMustPrintBeforeTheNextReadyok) {
  for (const char* command : {"uci", "d", "eval", "perft 1", "uci3"}) {
    Transcript t;
    t.In(command);
    t.In("isready");
    t.Out("readyok");
    EXPECT_TRUE(Contains(t.Fault(), "printed nothing")) << command;
  }
  Transcript t;
  t.In("uci");
  t.In("d");
  t.In("isready");
  t.Out("id name Tolvo");
  t.Out("uciok");
  t.Out("Fen: rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  t.Out("Key: 0123");
  t.Out("readyok");
  EXPECT_EQ(t.Fault(), "");
}

TEST(FuzzModel, GoeAnswerMovesTheGameAndMustNotSilenceLaterCommands) {
  Transcript t;
  t.In("goe depth 1");
  t.In("uci");   // silent while the goe search runs: not owed
  t.Out("e2e4 120 1 25 62");
  t.In("d");
  t.Out("Fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
  t.Out("Key: 1");
  EXPECT_EQ(t.Fault(), "");
  t.In("uci");
  t.In("isready");
  t.Out("readyok");
  EXPECT_EQ(t.Fault(), "output: \"uci\" printed nothing after the goe answer");

  Transcript u;
  u.In("goe depth 1");
  u.Out("e2e4 120 1 25 70");   // the material count is 62
  EXPECT_TRUE(Contains(u.Fault(), "material"));
}

TEST(FuzzModel, DisplayMustShowThePositionSetUp) {
  Transcript t;
  t.In("position startpos moves e2e4");
  t.In("d");
  t.Out("Fen: rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  EXPECT_TRUE(Contains(t.Fault(), "another position"));
}

TEST(FuzzModel, MissingAnswersBecomeHangs) {
  Transcript t;
  t.In("isready");
  t.Wait(t.timeouts.readyMs - 1);
  EXPECT_EQ(t.Fault(), "");
  t.Wait(2);
  EXPECT_EQ(t.Fault(), "hang: no readyok (idle)");

  Transcript u;
  u.In("go infinite");
  u.Wait(60000);   // an infinite search may run for ever
  u.In("stop");
  u.Wait(u.timeouts.stopMs + 1);
  EXPECT_EQ(u.Fault(), "hang: no answer after stop (go ponder/infinite)");

  // A goe search stopped without answer, overtaken by the next search's answer.
  Transcript v;
  v.In("goe");
  v.In("stop");
  v.In("go depth 1");
  v.Out("bestmove e2e4");
  EXPECT_EQ(v.Fault(), "hang: no answer after stop (goe)");

  // A "go" sent while another search may still run loses the model its
  // track; the answers that follow are not matched, so the stop given
  // earlier must not become a hang (a replay once reported one this way).
  Transcript w;
  w.In("position fen 4k3/8/8/8/8/8/8/4K3 w KQkq - 0 1");
  w.In("go wtime -2147483648");
  w.In("stop");
  w.In("go depth 1 movetime 7");
  w.In("go");
  w.Out("bestmove 0000");
  w.Out("bestmove 0000");
  w.Wait(w.timeouts.stopMs + 1);
  EXPECT_EQ(w.Fault(), "");

  // An isready held behind a count that may never end owes its readyok
  // only from the stop that ends the count; a short count owes it anyway.
  Transcript b;
  b.In("bench 2147483647");
  b.In("isready");
  b.Wait(600000);
  EXPECT_EQ(b.Fault(), "");
  b.In("stop");
  b.Wait(12 * b.timeouts.readyMs + 1);
  EXPECT_EQ(b.Fault(), "hang: no readyok (idle)");
  Transcript c;
  c.In("bench 1");
  c.In("isready");
  c.Wait(12 * c.timeouts.readyMs + 1);
  EXPECT_EQ(c.Fault(), "hang: no readyok (bench)");
}

TEST(FuzzModel, CountsMustAddUpAndSurviveQuit) {
  Transcript t;
  t.In("perft 1");
  for (const char* move : {"a2a3", "b2b3", "c2c3", "d2d3", "e2e3", "f2f3", "g2g3", "h2h3", "a2a4", "b2b4", "c2c4",
                           "d2d4", "e2e4", "f2f4", "g2g4", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3"})
    t.Out(std::string(move) + ": 1");
  t.Out("Nodes searched: 20");
  t.Out("Nodes/second: 1");
  EXPECT_EQ(t.Fault(), "");

  Transcript u;
  u.In("perft 1");
  u.Out("e2e4: 1");
  u.Out("Nodes searched: 2");
  EXPECT_TRUE(Contains(u.Fault(), "differs from the sum"));

  Transcript v;
  v.In("perft 5");
  v.In("quit");
  v.model.OnExit();
  EXPECT_EQ(v.Fault(), "output: \"perft\" lost at quit");

  Transcript w;   // a search cut short by quit owes nothing
  w.In("go infinite");
  w.In("quit");
  w.model.OnExit();
  EXPECT_EQ(w.Fault(), "");
}

TEST(FuzzModel, InputSplitLikeTheEngineReadsIt) {
  Transcript t;
  t.model.OnInput("isre", t.now);
  EXPECT_EQ(t.model.ReadyOutstanding(), 0);
  t.model.OnInput("ady\nisready\r\n", t.now);
  EXPECT_EQ(t.model.ReadyOutstanding(), 2);
  // The tail of an over-long line is dropped, not read as commands.
  t.model.OnInput(std::string(fuzz::EngineLineCap + 70000, 'x') + " isready\nisready", t.now);
  EXPECT_EQ(t.model.ReadyOutstanding(), 2);
  t.model.OnInputEnd(t.now);   // a last line without line feed counts
  EXPECT_EQ(t.model.ReadyOutstanding(), 3);
  EXPECT_FALSE(t.model.Desynced());
  // Just past the cap, whether the engine cuts the line depends on its reads.
  t.model.OnInput(std::string(fuzz::EngineLineCap + 10, 'x') + "\n", t.now);
  EXPECT_TRUE(t.model.Desynced());
}

TEST(FuzzModel, LateGoeAnswerDoesNotUndoALaterPositionChange) {
  Transcript t;
  t.In("goe");
  t.In("stop");
  t.In("tt 1");   // read after the goe answer went out; ends on its own second position
  t.Out("e2e4 100 1 20 62");
  t.Out("bestmove e7e5");
  t.Out("bestmove c2d2");
  t.Out("bestmove g7g4");
  t.In("go depth 1");
  t.Out("bestmove g7g4");   // Black to move there
  EXPECT_EQ(t.Fault(), "");
}

TEST(FuzzModel, MissingAnswerIsBlamedOnTheSilentSpell) {
  Transcript t;
  t.In("goe");
  t.In("stop");
  t.Out("e2e4 100 1 20 62");
  t.In("eval");   // silent: the goe mode lasts
  t.In("go depth 1");
  t.Out("bestmove e7e5");
  t.In("eval");   // answers
  t.In("isready");
  t.Out("Total evaluation: 5");
  t.Out("readyok");
  EXPECT_EQ(t.Fault(), "output: \"eval\" printed nothing after the goe answer");
}

TEST(FuzzModel, StoppedCountOvertakenByASearchNeverAnswered) {
  Transcript t;
  t.In("goe");
  t.In("stop");
  t.Out("e2e4 100 1 20 62");
  t.In("perft 3");   // silent after the goe answer
  t.In("stop");
  t.In("go depth 3");
  t.Out("info depth 1");
  EXPECT_EQ(t.Fault(), "output: \"perft\" printed nothing after the goe answer");
}

TEST(FuzzModel, NullMoveInCheckLeavesAPositionThatMustStillWaitForStop) {
  Transcript t;
  t.In("position startpos moves e2e4 f7f6 d1h5 0000");   // Black in check, White to move
  EXPECT_TRUE(t.model.Game().known);
  EXPECT_FALSE(t.model.Game().Legal());
  t.In("go ponder");
  t.Out("bestmove 0000");
  EXPECT_EQ(t.Fault(), "protocol: bestmove before stop/ponderhit (go ponder, position failing the consistency check)");
}

TEST(FuzzModel, SlaveSearchesAreSilentUntilTheirBestMove) {
  Transcript t;
  t.In("go slave 2 depth 3");
  t.In("uci");   // nothing owed while the slave level silences the engine
  t.In("isready");
  t.Out("readyok");
  t.Out("bestmove e2e4");   // its end is announced
  EXPECT_EQ(t.Fault(), "");
  t.In("uci");
  t.In("isready");
  t.Out("readyok");
  EXPECT_EQ(t.Fault(), "output: \"uci\" printed nothing");

  Transcript u;   // a stopped slave search owes its answer
  u.In("go slave 1 infinite");
  u.In("stop");
  u.Wait(u.timeouts.stopMs + 1);
  EXPECT_EQ(u.Fault(), "hang: no answer after stop (go ponder/infinite)");

  Transcript v;   // once the engine has read the go line, no info string until the answer
  v.In("setoption name MultiPV value 2");
  v.In("go slave 1 depth 9");
  v.Out("info string Displaying 2 variations.");   // written before the go was read
  v.In("isready");
  v.Out("readyok");
  EXPECT_EQ(v.Fault(), "");
  v.Out("info string Displaying 2 variations.");
  EXPECT_EQ(v.Fault(), "protocol: info string during a search that reports nothing (go)");
}

TEST(FuzzModel, DeniedAndTakenMovesNeverComeBack) {
  struct Case {
    std::vector<const char*> in;   // "<" lines are output, the rest input
    const char* fault;
  } cases[] = {
      // Read during the search (its readyok came first): e2e4 is gone.
      {{"go slave 2 depth 9", "deny e2e4", "isready", "<readyok", "<bestmove e2e4"}, "no longer holds"},
      {{"go slave 2 movetime 900 id 7", "deny e2e4", "isready", "<readyok", "<7 20 15 1000 e2e4 e7e5"},
       "result line starts with a root move"},
      {{"go depth 9", "setoption name MultiPV value 3", "deny d2d4", "isready", "<readyok",
        "<info depth 5 score cp 9 pv d2d4 d7d5"},
       "pv starts with a root move"},
      {{"go slave 1 depth 9", "take d2d4", "isready", "<readyok", "<bestmove e2e4"}, "no longer holds"},
      {{"go slave 1 depth 9", "TAKE D2D4", "isready", "<readyok", "<bestmove d2d4"}, ""},   // read in either case
      {{"go slave 2 depth 9", "deny e2e4", "isready", "<readyok", "<bestmove d2d4"}, ""},
      // Maybe read after the search had ended: nothing is known.
      {{"go slave 2 depth 9", "deny e2e4", "<bestmove e2e4"}, ""},
      // Refused: one line (MultiPV 1), or read after the stop.
      {{"go slave 1 depth 9", "deny e2e4", "isready", "<readyok", "<bestmove e2e4"}, ""},
      {{"go slave 2 infinite", "stop", "deny e2e4", "isready", "<bestmove e2e4"}, ""},
      // "slave N" leaves MultiPV at N: a later plain search takes denials too.
      {{"go slave 3 depth 1", "<bestmove e2e4", "go depth 9", "deny e2e4", "isready", "<readyok", "<bestmove e2e4"},
       "no longer holds"},
      // A ponder search may have ended before the deny: only its own later output shows it had not.
      {{"go slave 2 infinite", "deny e2e4", "isready", "<readyok", "stop", "<bestmove e2e4"}, ""},
      {{"go slave 2 infinite", "deny e2e4", "isready", "<readyok", "<posting 20 5 abc123 g8f6", "stop",
        "<bestmove e2e4"},
       "no longer holds"},
      // MultiPV carries over: known after a stop (lines after it come too late), not when a deny may have come in time.
      {{"go slave 2 infinite", "stop", "deny e2e4", "<bestmove d2d4", "go depth 9", "deny d2d4", "isready", "<readyok",
        "<bestmove d2d4"},
       "no longer holds"},
      {{"go slave 2 depth 1", "deny e2e4", "<bestmove d2d4", "go depth 9", "deny d2d4", "isready", "<readyok",
        "<bestmove d2d4"},
       ""},
      // The controller's lines name the search they answer.
      {{"go slave 1 depth 9 id 4", "<5 20 15 1000 e2e4"}, "another job"},
      {{"go slave 1 depth 9 id 4", "<4 20 15 1000 e2e4 e2e4"}, "illegal move in a result line"},
  };
  for (const Case& c : cases) {
    Transcript t;
    std::string script;
    for (const char* line : c.in) {
      script += std::string(line) + "; ";
      if (line[0] == '<') t.Out(line + 1);
      else t.In(line);
    }
    if (*c.fault) EXPECT_TRUE(Contains(t.Fault(), c.fault)) << script << " gave \"" << t.Fault() << "\"";
    else EXPECT_EQ(t.Fault(), "") << script;
  }
}

TEST(FuzzModel, ClockedSlaveSearchTakesBeforeItsBestMove) {
  struct Case {
    std::vector<const char*> in;
    const char* fault;
  } cases[] = {
      {{"go slave 1 wtime 5000 btime 5000 id 3", "<bestmove e2e4"}, "answered without \"taking\""},
      {{"go slave 1 wtime 5000 btime 5000 id 3", "<taking 3 e2e4", "<bestmove e2e4"}, ""},
      {{"go slave 1 wtime 5000 btime 5000 id 3", "<taking 3 e2e4", "<bestmove d2d4"}, "no longer holds"},
      {{"go slave 1 wtime 5000 btime 5000 id 3", "<taking 3 e2e4", "<taking 3 e2e4"}, "twice"},
      {{"go slave 1 wtime 5000 btime 5000 id 3", "<taking 4 e2e4"}, "another job"},
      {{"go wtime 5000 btime 5000", "<taking 0 e2e4"}, "without slave"},
      {{"go slave 1 infinite", "<taking 0 e2e4"}, "ponder/infinite"},
      {{"go slave 2 wtime 5000 btime 5000", "<taking 0 e2e4"}, "cannot take"},   // two lines
      {{"go slave 2 wtime 5000 btime 5000", "deny e2e4", "isready", "<readyok", "<taking 0 e2e4"}, "cannot take"},
      {{"go slave 1 wtime 5000 btime 5000", "take d2d4", "isready", "<readyok", "<taking 0 d2d4"}, "cannot take"},
      // One line fewer after a deny: then it owes one.
      {{"go slave 2 wtime 5000 btime 5000", "deny e2e4", "isready", "<readyok", "<bestmove d2d4"}, "without"},
      // Not owed: two lines, a stop, another limit, no slave, a search that may run out of depth, other time rules.
      {{"go slave 2 wtime 5000 btime 5000", "<bestmove e2e4"}, ""},
      {{"go slave 2 wtime 5000 btime 5000", "deny e2e4", "<bestmove d2d4"}, ""},   // the deny may have come late
      {{"go slave 1 wtime 5000 btime 5000", "stop", "<bestmove e2e4"}, ""},
      {{"go slave 1 wtime 5000 btime 5000 depth 20", "<bestmove e2e4"}, ""},
      {{"go slave 0 wtime 5000 btime 5000", "<bestmove e2e4"}, ""},
      {{"position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", "go slave 1 wtime 5000 btime 5000", "<bestmove d1d8"}, ""},
      {{"setoption name TC Hard Move Depth value 3", "go slave 1 wtime 5000 btime 5000", "<bestmove e2e4"}, ""},
  };
  for (const Case& c : cases) {
    Transcript t;
    std::string script;
    for (const char* line : c.in) {
      script += std::string(line) + "; ";
      if (line[0] == '<') t.Out(line + 1);
      else t.In(line);
    }
    if (*c.fault) EXPECT_TRUE(Contains(t.Fault(), c.fault)) << script << " gave \"" << t.Fault() << "\"";
    else EXPECT_EQ(t.Fault(), "") << script;
  }
}

TEST(FuzzModel, PostingLinesComeOnlyFromSlaveSearchesAndPlayRefusalsAreSaid) {
  Transcript t;
  t.In("go slave 1 depth 9");
  t.Out("posting 20 -8 af69d8f30fa0a362 g8f6");
  EXPECT_EQ(t.Fault(), "");
  t.Out("posting 20 -8 AF69D8F30FA0A362 g8f6");
  EXPECT_EQ(t.Fault(), "protocol: malformed posting line");
  Transcript u;
  u.In("go depth 9");
  u.Out("posting 20 -8 af69d8f30fa0a362 g8f6");
  EXPECT_EQ(u.Fault(), "protocol: posting in a search without slave");

  Transcript v;
  v.In("play e2e5");
  v.In("play e2e4");   // legal: nothing to say
  v.In("isready");
  v.Out("readyok");
  EXPECT_EQ(v.Fault(), "output: \"play\" printed nothing");
}

TEST(FuzzModel, EndOfInputDuringACountOwesNothingMore) {
  for (const bool quit : {false, true}) {
    Transcript t;
    t.In("bench");
    t.In("hqz5");
    if (quit) t.In("quit");
    t.model.OnInputEnd(t.now);
    t.model.OnExit();
    // "quit" lets the count finish and answers what came before it; the end of input does not wait.
    EXPECT_EQ(t.Fault().empty(), !quit) << t.Fault();
  }
}
