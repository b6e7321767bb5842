// Making and unmaking moves inside the search: node counting and the
// periodic check.
#pragma once
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
  __builtin_prefetch(BucketOf(s.position->st.key));   // the child probes it first
}
template <Color C> inline void SearchUnmake(SearchContext& s, const UndoRecord& undo, Move m) {
  UnmakeMove<C>(*s.position, undo, m);
}
