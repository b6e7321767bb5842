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
  // A script: "<line" is the engine's output; "~ready", "~stop" and "~count"
  // let the time of a readyok, of a stop's answer and of a readyok behind a
  // count pass, "~N" N ms, each with an optional offset ("~stop+1"); "="
  // checks that nothing is wrong yet; "!end" closes the input and "!exit"
  // ends the process. Anything else is input.
  void Play(const std::vector<const char*>& script) {
    for (const std::string line : script) {
      if (line[0] == '<') Out(line.substr(1));
      else if (line == "=") EXPECT_EQ(Fault(), "") << "too early";
      else if (line == "!end") model.OnInputEnd(now);
      else if (line == "!exit") model.OnExit();
      else if (line[0] != '~') In(line);
      else {
        const size_t sign = line.find_first_of("+-");
        const std::string name = line.substr(1, sign == std::string::npos ? std::string::npos : sign - 1);
        const int offset = sign == std::string::npos ? 0 : std::stoi(line.substr(sign));
        const int count = timeouts.readyMs * fuzz::Timeouts::countReadyFactor;
        Wait(offset + (name == "ready" ? timeouts.readyMs : name == "stop" ? timeouts.stopMs
                       : name == "count" ? count : name.empty() ? 0 : std::stoi(name)));
      }
    }
  }
};

