// Zero-window nodes: they answer only whether the score reaches a bound, and
// carry the selectivity of the search (null move, pruning, reductions).
#include "search/move_picker.h"
#include "search/search_thresholds.h"

namespace {
template <Color C> bool HasPieces(const Position& p) {
  return (p.Pieces(C, KnightType) | p.Pieces(C, BishopType) | p.Pieces(C, RookType) |
          p.Pieces(C, QueenType)) != 0;
}

// What the entry steps of a zero-window node leave for the rest of it.
struct ZeroWindowNode {
  uint64_t key;        // position key, changed by an excluded move
  ProbeResult probe;
  bool nullAllowed;
};

// Entry steps shared by both zero-window procedures: the record, the draw
// rules and the table cut-offs. True with `result` when the node is decided.
template <Color C> bool EnterZeroWindow(SearchContext& s, int bound, int depth, int ply, Move excluded,
                                        NodeFlags flags, ZeroWindowNode& node, int& result) {
  const Position& p = *s.position;
  PlyRecord& r = s.stack[ply];
  node.key = p.st.key ^ ExclusionKey(excluded);
  r.bestMove = 0;
  r.pvLength = 0;
  if (ply >= MaxPly) {
    result = EvaluateNode<C>(s, r);
    return true;
  }
  if (IsDrawByRule(s, p)) {
    result = 0;
    return true;
  }
  ProbeHash<C>(*s.position, node.key, node.probe);
  node.nullAllowed = !flags.nullMoveForbidden;
  for (int i = 0; i < node.probe.hits; ++i) {
    const HashEntry& e = node.probe.hit[i];
    const int score = ScoreFromHash(e, ply);
    if (EntryDepth(e) >= depth) {
      // A marked bound does not decide a node of the expectation it was stored against.
      const bool marked = EntryHasMark(e);
      const bool lowerDecides = EntryHasLower(e) && score >= bound;
      const bool markedAgainstCut = marked && flags.kind == NodeKind::Cut;
      // After a null move only a bound with a move counts.
      const bool nullMoveReply = flags.nullMoveForbidden && !EntryHasMove(e);
      if (lowerDecides && !markedAgainstCut && !nullMoveReply) {
        Touch(*node.probe.slot[i], e);
        result = score;
        return true;
      }
      if (EntryHasUpper(e) && score < bound && !(marked && flags.kind == NodeKind::All)) {
        result = score;
        return true;
      }
    }
    // A table that says "fails low" a little shallower makes a null move pointless.
    if (EntryHasUpper(e) && EntryDepth(e) >= depth - 2 * OnePly && score < bound) node.nullAllowed = false;
  }
  return false;
}

inline bool ReversesOwnMove(Move m, Move ownPrevious) {
  return ownPrevious && FromSquare(m) == ToSquare(ownPrevious) && ToSquare(m) == FromSquare(ownPrevious);
}

// The late-move reduction of a quiet move (depth units).
int LateMoveReduction(bool cutNode, int depth, int moveCount) {
  const bool deep = depth >= ReductionSplitDepth;
  int reduction =
      cutNode ? (deep ? CutReductionDeep : CutReduction) : (deep ? AllReductionDeep : AllReduction);
  if (moveCount <= EarlyMoveRebateCount) --reduction;
  const int base = depth > LateMoveDeepDepth ? LateMoveDeepBase : LateMoveShallowBase;
  if (moveCount >= 2 * (base - depth)) ++reduction;
  return reduction;
}
}  // namespace

