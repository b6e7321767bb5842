// Zero-window nodes: they answer only whether the score reaches a bound, and
// carry the selectivity of the search (null move, pruning, reductions).
#include "search/move_picker.h"

namespace {
template <Color C> bool HasPieces(const Position& p) {
  return (p.Pieces(C, KnightType) | p.Pieces(C, BishopType) | p.Pieces(C, RookType) | p.Pieces(C, QueenType)) != 0;
}

// What the entry steps of a zero-window node leave for the rest of it.
struct ZeroWindowNode {
  uint64_t key;        // position key, changed by an excluded move
  ProbeResult probe;
  bool nullAllowed;
};

// Entry steps shared by both zero-window procedures: the record, the draw
// rules and the table cut-offs. True with `result` when the node is decided.
template <Color C> bool EnterZeroWindow(SearchContext& s, int bound, int depth, int ply, Move excluded, NodeFlags flags,
                                        ZeroWindowNode& node, int& result) {
  const Position& p = *s.position;
  PlyRecord& r = s.stack[ply];
  node.key = p.st.key ^ ExclusionKey(excluded);
  r.bestMove = 0;
  r.pvLength = 0;
  if (ply >= MaxPly) {
    result = EvaluateNode<C>(s, r);
    return true;
  }
  if (p.st.fifty >= (s.limits.silentMode ? 40u : 100u) || IsRepetition(p)) {
    result = 0;
    return true;
  }
  ProbeHash<C>(*s.position, node.key, node.probe);
  node.nullAllowed = !flags.nullMoveForbidden;
  for (int i = 0; i < node.probe.hits; ++i) {
    const HashEntry& e = node.probe.hit[i];
    const int s = ScoreFromHash(e, ply);
    if (EntryDepth(e) >= depth) {
      const bool marked = EntryHasMark(e);
      if (EntryHasLower(e) && s >= bound && !(marked && flags.kind == NodeKind::Cut) &&
          !(flags.nullMoveForbidden && !EntryHasMove(e))) {
        Touch(*node.probe.slot[i], e);
        result = s;
        return true;
      }
      if (EntryHasUpper(e) && s < bound && !(marked && flags.kind == NodeKind::All)) {
        result = s;
        return true;
      }
    }
    if (EntryHasUpper(e) && EntryDepth(e) >= depth - 4 && s < bound) node.nullAllowed = false;
  }
  return false;
}

inline bool ReversesOwnMove(Move m, Move ownPrevious) {
  return ownPrevious && FromSquare(m) == ToSquare(ownPrevious) && ToSquare(m) == FromSquare(ownPrevious);
}
}  // namespace

