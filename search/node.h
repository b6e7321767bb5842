// The node procedures of the search (one template per side to move) and
// what every one of them uses. Every procedure works on the SearchContext
// it is given.
#pragma once
#include <cassert>
#include <cstdint>
#include "board/make_move.h"
#include "board/movegen.h"
#include "search/draw_rules.h"
#include "search/exclusion_key.h"
#include "search/hash_probe.h"
#include "search/hash_score.h"
#include "search/move_tests.h"
#include "search/node_evaluation.h"
#include "search/node_flags.h"
#include "search/ordering_updates.h"
#include "search/random_ordering.h"
#include "search/search.h"
#include "search/search_make.h"
#include "search/search_thresholds.h"
#include "search/tablebase_score.h"

// What every node may take for granted on entry; a wrong value would travel
// far before it showed (checked in the sanitized build, not in release).
constexpr int MaxEntryDepth = 2 * MaxPly;
inline void AssertNodeEntry([[maybe_unused]] int alpha, [[maybe_unused]] int beta, [[maybe_unused]] int depth,
                            [[maybe_unused]] int ply) {
  assert(alpha < beta);
  assert(alpha >= -MateScore - 1 && beta <= MateScore + 1);
  assert(depth >= -OnePly && depth <= MaxEntryDepth);   // the root's first iterations go below 0
  assert(ply >= 1 && ply <= MaxPly + 1);
}

// Node procedures.
template <Color C> int PvSearch(SearchContext& s, int alpha, int beta, int depth, int ply, bool inCheck);
template <Color C>
int ZeroWindow(SearchContext& s, int bound, int depth, int ply, Move excluded, NodeFlags flags);
template <Color C>
int ZeroWindowInCheck(SearchContext& s, int bound, int depth, int ply, Move excluded, NodeFlags flags);
template <Color C> int ZeroWindowDepth0(SearchContext& s, int bound, int ply);
template <Color C> int Quiescence(SearchContext& s, int alpha, int beta, int q, int ply);
template <Color C> int QuiescenceInCheck(SearchContext& s, int alpha, int beta, int q, int ply);

// A zero-window child search at depth `depth` (quiescence level below 2).
template <Color C>
inline int ZeroWindowChild(SearchContext& s, int bound, int depth, int ply, NodeFlags flags, bool inCheck) {
  if (depth < OnePly)
    return inCheck ? QuiescenceInCheck<C>(s, bound - 1, bound, 0, ply) : ZeroWindowDepth0<C>(s, bound, ply);
  return inCheck ? ZeroWindowInCheck<C>(s, bound, depth, ply, 0, flags)
                 : ZeroWindow<C>(s, bound, depth, ply, 0, flags);
}

// Appends the child's line to the move that led to it.
inline void AppendPv(PlyRecord& r, Move m, const PlyRecord& child) {
  r.pv[0] = m;
  const int n = child.pvLength < MaxPly ? child.pvLength : MaxPly;
  for (int i = 0; i < n; ++i) r.pv[i + 1] = child.pv[i];
  r.pvLength = n + 1;
}