// Scripts and the fault each must raise (a part of its signature; "" for none).
struct Case {
  std::vector<const char*> script;
  const char* fault;
};
void ExpectFaults(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    std::string text;
    for (const char* line : c.script) text += std::string(line) + "; ";
    SCOPED_TRACE(text);
    Transcript t;
    t.Play(c.script);
    if (*c.fault) EXPECT_NE(t.Fault().find(c.fault), std::string::npos) << "gave \"" << t.Fault() << "\"";
    else EXPECT_EQ(t.Fault(), "");
  }
}
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
  for (const char* fen : {StartFen, "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
                          "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",
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

TEST(FuzzModel, CorrectTranscriptsRaiseNothing) {
  Transcript t;
  t.Play({"position startpos moves e2e4", "go depth 2 searchmoves e7e5 d7d5",
          "<info depth 2 score cp 10 time 1 nodes 50 nps 50000 pv e7e5 g1f3", "<bestmove e7e5 ponder g1f3",
          "go ponder", "~100", "ponderhit", "<bestmove e7e5", "isready", "<readyok",
          "stop"});   // nothing runs: no answer owed
  EXPECT_EQ(t.Fault(), "");
  EXPECT_FALSE(t.model.WorkOutstanding());
  // A count whose lines add up, one line per legal move.
  Transcript u;
  u.In("perft 1");
  fuzz::GameState start;
  MoveList list;
  GenerateLegalMoves(start.position, list);
  for (int i = 0; i < list.size; ++i) u.Out(MoveToText(list.moves[i]) + ": 1");
  u.Out("Nodes searched: " + std::to_string(list.size));
  u.Out("Nodes/second: 1");
  EXPECT_EQ(u.Fault(), "");
}

TEST(FuzzModel, AnswersAreCheckedAgainstTheGame) {
  ExpectFaults({
      {{"go depth 1", "<bestmove e2e5"}, "illegal bestmove"},
      {{"go depth 1", "<bestmove e7e5"}, "illegal bestmove"},   // the other side's move
      {{"go depth 1", "<bestmove e2e4 ponder e2e4"}, "illegal ponder move"},
      {{"go depth 1 searchmoves d2d4", "<bestmove e2e4"}, "outside the searchmoves"},
      {{"go depth 1", "<info depth 1 score cp 5 pv e2e4 e2e4"}, "illegal move in a pv"},
      {{"go depth 1", "<bestmove e2e4 extra"}, "malformed bestmove"},
      {{"go depth 1", "<info depth 1 score 5 pv e2e4"}, "malformed score"},
      {{"go depth 1", "<bestmove e2e4", "stop", "<bestmove e2e4"}, "protocol: bestmove without a search"},
      {{"position startpos moves e2e4", "d",
        "<Fen: rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"},
       "another position"},
      {{"goe depth 1", "<e2e4 120 1 25 70"}, "material"},   // the material count is 62
      {{"perft 1", "<e2e4: 1", "<Nodes searched: 2"}, "differs from the sum"},
      // A late goe answer does not undo the position change of a later "tt" (which ends Black to move).
      {{"goe", "stop", "tt 1", "<e2e4 100 1 20 62", "<bestmove e7e5", "<bestmove c2d2", "<bestmove g7g4",
        "go depth 1", "<bestmove g7g4"},
       ""},
  });
}

TEST(FuzzModel, PonderAndInfiniteAnswerOnlyAfterStopOrPonderhit) {
  ExpectFaults({
      {{"go infinite", "<bestmove e2e4"},
       "protocol: bestmove before stop/ponderhit (go infinite, legal position)"},
      // The side not to move in check; and Black in check after a null move.
      {{"position fen 4k3/4R3/8/8/8/8/8/4K3 w - - 0 1", "go wtime 1000 ponder", "<bestmove 0000"},
       "protocol: bestmove before stop/ponderhit (go ponder, position failing the consistency check)"},
      {{"position startpos moves e2e4 f7f6 d1h5 0000", "go ponder", "<bestmove 0000"},
       "protocol: bestmove before stop/ponderhit (go ponder, position failing the consistency check)"},
      // After the stop, "bestmove 0000" is the answer for such a position.
      {{"position fen 4k3/4R3/8/8/8/8/8/4K3 w - - 0 1", "go infinite", "stop", "<bestmove 0000"}, ""},
  });
}

TEST(FuzzModel, CommandsDuringAPonderSearchAreRefusedAsTheEngineRefusesThem) {
  Transcript t;
  t.In("go ponder");
  EXPECT_EQ(t.model.NextGuard(), Guard::Refused);
  t.Play({"position startpos moves e2e4", "go depth 1", "stop", "<bestmove e2e4"});   // both dropped
  EXPECT_EQ(t.model.NextGuard(), Guard::Accepted);
  t.Play({"go depth 1", "<bestmove d2d4"});   // still White to move
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

TEST(FuzzModel, OwedOutputMustComeBeforeTheNextReadyokOrTheEnd) {
  ExpectFaults({
      {{"uci", "isready", "<readyok"}, "printed nothing"},
      {{"d", "isready", "<readyok"}, "printed nothing"},
      {{"eval", "isready", "<readyok"}, "printed nothing"},
      {{"perft 1", "isready", "<readyok"}, "printed nothing"},
      {{"uci3", "isready", "<readyok"}, "printed nothing"},
      // A refused move is said; a legal one is silent.
      {{"play e2e5", "play e2e4", "isready", "<readyok"}, "output: \"play\" printed nothing"},
      {{"uci", "d", "isready", "<id name Tolvo", "<uciok",
        "<Fen: rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "<Key: 0123", "<readyok"},
       ""},
      {{"perft 5", "quit", "!exit"}, "output: \"perft\" lost at quit"},
      {{"go infinite", "quit", "!exit"}, ""},   // a search cut short by quit owes nothing
      // "quit" lets a count finish and answers what came before it; the end of input does not wait.
      {{"bench", "hqz5", "quit", "!end", "!exit"}, "output: \"hqz5\" printed nothing during bench"},
      {{"bench", "hqz5", "!end", "!exit"}, ""},
  });
}

TEST(FuzzModel, MissingAnswersBecomeHangs) {
  ExpectFaults({
      {{"isready", "~ready-1", "=", "~2"}, "hang: no readyok (idle)"},
      {{"go infinite", "~60000", "=", "stop", "~stop+1"}, "hang: no answer after stop (go ponder/infinite)"},
      {{"go slave 1 infinite", "stop", "~stop+1"}, "hang: no answer after stop (go ponder/infinite)"},
      // A goe search stopped without answer, overtaken by the next search's answer.
      {{"goe", "stop", "go depth 1", "<bestmove e2e4"}, "hang: no answer after stop (goe)"},
      // A "go" sent while another search may still run loses the model its
      // track; the answers that follow are not matched, so the stop given
      // earlier must not become a hang (a replay once reported one this way).
      {{"position fen 4k3/8/8/8/8/8/8/4K3 w KQkq - 0 1", "go wtime -2147483648", "stop",
        "go depth 1 movetime 7", "go", "<bestmove 0000", "<bestmove 0000", "~stop+1"},
       ""},
      // An isready held behind a count that may never end owes its readyok
      // only from the stop that ends the count; a short count owes it anyway.
      {{"bench 2147483647", "isready", "~600000", "=", "stop", "~count+1"}, "hang: no readyok (idle)"},
      {{"bench 1", "isready", "~count+1"}, "hang: no readyok (bench)"},
  });
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

// A goe search, a slave search and their answers silence the engine for a
// while; what it then owes is blamed on the silent spell.
TEST(FuzzModel, SilentSpellsEndWithTheirAnswers) {
  ExpectFaults({
      // Silent while the goe search runs: not owed. After its answer the game has moved on.
      {{"goe depth 1", "uci", "<e2e4 120 1 25 62", "d",
        "<Fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1", "<Key: 1", "=", "uci", "isready",
        "<readyok"},
       "output: \"uci\" printed nothing after the goe answer"},
      {{"goe", "stop", "<e2e4 100 1 20 62", "eval", "go depth 1", "<bestmove e7e5", "eval", "isready",
        "<Total evaluation: 5", "<readyok"},
       "output: \"eval\" printed nothing after the goe answer"},
      {{"goe", "stop", "<e2e4 100 1 20 62", "perft 3", "stop", "go depth 3", "<info depth 1"},
       "output: \"perft\" printed nothing after the goe answer"},
      // Nothing owed while the slave level silences the engine; its end is announced.
      {{"go slave 2 depth 3", "uci", "isready", "<readyok", "<bestmove e2e4", "=", "uci", "isready",
        "<readyok"},
       "output: \"uci\" printed nothing"},
      // Once the engine has read the go line, no info string until the answer.
      {{"setoption name MultiPV value 2", "go slave 1 depth 9", "<info string Displaying 2 variations.",
        "isready", "<readyok", "=", "<info string Displaying 2 variations."},
       "protocol: info string during a search that reports nothing (go)"},
  });
}

TEST(FuzzModel, DeniedAndTakenMovesNeverComeBack) {
  ExpectFaults({
      // Read during the search (its readyok came first): e2e4 is gone.
      {{"go slave 2 depth 9", "deny e2e4", "isready", "<readyok", "<bestmove e2e4"}, "no longer holds"},
      {{"go slave 2 movetime 900 id 7", "deny e2e4", "isready", "<readyok", "<7 20 15 1000 e2e4 e7e5"},
       "result line starts with a root move"},
      {{"go depth 9", "setoption name MultiPV value 3", "deny d2d4", "isready", "<readyok",
        "<info depth 5 score cp 9 pv d2d4 d7d5"},
       "pv starts with a root move"},
      {{"go slave 1 depth 9", "take d2d4", "isready", "<readyok", "<bestmove e2e4"}, "no longer holds"},
      {{"go slave 1 depth 9", "TAKE D2D4", "isready", "<readyok", "<bestmove d2d4"}, ""},   // either case
      {{"go slave 2 depth 9", "deny e2e4", "isready", "<readyok", "<bestmove d2d4"}, ""},
      // Maybe read after the search had ended: nothing is known.
      {{"go slave 2 depth 9", "deny e2e4", "<bestmove e2e4"}, ""},
      // Refused: one line (MultiPV 1), or read after the stop.
      {{"go slave 1 depth 9", "deny e2e4", "isready", "<readyok", "<bestmove e2e4"}, ""},
      {{"go slave 2 infinite", "stop", "deny e2e4", "isready", "<bestmove e2e4"}, ""},
      // "slave N" leaves MultiPV at N: a later plain search takes denials too.
      {{"go slave 3 depth 1", "<bestmove e2e4", "go depth 9", "deny e2e4", "isready", "<readyok",
        "<bestmove e2e4"},
       "no longer holds"},
      // A ponder search may have ended before the deny: only its own later output shows it had not.
      {{"go slave 2 infinite", "deny e2e4", "isready", "<readyok", "stop", "<bestmove e2e4"}, ""},
      {{"go slave 2 infinite", "deny e2e4", "isready", "<readyok", "<posting 20 5 abc123 g8f6", "stop",
        "<bestmove e2e4"},
       "no longer holds"},
      // MultiPV carries over: known after a stop (lines after it come too late), not when a deny may have
      // come in time.
      {{"go slave 2 infinite", "stop", "deny e2e4", "<bestmove d2d4", "go depth 9", "deny d2d4", "isready",
        "<readyok", "<bestmove d2d4"},
       "no longer holds"},
      {{"go slave 2 depth 1", "deny e2e4", "<bestmove d2d4", "go depth 9", "deny d2d4", "isready", "<readyok",
        "<bestmove d2d4"},
       ""},
      // The controller's lines name the search they answer.
      {{"go slave 1 depth 9 id 4", "<5 20 15 1000 e2e4"}, "another job"},
      {{"go slave 1 depth 9 id 4", "<4 20 15 1000 e2e4 e2e4"}, "illegal move in a result line"},
      // Posting lines come only from slave searches, in lower-case hex.
      {{"go slave 1 depth 9", "<posting 20 -8 af69d8f30fa0a362 g8f6", "=",
        "<posting 20 -8 AF69D8F30FA0A362 g8f6"},
       "protocol: malformed posting line"},
      {{"go depth 9", "<posting 20 -8 af69d8f30fa0a362 g8f6"}, "protocol: posting in a search without slave"},
  });
}

TEST(FuzzModel, ClockedSlaveSearchTakesBeforeItsBestMove) {
  const char* clocked = "go slave 1 wtime 5000 btime 5000 id 3";
  const char* oneLine = "go slave 1 wtime 5000 btime 5000";
  const char* twoLines = "go slave 2 wtime 5000 btime 5000";
  ExpectFaults({
      {{clocked, "<bestmove e2e4"}, "answered without \"taking\""},
      {{clocked, "<taking 3 e2e4", "<bestmove e2e4"}, ""},
      {{clocked, "<taking 3 e2e4", "<bestmove d2d4"}, "no longer holds"},
      {{clocked, "<taking 3 e2e4", "<taking 3 e2e4"}, "twice"},
      {{clocked, "<taking 4 e2e4"}, "another job"},
      {{"go wtime 5000 btime 5000", "<taking 0 e2e4"}, "without slave"},
      {{"go slave 1 infinite", "<taking 0 e2e4"}, "ponder/infinite"},
      {{twoLines, "<taking 0 e2e4"}, "cannot take"},
      {{twoLines, "deny e2e4", "isready", "<readyok", "<taking 0 e2e4"}, "cannot take"},
      {{oneLine, "take d2d4", "isready", "<readyok", "<taking 0 d2d4"}, "cannot take"},
      // One line fewer after a deny: then it owes one.
      {{twoLines, "deny e2e4", "isready", "<readyok", "<bestmove d2d4"}, "without"},
      // Not owed: two lines, a stop, another limit, no slave, a search that may run out of depth,
      // other time rules.
      {{twoLines, "<bestmove e2e4"}, ""},
      {{twoLines, "deny e2e4", "<bestmove d2d4"}, ""},   // the deny may have come late
      {{oneLine, "stop", "<bestmove e2e4"}, ""},
      {{"go slave 1 wtime 5000 btime 5000 depth 20", "<bestmove e2e4"}, ""},
      {{"go slave 0 wtime 5000 btime 5000", "<bestmove e2e4"}, ""},
      {{"position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", oneLine, "<bestmove d1d8"}, ""},
      {{"setoption name TC Hard Move Depth value 3", oneLine, "<bestmove e2e4"}, ""},
  });
}