template <Color C>
int ZeroWindow(SearchContext& s, int bound, int depth, int ply, Move excluded, NodeFlags flags) {
  constexpr Color Them = Opponent(C);
  AssertNodeEntry(bound - 1, bound, depth, ply);
  if (depth < OnePly) return ZeroWindowDepth0<C>(s, bound, ply);
  Position& p = *s.position;
  PlyRecord& r = s.stack[ply];
  ZeroWindowNode node;
  int result;

  // Step 1: draws, the table, the tablebases.
  if (EnterZeroWindow<C>(s, bound, depth, ply, excluded, flags, node, result)) return result;
  if (TablebaseScoreAtNode(s, depth, ply, result)) return result;
  const uint64_t key = node.key;
  const ProbeResult& probe = node.probe;
  const bool cutNode = flags.kind == NodeKind::Cut;
  Move hashMove = probe.hashMove;

  // Step 2: the static evaluation (an estimate when that is good enough).
  const int eval = LazyEvaluateNode<C>(s, r, bound);
  r.staticEval = eval;
  const bool lowBand = depth <= LowBandDepth;
  const NodeFlags childFlags = flags.Child();

  static_assert(StaticCutMaxDepth < int(std::size(PhaseParameters{}.lowBand)), "a margin for every depth");
  // Step 3a: static cut-off. A shallow node whose evaluation lies far above
  // its bound (the low band's margin for its depth) is not searched.
  const bool staticCut = depth <= StaticCutMaxDepth && !excluded && bound > -MaxOrdinaryScore &&
                         bound < MaxOrdinaryScore && eval - s.phase.lowBand[depth] >= bound;
  if (staticCut) return eval - s.phase.lowBand[depth];

  // Step 3: null move. Let the opponent move twice; if we still reach the
  // bound the node is good enough. Not with king and pawns only (zugzwang).
  const bool nullMove =
      node.nullAllowed && !excluded && eval >= bound && HasPieces<C>(p) && bound < MaxOrdinaryScore;
  if (nullMove) {
    const int lead = eval - bound;
    const int reduced = depth - (lead >= NullLeadSmall) - (lead >= NullLeadMedium) - (lead >= NullLeadLarge);
    UndoRecord undo;
    MakeNullMove<C>(p, undo);
    r.movePlayed = NullMovePlayed;
    const bool atDepth0 = reduced <= NullDepth0Reply || lowBand;
    const int replyDepth = std::max(OnePly, reduced - NullReduction);
    const int v = atDepth0 ? -ZeroWindowDepth0<Them>(s, 1 - bound, ply + 1)
                           : -ZeroWindow<Them>(s, 1 - bound, replyDepth, ply + 1, 0, flags.NullMoveReply());
    UnmakeNullMove(p, undo);
    if (v >= bound) {
      const int score = v > MaxOrdinaryScore ? bound : v;   // a mate found after a null move proves nothing
      StoreLowerMarked(key, hashMove, StoredDepth(depth), ScoreToHash(score, ply),
                       MarksLowerBound(flags.kind));
      return score;
    }
  }

  // Step 4: internal iterative deepening at expected cut nodes without a table move.
  const bool iid =
      depth >= CutIidDepth && !hashMove && cutNode && (eval >= bound || depth >= CutIidAlwaysDepth);
  if (iid) {
    const int v = ZeroWindow<C>(s, bound, depth - CutIidReduction, ply, excluded, flags);
    if (v >= bound && r.bestMove && IsPlayable<C>(p, r.bestMove)) hashMove = r.bestMove;
  }

  // Step 5: far below the bound only tactical moves (and maybe quiet checks) are tried.
  const HistoryKind history = bound - eval > FarBelowMargin ? HistoryKind::FarBelow : HistoryKind::Normal;
  QuietMoves quiets = QuietMoves::All;
  if (!lowBand && depth <= TacticalOnlyMaxDepth) {
    const int i = PhaseParameters::BandIndex(depth, cutNode);
    if (bound - eval >= s.phase.tacticalOnlyMargin[i])
      quiets = bound - eval < s.phase.quietCheckMargin[i] ? QuietMoves::ChecksOnly : QuietMoves::None;
  }

  // Step 6: the moves.
  const Move previous = s.stack[ply - 1].movePlayed;
  const Move ownPrevious = ply >= 3 ? s.stack[ply - 2].movePlayed : 0;
  MovePicker<C> picker(s, hashMove, r, previous, history, quiets);
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

    // Step 7: pruning (never the table move).
    if (!isHash) {
      // Taking back our own last move while trying to win.
      if (bound > 0 && quiet && p.st.fifty >= ReversalHalfMoves && ReversesOwnMove(m, ownPrevious)) continue;
      // Quiet checks are kept from the history, count and futility rules: a
      // shallow node that drops them misses mates and perpetual checks
      // (measured: 27.5 of 51 games at 3+0.03 against the build that prunes
      // them).
      if (quiet && fromQuietStage && !GivesCheck<C>(p, m)) {
        // History: late quiet moves with a poor history are not worth a search.
        const int score = HistoryOf(s.ordering, C, history, m);
        const bool poorHistory = (depth <= HistoryPruningDepth && score < HistoryPruningValue) ||
                                 (depth <= HistoryPruningDeepDepth && score < HistoryPruningDeepValue);
        if (quietCount >= HistoryPruningQuiets && poorHistory) continue;
        // Count: enough quiet moves tried.
        if (quietCount > 2 * depth + QuietCountSlack) continue;
        // Futility: the move's expected gain cannot bring the evaluation up to the bound.
        if (depth <= FutilityMaxDepth) {
          const int margin = FutilityMargin[depth][std::min(quietCount, FutilityQuietColumns)];
          if (eval + ExpectedGain<C>(s.gains, m) + margin < bound) continue;
        }
      }
      // Exchange: a quiet move of an attacked piece must not land where it is lost.
      const int lostPieceDepth = cutNode ? LostPieceCutDepth : LostPieceAllDepth;
      const bool keptCheck = depth > LostPieceCheckDepth && GivesCheck<C>(p, m);
      if (quiet && depth <= lostPieceDepth && !keptCheck && MovedPieceIsLost<C>(p, r, m)) continue;
    }

    // Step 8: search the move, late quiet moves reduced.
    const bool special = IsAnyCastling<C>(m) || IsPassedPawnPush<C>(p, m);
    UndoRecord undo;
    SearchMake<C>(s, undo, m);
    r.movePlayed = m;
    const bool check = InCheck<Them>(p);
    const int extension = check ? HalfPly : 0;
    const int fullDepth = depth + extension - OnePly;
    const bool lateQuiet = quiet && fromQuietStage && !check && !special && !excluded;
    const bool reduce = lateQuiet && (cutNode || moveCount >= AllNodeUnreducedMoves);
    int v;
    if (reduce) {
      const int reducedDepth = depth + extension - LateMoveReduction(cutNode, depth, moveCount);
      v = reducedDepth <= ReducedDepth0Limit
              ? -ZeroWindowDepth0<Them>(s, 1 - bound, ply + 1)
              : -ZeroWindow<Them>(s, 1 - bound, reducedDepth - OnePly, ply + 1, 0, childFlags);
      // A reduced move that fails high is searched again at (nearly) full depth.
      if (v >= bound && reducedDepth - OnePly < fullDepth) {
        const bool stayShallower = cutNode && moveCount >= CutResearchLateMoves;
        const int researchDepth = stayShallower ? fullDepth - OnePly : fullDepth;
        if (researchDepth > reducedDepth - OnePly)
          v = -ZeroWindowChild<Them>(s, 1 - bound, researchDepth, ply + 1, childFlags, false);
      }
    } else {
      v = -ZeroWindowChild<Them>(s, 1 - bound, fullDepth, ply + 1, childFlags, check);
    }
    SearchUnmake<C>(s, undo, m);
    ++moveCount;

    // Step 9: a cut-off teaches the ordering and ends the node.
    if (v >= bound) {
      if (quiet) {
        GoodQuietMove<C>(s, r, m, previous, depth, history);
        if (!lowBand)
          for (int i = 0; i < quietsTriedCount; ++i) BadQuietMove<C>(s, quietsTried[i], depth, history);
      }
      r.bestMove = m;
      StoreLowerMarked(key, m, StoredDepth(depth), ScoreToHash(v, ply), MarksLowerBound(flags.kind));
      return v;
    }
    if (quiet) {
      ++quietCount;
      if (quietsTriedCount < 64) quietsTried[quietsTriedCount++] = m;
    }
  }

  // Step 10: no cut-off.
  if (moveCount == 0) {
    // No legal move at all is stalemate; moves that were all pruned fail low.
    if (!anyLegal && quiets == QuietMoves::All) return 0;
    return bound - 1;
  }
  if (!lowBand)
    for (int i = 0; i < quietsTriedCount; ++i) BadQuietMove<C>(s, quietsTried[i], depth, history);
  StoreUpperMarked(key, 0, StoredDepth(depth), ScoreToHash(bound - 1, ply), MarksUpperBound(flags.kind));
  return bound - 1;
}