template <Color C> int ZeroWindow(SearchContext& s, int bound, int depth, int ply, Move excluded, NodeFlags flags) {
  constexpr Color Them = Opponent(C);
  if (depth < 2) return ZeroWindowDepth0<C>(s, bound, ply);
  Position& p = *s.position;
  PlyRecord& r = s.stack[ply];
  ZeroWindowNode node;
  int result;
  if (EnterZeroWindow<C>(s, bound, depth, ply, excluded, flags, node, result)) return result;
  if (TablebaseScoreAtNode(s, depth, ply, result)) return result;
  const uint64_t key = node.key;
  const ProbeResult& probe = node.probe;
  const bool nullAllowed = node.nullAllowed;
  const bool cutNode = flags.kind == NodeKind::Cut;
  Move hashMove = probe.hashMove;
  const int eval = LazyEvaluateNode<C>(s, r, bound);
  r.staticEval = eval;
  const bool lowBand = depth <= 5;
  const NodeFlags childFlags = flags.Child();

  // Null move: let the opponent move twice; if we still reach the bound the
  // node is good enough. Not with king and pawns only (zugzwang).
  if (nullAllowed && !excluded && eval >= bound && HasPieces<C>(p) && bound < MaxOrdinaryScore) {
    const int reduced = depth - (eval >= bound + 30) - (eval >= bound + 50) - (eval >= bound + 150);
    UndoRecord undo;
    MakeNullMove<C>(p, undo);
    r.movePlayed = NullMovePlayed;
    const int v = (reduced <= 8 || lowBand)
                      ? -ZeroWindowDepth0<Them>(s, 1 - bound, ply + 1)
                      : -ZeroWindow<Them>(s, 1 - bound, std::max(2, reduced - 8), ply + 1, 0, flags.NullMoveReply());
    UnmakeNullMove(p, undo);
    if (v >= bound) {
      const int score = v > MaxOrdinaryScore ? bound : v;
      StoreLowerMarked(key, hashMove, std::min(depth, 63), ScoreToHash(score, ply), MarksLowerBound(flags.kind));
      return score;
    }
  }

  // Internal iterative deepening at expected cut nodes without a table move.
  if (depth >= 8 && !hashMove && cutNode && (eval >= bound || depth >= 12)) {
    const int v = ZeroWindow<C>(s, bound, depth - 4, ply, excluded, flags);
    if (v >= bound && r.bestMove && IsPlayable<C>(p, r.bestMove)) hashMove = r.bestMove;
  }

  const int farBelow = bound - eval > 100;
  const int baseReduction = cutNode ? (depth < 9 ? 6 : 7) : (depth < 9 ? 2 : 3);
  // Far below the bound only tactical moves (and maybe quiet checks) are tried.
  bool allMoves = true, quietChecks = false;
  if (!lowBand && depth <= 19) {
    const int i = depth / 2 + 10 * int(cutNode);
    if (bound - eval >= s.phase.tacticalOnlyMargin[i]) {
      allMoves = false;
      quietChecks = bound - eval < s.phase.quietCheckMargin[i];
    }
  }

  const Move previous = s.stack[ply - 1].movePlayed;
  const Move ownPrevious = ply >= 3 ? s.stack[ply - 2].movePlayed : 0;
  MovePicker<C> picker(s, hashMove, r, previous, farBelow, allMoves, quietChecks);
  const Bitboard pinned = PinnedPieces<C>(p);
  Move quietsTried[64];
  int quietsTriedCount = 0, moveCount = 0, quietCount = 0;
  bool anyLegal = false;
  while (const Move m = picker.Next()) {
    if (excluded && SameMove(m, excluded)) continue;
    if (!IsLegal<C>(p, m, pinned)) continue;
    anyLegal = true;
    const bool quiet = !IsCapture(m) && !HasPromotionMark(m);
    const bool isHash = hashMove && SameMove(m, hashMove);
    const bool fromQuietStage = picker.FromQuietStage();
    if (!isHash) {
      if (bound > 0 && quiet && p.st.fifty >= 2 && ReversesOwnMove(m, ownPrevious)) continue;
      // Quiet checks are kept from the history, count and futility rules: a
      // shallow node that drops them misses mates and perpetual checks
      // (measured: 27.5 of 51 games at 3+0.03 against the build that prunes
      // them).
      if (quiet && fromQuietStage && !GivesCheck<C>(p, m)) {
        // Late quiet moves with a poor history are not worth a search.
        const int history = s.ordering.history[C][HistoryIndex(m) + 1024 * farBelow];
        if (quietCount >= 3 && ((depth <= 10 && history < 300) || (depth <= 12 && history < 100))) continue;
        if (quietCount > 2 * depth + 4) continue;
        if (depth <= 11 && eval + ExpectedGain<C>(s.gains, m) + FutilityMargin[depth][std::min(quietCount, 4)] < bound)
          continue;
      }
      // A quiet move of an attacked piece must not land where it is lost.
      if (quiet && depth <= (cutNode ? 16 : 14) && !(depth > 4 && GivesCheck<C>(p, m)) && MovedPieceIsLost<C>(p, r, m))
        continue;
    }
    const bool special = IsCastling<C>(m) || IsPassedPawnPush<C>(p, m);
    UndoRecord undo;
    SearchMake<C>(s, undo, m);
    r.movePlayed = m;
    const bool check = InCheck<Them>(p);
    const int extension = check ? 1 : 0;
    const int fullDepth = depth + extension - 2;
    int v;
    const bool reduce = quiet && fromQuietStage && !check && !special && !excluded && (cutNode || moveCount >= 4);
    if (reduce) {
      int reduction = baseReduction - (moveCount <= 6 ? 1 : 0);
      if (depth > 8 ? moveCount >= 2 * (17 - depth) : moveCount >= 2 * (14 - depth)) ++reduction;
      const int dr = depth + extension - reduction;
      v = dr <= 3 ? -ZeroWindowDepth0<Them>(s, 1 - bound, ply + 1)
                  : -ZeroWindow<Them>(s, 1 - bound, dr - 2, ply + 1, 0, childFlags);
      if (v >= bound && dr - 2 < fullDepth) {
        const int researchDepth = (cutNode && moveCount >= 7) ? fullDepth - 2 : fullDepth;
        if (researchDepth > dr - 2) v = -ZeroWindowChild<Them>(s, 1 - bound, researchDepth, ply + 1, childFlags, false);
      }
    } else {
      v = -ZeroWindowChild<Them>(s, 1 - bound, fullDepth, ply + 1, childFlags, check);
    }
    SearchUnmake<C>(s, undo, m);
    ++moveCount;
    if (v >= bound) {
      if (quiet) {
        GoodQuietMove<C>(s, r, m, previous, depth, farBelow);
        if (!lowBand)
          for (int i = 0; i < quietsTriedCount; ++i) BadQuietMove<C>(s, quietsTried[i], depth, farBelow);
      }
      r.bestMove = m;
      StoreLowerMarked(key, m, std::min(depth, 63), ScoreToHash(v, ply), MarksLowerBound(flags.kind));
      return v;
    }
    if (quiet) {
      ++quietCount;
      if (quietsTriedCount < 64) quietsTried[quietsTriedCount++] = m;
    }
  }
  if (moveCount == 0) {
    // No legal move at all is stalemate; moves that were all pruned fail low.
    if (!anyLegal && allMoves) return 0;
    return bound - 1;
  }
  if (!lowBand)
    for (int i = 0; i < quietsTriedCount; ++i) BadQuietMove<C>(s, quietsTried[i], depth, farBelow);
  StoreUpperMarked(key, 0, std::min(depth, 63), ScoreToHash(bound - 1, ply), MarksUpperBound(flags.kind));
  return bound - 1;
}

