// Placeholder root search: plays the first legal move after pretending to
// search in iterations, honouring the periodic check and the limits.
#include "board/movegen.h"
#include "board/notation.h"
#include "common/output.h"
#include "platform/platform.h"
#include "search/search.h"

void SetPhaseParameters(const Position&) {}
void NewGameSearchReset() {}

void RootSearch(Position& p) {
  MoveList moves;
  GenerateLegalMoves(p, moves);
  Search.rootMoveCount = 0;
  for (Move m : moves) {
    RootMove& rm = Search.rootMoves[Search.rootMoveCount++];
    rm = RootMove{};
    rm.move = m;
    rm.pv = MoveToText(m);
  }
  Search.rootMoves[Search.rootMoveCount] = RootMove{};
  Search.bestMove = moves.size ? moves.moves[0] : 0;
  Search.nodes = 0;
  Search.countdown = 4096;
  const Position saved = p;
  try {
    for (int d = 8; d <= 125 && moves.size; d += 2) {
      if (d > 7) Send("info depth %d", d / 2 - 3);
      for (int i = 0; i < 20000 * d; ++i) {
        ++Search.nodes;
        if (--Search.countdown <= 0) PeriodicCheck();
      }
      RootMove& best = Search.rootMoves[0];
      best.depth = d;
      best.time = ElapsedMs() + 1;
      best.nodes = Search.nodes;
      ReportPvLine(0, false, best);
      if (d >= Limits.depthLimit || Search.nodes > Limits.nodeLimit) break;
      if (ElapsedMs() >= Limits.targetTime || ElapsedMs() >= Limits.maximumTime / 4) break;
    }
  } catch (const SearchStopped&) {
    p = saved;
  }
}
