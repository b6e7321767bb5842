// Making and unmaking moves inside the search: node counting and the
// periodic check.
#pragma once
#include <cassert>
#include "board/make_move.h"
#include "search/hash_table.h"
#include "search/search.h"

// Counts the made move and runs the periodic check every MovesBetweenChecks of them.
template <Color C> inline void SearchMake(SearchContext& s, UndoRecord& undo, Move m) {
  ++s.nodes;
  if (--s.countdown <= 0) {
    s.countdown = MovesBetweenChecks;
    if (s.host.periodicCheck) s.host.periodicCheck(s);
  }
  MakeMove<C>(*s.position, undo, m);
  // The incremental key is the key of the position reached.
  assert(s.position->st.key == ComputeKey(*s.position, Opponent(C)));
  __builtin_prefetch(BucketOf(s.position->st.key));   // the child probes it first
}
template <Color C> inline void SearchUnmake(SearchContext& s, const UndoRecord& undo, Move m) {
  UnmakeMove<C>(*s.position, undo, m);
  // The board is back as it was: its key is the key the state block restored.
  assert(s.position->sideToMove == C && s.position->st.key == ComputeKey(*s.position, C));
  (void)undo;
}