template <Color C> int ZeroWindowInCheck(SearchContext& s, int bound, int depth, int ply, Move excluded, NodeFlags flags) {
  constexpr Color Them = Opponent(C);
  if (depth < 2) return QuiescenceInCheck<C>(s, bound - 1, bound, 0, ply);
  Position& p = *s.position;
  PlyRecord& r = s.stack[ply];
  ZeroWindowNode node;
  int result;
  if (EnterZeroWindow<C>(s, bound, depth, ply, excluded, flags, node, result)) return result;
  if (TablebaseScoreAtNode(s, depth, ply, result)) return result;
  const uint64_t key = node.key;
  const ProbeResult& probe = node.probe;
  r.staticEval = EvaluateNode<C>(s, r);
  const NodeFlags childFlags = flags.Child();
  const Move previous = s.stack[ply - 1].movePlayed;
  MovePicker<C> picker = MovePicker<C>::ForEvasions(s, probe.hashMove, r, previous);
  const Bitboard pinned = PinnedPieces<C>(p);
  int moveCount = 0;
  bool anyLegal = false;
  while (const Move m = picker.Next()) {
    if (!IsLegal<C>(p, m, pinned)) continue;
    anyLegal = true;
    if (excluded && SameMove(m, excluded)) continue;
    UndoRecord undo;
    SearchMake<C>(s, undo, m);
    r.movePlayed = m;
    const bool check = InCheck<Them>(p);
    const int v = -ZeroWindowChild<Them>(s, 1 - bound, depth + (check ? 1 : 0) - 2, ply + 1, childFlags, check);
    SearchUnmake<C>(s, undo, m);
    ++moveCount;
    if (v >= bound) {
      if (!IsCapture(m) && !HasPromotionMark(m)) GoodQuietMove<C>(s, r, m, previous, depth, 0);
      r.bestMove = m;
      StoreLowerMarked(key, m, std::min(depth, 63), ScoreToHash(v, ply), MarksLowerBound(flags.kind));
      return v;
    }
  }
  if (!anyLegal) return MatedIn(ply);
  if (moveCount == 0) return bound - 1;   // the only move was the excluded one
  StoreUpperMarked(key, 0, std::min(depth, 63), ScoreToHash(bound - 1, ply), MarksUpperBound(flags.kind));
  return bound - 1;
}

template int ZeroWindow<White>(SearchContext&, int, int, int, Move, NodeFlags);
template int ZeroWindow<Black>(SearchContext&, int, int, int, Move, NodeFlags);
template int ZeroWindowInCheck<White>(SearchContext&, int, int, int, Move, NodeFlags);
template int ZeroWindowInCheck<Black>(SearchContext&, int, int, int, Move, NodeFlags);
