// Conventional debugging commands: "perft N", "d" (the board, its FEN and
// key), "eval" (the evaluation's terms) and, in the tuning build, "params FILE".
#include <cstdlib>
#include <cinttypes>
#include <fstream>
#include <sstream>
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "board/perft.h"
#include "common/output.h"
#include "driver/engine.h"
#include "eval/eval_params.h"
#include "eval/evaluate.h"
#include "group/process_group.h"

namespace {
constexpr int MaxPerftDepth = 30;

// Handles waiting command lines during a count ("stop" ends it, a "quit"
// waits for its result, the end of the input ends the engine).
void PerftPoll() { PollInput(); }

template <Color C> uint64_t DivideMove(Position& p, Move m, int depth) {
  UndoRecord undo;
  MakeMove<C>(p, undo, m);
  uint64_t n = Perft(p, depth - 1, PerftPoll);
  UnmakeMove<C>(p, undo, m);
  return n;
}
}  // namespace

void HandlePerft(const std::string& line) {
  int depth = std::atoi(line.c_str() + line.find("perft") + 5);
  if (depth < 1) depth = 1;
  if (depth > MaxPerftDepth) depth = MaxPerftDepth;
  Position& p = Engine.position;
  if (!CheckPositionConsistency(p)) {
    InfoString("perft needs a legal position");
    return;
  }
  const Position saved = p;
  MoveList moves;
  GenerateLegalMoves(p, moves);
  const uint64_t start = platform::NowMs();
  uint64_t total = 0;
  Engine.searching = true;
  Engine.commandRunning = true;
  try {
    for (Move m : moves) {
      uint64_t n = p.sideToMove == White ? DivideMove<White>(p, m, depth) : DivideMove<Black>(p, m, depth);
      total += n;
      Send("%s: %" PRIu64, MoveToText(m).c_str(), n);
    }
  } catch (const SearchStopped&) {
    p = saved;
    Engine.searching = Engine.commandRunning = false;
    InfoString("perft stopped");
    return;
  }
  Engine.searching = Engine.commandRunning = false;
  const uint64_t elapsed = platform::NowMs() - start;
  Send("%s", "");
  Send("Nodes searched: %" PRIu64, total);
  Send("Time: %" PRIu64 " ms", elapsed);
  Send("Nodes/second: %" PRIu64, total * 1000 / (elapsed ? elapsed : 1));
}

void HandleDisplay() {
  const Position& p = Engine.position;
  Send(" +---+---+---+---+---+---+---+---+");
  for (int rank = 7; rank >= 0; --rank) {
    char row[64];
    int n = 0;
    for (int file = 0; file < 8; ++file)
      n += std::snprintf(row + n, sizeof row - n, " | %c",
                         PieceLetters[p.CodeAt(MakeSquare(file, rank))] == '.'
                             ? ' '
                             : PieceLetters[p.CodeAt(MakeSquare(file, rank))]);
    Send("%s | %d", row, rank + 1);
    Send(" +---+---+---+---+---+---+---+---+");
  }
  Send("   a   b   c   d   e   f   g   h");
  Send("%s", "");
  Send("Fen: %s %u %d", PositionToFen(p).c_str(), p.st.fifty, 1 + Engine.gamePlies / 2);
  Send("Key: %016" PRIX64, p.st.key);
}

void HandleEvalCommand() {
  const Position& p = Engine.position;
  if (!CheckPositionConsistency(p)) {
    InfoString("eval needs a legal position");
    return;
  }
  const std::string report = EvaluationReport(p);
  size_t start = 0;
  while (start < report.size()) {
    size_t end = report.find('\n', start);
    if (end == std::string::npos) end = report.size();
    Send("%s", report.substr(start, end - start).c_str());
    start = end + 1;
  }
}

#ifdef TOLVO_TUNING
void HandleParamsCommand(const std::string& line) {
  size_t start = line.find_first_not_of(" \t", line.find("params") + 6);
  std::string path = start == std::string::npos ? std::string() : line.substr(start);
  while (!path.empty() && (path.back() == '\r' || path.back() == ' ')) path.pop_back();
  std::ifstream in(path);
  if (path.empty() || !in) {
    InfoString("params: cannot read '%s'", path.c_str());
    return;
  }
  std::stringstream text;
  text << in.rdbuf();
  EvalParams params = Params;
  std::string error;
  if (!ParseEvalParams(text.str(), params, error)) {
    InfoString("params: %s: %s; weights unchanged", path.c_str(), error.c_str());
    return;
  }
  SetEvalParams(params);
  // The position's piece-square sum and every cached evaluation are stale.
  Engine.position.st.pstSum = ComputePstSum(Engine.position);
  SendToChildren(line);
  NewGameReset();
  InfoString("params: loaded %s", path.c_str());
}
#endif
