#include "board/perft.h"

#include "board/make_move.h"
#include "board/movegen.h"

namespace {
PerftInterrupt currentInterrupt = nullptr;
uint32_t interruptCountdown = 0;

template <Color C> uint64_t PerftOf(Position& p, int depth) {
  Move moves[MaxMoves];
  Move* end = GenerateLegal<C>(p, moves);
  if (depth <= 1) return uint64_t(end - moves);   // leaves are counted, not made
  // Most interior nodes sit just above the leaves and cost a few microseconds:
  // a look at the input every 64 of them answers "stop" within a millisecond.
  if (currentInterrupt && ++interruptCountdown % 64 == 0) currentInterrupt();
  uint64_t nodes = 0;
  UndoRecord undo;
  for (Move* m = moves; m < end; ++m) {
    MakeMove<C>(p, undo, *m);
    nodes += PerftOf<Opponent(C)>(p, depth - 1);
    UnmakeMove<C>(p, undo, *m);
  }
  return nodes;
}
}  // namespace

uint64_t Perft(Position& p, int depth, PerftInterrupt interrupt) {
  if (depth <= 0) return 1;
  currentInterrupt = interrupt;
  return p.sideToMove == White ? PerftOf<White>(p, depth) : PerftOf<Black>(p, depth);
}