template <Color C> int ZeroWindowInCheck(SearchContext& s, int bound, int depth, int ply, Move excluded,
                                         NodeFlags flags) {
  constexpr Color Them = Opponent(C);
  AssertNodeEntry(bound - 1, bound, depth, ply);
  if (depth < OnePly) return QuiescenceInCheck<C>(s, bound - 1, bound, 0, ply);
  Position& p = *s.position;
  PlyRecord& r = s.stack[ply];
  ZeroWindowNode node;
  int result;
  if (EnterZeroWindow<C>(s, bound, depth, ply, excluded, flags, node, result)) return result;
  if (TablebaseScoreAtNode(s, depth, ply, result)) return result;
  const uint64_t key = node.key;
  r.staticEval = EvaluateNode<C>(s, r);
  const NodeFlags childFlags = flags.Child();
  const Move previous = s.stack[ply - 1].movePlayed;
  MovePicker<C> picker = MovePicker<C>::ForEvasions(s, node.probe.hashMove, r, previous);
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
    const int childDepth = depth + (check ? HalfPly : 0) - OnePly;
    const int v = -ZeroWindowChild<Them>(s, 1 - bound, childDepth, ply + 1, childFlags, check);
    SearchUnmake<C>(s, undo, m);
    ++moveCount;
    if (v >= bound) {
      if (!IsCapture(m) && !HasPromotionMark(m))
        GoodQuietMove<C>(s, r, m, previous, depth, HistoryKind::Normal);
      r.bestMove = m;
      StoreLowerMarked(key, m, StoredDepth(depth), ScoreToHash(v, ply), MarksLowerBound(flags.kind));
      return v;
    }
  }
  if (!anyLegal) return MatedIn(ply);
  if (moveCount == 0) return bound - 1;   // the only move was the excluded one
  StoreUpperMarked(key, 0, StoredDepth(depth), ScoreToHash(bound - 1, ply), MarksUpperBound(flags.kind));
  return bound - 1;
}

template int ZeroWindow<White>(SearchContext&, int, int, int, Move, NodeFlags);
template int ZeroWindow<Black>(SearchContext&, int, int, int, Move, NodeFlags);
template int ZeroWindowInCheck<White>(SearchContext&, int, int, int, Move, NodeFlags);
template int ZeroWindowInCheck<Black>(SearchContext&, int, int, int, Move, NodeFlags);
