// Moves of the front end ("position ... moves", "play") and the key history.
#include <algorithm>
#include <cstring>
#include "board/make_move.h"

namespace {
// Keys kept when the history is trimmed. Any count of 100 or more keeps the
// fifty-move rule's verdict, and no repetition lies further back than that.
constexpr uint32_t KeptHistory = 320;
// Trim before this many keys so that a search path of any allowed depth fits.
constexpr uint32_t TrimThreshold = HistorySize - 320;
}  // namespace

void TrimHistory(Position& p) {
  StateBlock& st = p.st;
  if (st.historyCount <= TrimThreshold) return;
  if (st.fifty > KeptHistory) st.fifty = KeptHistory;
  uint32_t keep = std::min(st.fifty, st.historyCount);
  std::memmove(p.history, p.history + (st.historyCount - keep), keep * sizeof(uint64_t));
  st.historyCount = keep;
}

void MakeRootMove(Position& p, Move m) {
  TrimHistory(p);
  UndoRecord undo;   // a move of the game is not taken back
  if (m != NullRootMove) return MakeMoveOfSideToMove(p, undo, m);
  if (p.sideToMove == White) MakeNullMove<White>(p, undo);
  else MakeNullMove<Black>(p, undo);
  p.st.fifty = 0;
}
