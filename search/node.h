// Internals of the search shared by the node procedures: move making with
// node counting, static evaluation of a node, the hash probe, the ordering
// updates, and the node procedures themselves (one template per side to
// move). Every procedure works on the SearchContext it is given.
#pragma once
#include <cstdint>
#include "board/make_move.h"
#include "board/movegen.h"
#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "search/hash_table.h"
#include "search/node_flags.h"
#include "search/search_thresholds.h"
#include "search/search.h"
#include "tablebase/tb_probe.h"
#include "tablebase/tb_registry.h"



// Child processes may order quiet moves randomly (linear congruential
// generator, seeded with the time at start-up).
inline int NextRandomOrdering(SearchContext& s) {
  s.randomOrderingState = s.randomOrderingState * 214013u + 2531011u;
  return int((s.randomOrderingState >> 16) & 0x7FFF);
}
template <Color C> void GoodQuietMove(SearchContext& s, PlyRecord& r, Move m, Move previous, int depth, HistoryKind kind);
template <Color C> void BadQuietMove(SearchContext& s, Move m, int depth, HistoryKind kind);
// A quiet evasion that refuted the previous move is tried early next time.
template <Color C> void GoodEvasion(SearchContext& s, Move m, Move previous);

// Move word without ordering bits: squares, classes, flags.
inline Move PlainMove(Move m) { return m & ~((Move(1) << 63) | (Move(1) << 39)); }
inline uint16_t ShortMove(Move m) { return uint16_t(m & 0xFDFF); }   // bits 0-15, bit 9 cleared

// Exclusion keys: a zero-window search without one move keeps its own entries.
uint64_t ExclusionKey(Move m);

// Mate scores are stored relative to the node so that their distance stays exact.
inline int ScoreToHash(int score, int ply) {
  return score > MaxOrdinaryScore ? score + ply : score < -MaxOrdinaryScore ? score - ply : score;
}
inline int ScoreFromHash(const HashEntry& e, int ply) {
  const int s = EntryStoredScore(e) - HashScoreBias;
  return s > MaxOrdinaryScore ? s - ply : s < -MaxOrdinaryScore ? s + ply : s;
}
// Draws by the fifty-move rule (shorter in a silent "goe" search) or by repetition.
inline uint32_t FiftyMoveLimit(const SearchContext& s) {
  return s.limits.silentMode ? SilentSearchFiftyMoveRule : FiftyMoveRule;
}
inline bool IsDrawByRule(const SearchContext& s, const Position& p) {
  return p.st.fifty >= FiftyMoveLimit(s) || IsRepetition(p);
}
inline int MatedIn(int ply) { return -(MateScore - (ply - 1)); }   // ply index: root's children are 2

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
    const int m = (parent.estimated ? 10 : -10) + (IsCapture(previous) ? 15 : -15);
    if (v >= bound - m - s.phase.lazyMargin && v <= bound + m + s.phase.lazyMargin) return EvaluateNode<C>(s, r);
  }
  r.eval.sideSign = C == White ? 1 : -1;
  r.eval.positional = positional;
  r.attacksValid = false;
  r.positionalValid = true;
  r.estimated = estimated;
  return v;
}

// A node deep enough for a tablebase probe (by the usage option) whose men
// the registered tables cover: the table's score, moved towards zero by the
// node's distance from the root so that nearer mates count more.
inline bool TablebaseScoreAtNode(SearchContext& s, int depth, int ply, int& score) {
  if (depth < s.settings.tablebaseUsage || MenCount(s.position->st.materialKey) > tb::TbMaxMen()) return false;
  Score v;
  if (!tb::ProbeTablebase(*s.position, v)) return false;
  ++s.tbHits;
  score = v > TablebaseMateBound ? v - ply : v < -TablebaseMateBound ? v + ply : v;
  return true;
}

// Quiet move that checks the enemy king (direct or discovered), for ordering
// and for the quiescence search's quiet checks.
template <Color C> bool GivesCheck(const Position& p, Move m);
// The move is a legal move of the side to move (used for moves from the table).
template <Color C> bool IsPlayable(const Position& p, Move m);
// Pawn push that is passed or a candidate (no enemy pawn ahead on its file,
// enemy pawns on the neighbouring files balanced by own pawns).
template <Color C> bool IsPassedPawnPush(const Position& p, Move m);
// A passed or candidate pawn push to the mover's fifth rank or lower (counted
// from its own side): the table move gets an extension for it.
template <Color C> inline bool IsEarlyPasserPush(const Position& p, Move m) {
  return IsPassedPawnPush<C>(p, m) && RelativeRank<C>(ToSquare(m)) <= 4;
}

// Node procedures.
template <Color C> int PvSearch(SearchContext& s, int alpha, int beta, int depth, int ply, bool inCheck);
template <Color C> int ZeroWindow(SearchContext& s, int bound, int depth, int ply, Move excluded, NodeFlags flags);
template <Color C> int ZeroWindowInCheck(SearchContext& s, int bound, int depth, int ply, Move excluded, NodeFlags flags);
template <Color C> int ZeroWindowDepth0(SearchContext& s, int bound, int ply);
template <Color C> int Quiescence(SearchContext& s, int alpha, int beta, int q, int ply);
template <Color C> int QuiescenceInCheck(SearchContext& s, int alpha, int beta, int q, int ply);

// A zero-window child search at depth `depth` (quiescence level below 2).
template <Color C> inline int ZeroWindowChild(SearchContext& s, int bound, int depth, int ply, NodeFlags flags, bool inCheck) {
  if (depth < 2)
    return inCheck ? QuiescenceInCheck<C>(s, bound - 1, bound, 0, ply) : ZeroWindowDepth0<C>(s, bound, ply);
  return inCheck ? ZeroWindowInCheck<C>(s, bound, depth, ply, 0, flags) : ZeroWindow<C>(s, bound, depth, ply, 0, flags);
}

// Appends the child's line to the move that led to it.
inline void AppendPv(PlyRecord& r, Move m, const PlyRecord& child) {
  r.pv[0] = m;
  const int n = child.pvLength < MaxPly ? child.pvLength : MaxPly;
  for (int i = 0; i < n; ++i) r.pv[i + 1] = child.pv[i];
  r.pvLength = n + 1;
}

// Hash probe helpers.
struct ProbeResult {
  HashEntry hit[4];     // the matching entries as read
  HashEntry* slot[4];   // where they were read
  int hits;
  Move hashMove;       // completed for the side to move, or 0
  int maxDepth;        // largest stored depth among hits
};
template <Color C> void ProbeHash(const Position& p, uint64_t key, ProbeResult& r);
// At the quiescence level any stored depth counts: an exact score, or a bound
// on the right side of the window (alpha, beta), decides the node.
inline bool HashDecidesWindow(const ProbeResult& probe, int alpha, int beta, int ply, int& score) {
  for (int i = 0; i < probe.hits; ++i) {
    const HashEntry& e = probe.hit[i];
    const int s = ScoreFromHash(e, ply);
    if (EntryIsExact(e) || (EntryHasLower(e) && s >= beta) || (EntryHasUpper(e) && s <= alpha)) {
      score = s;
      return true;
    }
  }
  return false;
}
