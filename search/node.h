// Internals of the search shared by the node procedures: the ply stack,
// the learned ordering tables, move making with node counting, and the
// node procedures themselves (one template per side to move).
#pragma once
#include <cstdint>
#include "board/make_move.h"
#include "board/movegen.h"
#include "eval/evaluate.h"
#include "search/hash_table.h"
#include "search/learned_gains.h"
#include "search/phase_parameters.h"
#include "search/search.h"

constexpr int MaxPly = 250;          // no node deeper than this
constexpr int PvPlyLimit = 200;      // principal-variation nodes beyond it return 0
constexpr int MateValue = MateScore; // 8160

// Node flags passed to a zero-window child.
constexpr uint32_t NoNodeType = 16, OrderingFlag = 4096, CutNodeFlag = 8192, NoNullMove = 16384;

struct PlyRecord {
  EvalInfo eval;
  Move bestMove;
  int staticEval;          // side to move's view
  int estimated;           // 1 when staticEval is an estimate, not a full evaluation
  bool positionalValid;    // eval.positional belongs to this node's position
  Move movePlayed;         // the move from this node to its child
  Move killers[2];
  int extensionMark;
  int entryDepth;
  uint32_t flags;
  bool attacksValid;
  int pvLength;
  Move pv[MaxPly + 2];
};
// Index = ply index: the root uses 1, a child the next record.
extern PlyRecord Stack[MaxPly + 8];
extern Position* SearchPosition;

// Learned move ordering (per colour).
struct OrderingTables {
  uint16_t history[2][2048];       // (move bits 0-9) + 1024 * "eval far below the bound"
  uint16_t counterMoves[2][512][2];
  uint16_t evasions[2][512][2];
};
extern OrderingTables Ordering;
constexpr int HistoryWeight(int depth) {
  constexpr int table[24] = {0, 14, 14, 14, 30, 38, 48, 56, 66, 76, 86, 96, 106, 116, 126, 136, 146, 156, 164, 172, 180, 188, 196, 204};
  return depth < 0 ? 0 : depth < 24 ? table[depth] : 212;
}
// Child processes of a group may order quiet moves randomly so that they
// explore different parts of the tree (linear congruential generator,
// seeded with the time at start-up).
extern bool RandomQuietOrdering;
extern uint32_t RandomOrderingState;
inline int NextRandomOrdering() {
  RandomOrderingState = RandomOrderingState * 214013u + 2531011u;
  return int((RandomOrderingState >> 16) & 0x7FFF);
}
template <Color C> void GoodQuietMove(PlyRecord& r, Move m, Move previous, int depth, int farBelow);
template <Color C> void BadQuietMove(Move m, int depth, int farBelow);

// Move word without ordering bits: squares, classes, flags.
inline Move PlainMove(Move m) { return m & ~((Move(1) << 63) | (Move(1) << 39)); }
inline uint16_t ShortMove(Move m) { return uint16_t(m & 0xFDFF); }   // bits 0-15, bit 9 cleared

// Exclusion keys: a zero-window search without one move keeps its own entries.
extern uint64_t ExclusionKeys[64];
inline uint64_t ExclusionKey(Move m) {
  if (!m) return 0;
  const uint32_t low = LowWord(m);
  return ExclusionKeys[low & 63] ^ ExclusionKeys[(low >> 10) & 63] ^ ExclusionKeys[(low >> 16) & 63] ^
         ExclusionKeys[(low >> 26) & 63];
}

// Mate scores are stored relative to the node so that their distance stays exact.
inline int ScoreToHash(int score, int ply) {
  return score > MaxOrdinaryScore ? score + ply : score < -MaxOrdinaryScore ? score - ply : score;
}
inline int ScoreFromHash(const HashEntry& e, int ply) {
  const int s = EntryStoredScore(e) - HashScoreBias;
  return s > MaxOrdinaryScore ? s - ply : s < -MaxOrdinaryScore ? s + ply : s;
}
inline int MatedIn(int ply) { return -(MateValue - (ply - 1)); }   // ply index: root's children are 2

// Counts the made move and runs the periodic check every 4096 of them.
template <Color C> inline void SearchMake(UndoRecord& undo, Move m) {
  ++Search.nodes;
  if (--Search.countdown <= 0) PeriodicCheck();
  MakeMove<C>(*SearchPosition, undo, m);
  __builtin_prefetch(BucketOf(SearchPosition->st.key));   // the child probes it first
}
template <Color C> inline void SearchUnmake(const UndoRecord& undo, Move m) { UnmakeMove<C>(*SearchPosition, undo, m); }

// Static evaluation from the side to move's view; fills the record's attack maps.
// After a full evaluation the move that led here teaches its gain, unless
// the parent's own value was only an estimate.
template <Color C> inline int EvaluateNode(PlyRecord& r) {
  r.eval.sideSign = C == White ? 1 : -1;
  const int v = Evaluate(*SearchPosition, r.eval);
  r.attacksValid = true;
  r.positionalValid = true;
  r.estimated = 0;
  const PlyRecord& parent = (&r)[-1];
  if (parent.movePlayed && parent.positionalValid && !parent.estimated) {
    const int whiteChange = r.eval.positional - parent.eval.positional;
    LearnGain<Opponent(C)>(parent.movePlayed, C == White ? -whiteChange : whiteChange);
  }
  return C == White ? v : -v;
}

