// A node's static evaluation: the full one, and the lazy estimate that a
// zero-window node may settle for.
#pragma once
#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "search/search.h"
#include "search/search_thresholds.h"

// Static evaluation from the side to move's view; fills the record's attack maps.
// After a full evaluation the move that led here teaches its gain, unless
// the parent's own value was only an estimate.
template <Color C> inline int EvaluateNode(SearchContext& s, PlyRecord& r) {
  r.eval.sideSign = C == White ? 1 : -1;
  const int v = Evaluate(*s.position, r.eval);
  r.attacksValid = true;
  r.positionalValid = true;
  r.estimated = 0;
  const PlyRecord& parent = (&r)[-1];
  if (parent.movePlayed && parent.positionalValid && !parent.estimated) {
    const int whiteChange = r.eval.positional - parent.eval.positional;
    LearnGain<Opponent(C)>(s.gains, parent.movePlayed, C == White ? -whiteChange : whiteChange);
  }
  return C == White ? v : -v;
}

// Static evaluation of a zero-window node. A cached positional part is
// exact; otherwise the parent's positional part plus the previous move's
// learned gain is an estimate, kept when it lies so far from the bound that
// the exact value would not change the node's course. Lazy values have no
// attack maps.
template <Color C> inline int LazyEvaluateNode(SearchContext& s, PlyRecord& r, int bound) {
  const Position& p = *s.position;
  const PlyRecord& parent = (&r)[-1];
  const Move previous = parent.movePlayed;
  const bool afterNullMove = previous == NullMovePlayed;
  int positional;
  bool estimated = false;
  if (afterNullMove && parent.positionalValid) {
    // After a null move the position is the parent's with the other side to
    // move: its value is the parent's negated. Marked as an estimate so that
    // no learned gain is updated from it (the side-to-move bonus sits on the
    // wrong side).
    positional = parent.eval.positional;
    estimated = true;
  } else if (!ProbeEvalCache(p.st.key, C, positional)) {
    if (afterNullMove || !parent.positionalValid) return EvaluateNode<C>(s, r);
    const int gain = ExpectedGain<Opponent(C)>(s.gains, previous);
    positional = parent.eval.positional + (C == White ? -gain : gain);
    estimated = true;
  }
  const int white = MaterialCentipawns(p) + positional;
  const int v = C == White ? white : -white;
  if (estimated && !afterNullMove) {
    const int m = (parent.estimated ? LazyEstimatedParent : -LazyEstimatedParent) +
                  (IsCapture(previous) ? LazyAfterCapture : -LazyAfterCapture);
    if (v >= bound - m - s.phase.lazyMargin && v <= bound + m + s.phase.lazyMargin)
      return EvaluateNode<C>(s, r);
  }
  r.eval.sideSign = C == White ? 1 : -1;
  r.eval.positional = positional;
  r.attacksValid = false;
  r.positionalValid = true;
  r.estimated = estimated;
  return v;
}
