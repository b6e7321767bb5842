// The random quiet-move order of the children of a group, so that they
// explore other parts of the tree than the parent.
#pragma once
#include "search/search.h"

// A linear congruential generator, seeded with the time at start-up.
inline int NextRandomOrdering(SearchContext& s) {
  s.randomOrderingState = s.randomOrderingState * 214013u + 2531011u;
  return int((s.randomOrderingState >> 16) & 0x7FFF);
}