// Static evaluation of a zero-window node. A cached positional part is
// exact; otherwise the parent's positional part plus the previous move's
// learned gain is an estimate, kept when it lies so far from the bound that
// the exact value would not change the node's course. Lazy values have no
// attack maps.
template <Color C> inline int LazyEvaluateNode(PlyRecord& r, int bound) {
  const Position& p = *SearchPosition;
  const PlyRecord& parent = (&r)[-1];
  const Move previous = parent.movePlayed;
  int positional;
  bool estimated = false;
  if (!ProbeEvalCache(p.st.key, C, positional)) {
    if (!previous || !parent.positionalValid) return EvaluateNode<C>(r);
    const int gain = ExpectedGain<Opponent(C)>(previous);
    positional = parent.eval.positional + (C == White ? -gain : gain);
    estimated = true;
  }
  const int white = MaterialCentipawns(p) + positional;
  const int v = C == White ? white : -white;
  if (estimated) {
    const int m = (parent.estimated ? 10 : -10) + (IsCapture(previous) ? 15 : -15);
    if (v >= bound - m - Phase.lazyMargin && v <= bound + m + Phase.lazyMargin) return EvaluateNode<C>(r);
  }
  r.eval.sideSign = C == White ? 1 : -1;
  r.eval.positional = positional;
  r.attacksValid = false;
  r.positionalValid = true;
  r.estimated = estimated;
  return v;
}

// Quiet move that checks the enemy king (direct or discovered), for ordering
// and for the quiescence search's quiet checks.
template <Color C> bool GivesCheck(const Position& p, Move m);
// The move is a legal move of the side to move (used for moves from the table).
template <Color C> bool IsPlayable(const Position& p, Move m);
// Pawn push that is passed or a candidate (no enemy pawn ahead on its file,
// enemy pawns on the neighbouring files balanced by own pawns).
template <Color C> bool IsPassedPawnPush(const Position& p, Move m);

// Node procedures.
template <Color C> int PvSearch(int alpha, int beta, int depth, int ply, bool inCheck);
template <Color C> int ZeroWindow(int bound, int depth, int ply, Move excluded, uint32_t flags);
template <Color C> int ZeroWindowInCheck(int bound, int depth, int ply, Move excluded, uint32_t flags);
template <Color C> int ZeroWindowDepth0(int bound, int ply, uint32_t flags);
template <Color C> int Quiescence(int alpha, int beta, int q, int ply);
template <Color C> int QuiescenceInCheck(int alpha, int beta, int q, int ply);

// A zero-window child search at depth `depth` (quiescence level below 2).
template <Color C> inline int ZeroWindowChild(int bound, int depth, int ply, uint32_t flags, bool inCheck) {
  if (depth < 2) return inCheck ? QuiescenceInCheck<C>(bound - 1, bound, 0, ply) : ZeroWindowDepth0<C>(bound, ply, flags);
  return inCheck ? ZeroWindowInCheck<C>(bound, depth, ply, 0, flags) : ZeroWindow<C>(bound, depth, ply, 0, flags);
}

// Appends the child's line to the move that led to it.
inline void AppendPv(PlyRecord& r, Move m, const PlyRecord& child) {
  r.pv[0] = m;
  const int n = child.pvLength < MaxPly ? child.pvLength : MaxPly;
  for (int i = 0; i < n; ++i) r.pv[i + 1] = child.pv[i];
  r.pvLength = n + 1;
}

// Futility margins (centipawns) by remaining depth in half plies and quiet
// moves already searched; 3000 never prunes.
constexpr int FutilityMargin[12][5] = {
    {30, 22, 14, 14, 14},         {30, 22, 14, 14, 14},
    {30, 22, 14, -35, -35},       {30, 22, 14, -35, -35},
    {3000, 3000, 3000, -21, -21}, {3000, 3000, 3000, -21, -21},
    {3000, 3000, 3000, 3000, -17}, {3000, 3000, 3000, 3000, -17},
    {3000, 3000, 3000, 3000, 6},  {3000, 3000, 3000, 3000, 6},
    {3000, 3000, 3000, 3000, 55}, {3000, 3000, 3000, 3000, 55},
};

// Hash probe helpers.
struct ProbeResult {
  const HashEntry* hit[4];
  int hits;
  Move hashMove;       // completed for the side to move, or 0
  int maxDepth;        // largest stored depth among hits
};
template <Color C> void ProbeHash(uint64_t key, ProbeResult& r);
// At the quiescence level any stored depth counts: an exact score, or a bound
// on the right side of the window (alpha, beta), decides the node.
inline bool HashDecidesWindow(const ProbeResult& probe, int alpha, int beta, int ply, int& score) {
  for (int i = 0; i < probe.hits; ++i) {
    const HashEntry& e = *probe.hit[i];
    const int s = ScoreFromHash(e, ply);
    if (EntryIsExact(e) || (EntryHasLower(e) && s >= beta) || (EntryHasUpper(e) && s <= alpha)) {
      score = s;
      return true;
    }
  }
  return false;
}

// Time rule after an iteration and other root helpers live in root_search.cpp.
