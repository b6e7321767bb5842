// Principal-variation nodes: the full window, exact scores, the line the
// engine reports. Later moves are first tested with a zero window.
#include <cinttypes>
#include "board/log_notation.h"
#include "board/notation.h"
#include "common/output.h"
#include "platform/platform.h"
#include "search/move_picker.h"

namespace {
// A table score may end the node only when it is an ordinary score or the
// window's own bound on that side is a mate score too.
inline bool UsableForBound(int score, int alpha, int beta) {
  if (score > MaxOrdinaryScore) return beta > MaxOrdinaryScore;
  if (score < -MaxOrdinaryScore) return alpha < -MaxOrdinaryScore;
  return true;
}

// A controlled search tells its controller exact results near the root that
// are deep enough to be worth sharing ("posting"), at most one shallower
// than the last every half second.
void PostResult(SearchContext& s, const PlyRecord& r, uint64_t key, int depth, int ply, int score,
                Move move) {
  if (ply - 1 >= PostingMaxPly || depth < PostingMinDepth || std::abs(score) > PostingMaxScore) return;
  const uint64_t now = platform::NowMs();
  if (depth < s.lastPostDepth && now - s.lastPostTime <= PostingIntervalMs) return;
  s.lastPostDepth = depth;
  s.lastPostTime = now;
  Reply("posting %d %d %" PRIx64 " %s", depth, score, key, MoveToText(move).c_str());
  Position p = *s.position;
  std::string line;
  for (int i = 0; i < r.pvLength; ++i) {
    const Color mover = p.sideToMove;
    UndoRecord undo;
    MakeMoveOfSideToMove(p, undo, r.pv[i]);
    if (!line.empty()) line += ' ';
    line += MoveToLogText(p, r.pv[i], mover);
  }
  Log("post info %s", line.c_str());
}

// Zero-window search of this node without `excluded`: the in-check, middle
// or deep procedure by depth.
template <Color C>
int ExclusionSearch(SearchContext& s, int bound, int depth, int ply, Move excluded, bool inCheck) {
  constexpr NodeFlags flags{NodeKind::Cut, true};
  return inCheck ? ZeroWindowInCheck<C>(s, bound, depth, ply, excluded, flags)
                 : ZeroWindow<C>(s, bound, depth, ply, excluded, flags);
}

// The node's own extension in check: a single legal reply a ply, two half a ply.
// -1 when there is no legal reply (mated).
template <Color C> int CheckEvasionExtension(const Position& p, Bitboard pinned) {
  Move evasions[MaxMoves];
  Move* end = GenerateEvasions<C>(p, evasions, true, nullptr);
  int legal = 0;
  for (Move* m = evasions; m < end; ++m) legal += IsLegal<C>(p, *m, pinned);
  return legal == 0 ? -1 : legal == 1 ? OnePly : legal == 2 ? HalfPly : 0;
}
}  // namespace

template <Color C> int PvSearch(SearchContext& s, int alpha, int beta, int depth, int ply, bool inCheck) {
  constexpr Color Them = Opponent(C);
  AssertNodeEntry(alpha, beta, depth, ply);
  assert(inCheck == InCheck<C>(*s.position));
  if (depth < OnePly)
    return inCheck ? QuiescenceInCheck<C>(s, alpha, beta, 0, ply) : Quiescence<C>(s, alpha, beta, 0, ply);
  Position& p = *s.position;
  PlyRecord& r = s.stack[ply];
  r.bestMove = 0;
  r.pvLength = 0;

  // Step 1: draws and the ply cap.
  if (ply > PvPlyLimit) return 0;
  if (IsDrawByRule(s, p)) return 0;

  // Step 2: the table. An exact entry deep enough decides; shallow nodes also take bounds.
  const uint64_t key = p.st.key;
  ProbeResult probe;
  ProbeHash<C>(*s.position, key, probe);
  for (int i = 0; i < probe.hits; ++i) {
    const HashEntry& e = probe.hit[i];
    const int score = ScoreFromHash(e, ply);
    if (EntryDepth(e) < depth) continue;
    if (EntryIsExact(e) && UsableForBound(score, alpha, beta)) {
      Touch(*probe.slot[i], e);
      return score;
    }
    if (depth < 3 * OnePly) {
      const bool lowerOnly = EntryHasLower(e) && !EntryHasUpper(e);
      const bool upperOnly = EntryHasUpper(e) && !EntryHasLower(e);
      if (lowerOnly && score >= beta && UsableForBound(score, alpha, beta)) return score;
      if (upperOnly && score < beta && UsableForBound(score, alpha, beta)) {
        beta = score;
        if (score <= alpha) return score;
      }
    }
  }
  Move hashMove = probe.hashMove;

  // Step 3: the static evaluation and the tablebases.
  const int eval = EvaluateNode<C>(s, r);
  r.staticEval = eval;
  if (int tableScore; TablebaseScoreAtNode(s, depth, ply, tableScore)) return tableScore;

  // Step 4: internal iterative deepening: find a move to search first.
  const int iidGap = hashMove ? PvIidGapWithMove : PvIidGapWithoutMove;
  if (probe.maxDepth < depth - iidGap) {
    if (depth < PvIidShallowDepth) {
      PvSearch<C>(s, alpha, beta, depth - OnePly, ply, inCheck);
    } else {
      const int wideBeta = std::min(beta + PvIidProbeMargin, MateScore);
      if (PvSearch<C>(s, alpha, wideBeta, depth - PvIidProbeReduction, ply, inCheck) > alpha)
        PvSearch<C>(s, alpha, beta, depth - PvIidReduction, ply, inCheck);
    }
    if (r.bestMove && IsPlayable<C>(p, r.bestMove)) hashMove = r.bestMove;
    r.bestMove = 0;
    r.pvLength = 0;
    r.staticEval = eval;
  }
  const HistoryKind history = eval < alpha - FarBelowMargin ? HistoryKind::FarBelow : HistoryKind::Normal;
  const Move previous = s.stack[ply - 1].movePlayed;
  const Move ownPrevious = ply >= 3 ? s.stack[ply - 2].movePlayed : 0;
  const Bitboard pinned = PinnedPieces<C>(p);

  // Step 5: check extension: one legal reply extends a ply, two half a ply.
  int nodeExtension = 0;
  if (inCheck) {
    nodeExtension = CheckEvasionExtension<C>(p, pinned);
    if (nodeExtension < 0) return MatedIn(ply);
  }

  // Step 6: extension of the table move: checks, early passer pushes,
  // recaptures, and a move much better than every other (singular).
  bool hashExtended = false;
  if (depth >= HashExtensionDepth && hashMove && nodeExtension < OnePly) {
    if (GivesCheck<C>(p, hashMove) || IsEarlyPasserPush<C>(p, hashMove))
      nodeExtension = std::max(nodeExtension, HalfPly);
    const bool recapture = previous && ToSquare(hashMove) == ToSquare(previous) && IsCapture(hashMove) &&
                           eval + RecaptureMargin < -s.stack[ply - 1].staticEval;
    if (recapture) {
      hashExtended = true;
    } else {
      UndoRecord undo;
      SearchMake<C>(s, undo, hashMove);
      r.movePlayed = hashMove;
      const bool check = InCheck<Them>(p);
      const int v = -PvSearch<Them>(s, -beta, -alpha, depth - OnePly, ply + 1, check);
      SearchUnmake<C>(s, undo, hashMove);
      if (v > alpha && std::abs(v) < MaxOrdinaryScore) {
        bool singular = false;
        if (depth >= SingularWideDepth) {
          const int wide = v - SingularWideMargin;
          singular =
              ExclusionSearch<C>(s, wide, depth - SingularWideReduction, ply, hashMove, inCheck) < wide;
        }
        const int narrow = v - SingularMargin;
        if (!singular &&
            ExclusionSearch<C>(s, narrow, depth - SingularReduction, ply, hashMove, inCheck) < narrow)
          singular = true;
        hashExtended = singular;
      }
      r.pvLength = 0;
      r.bestMove = 0;
      r.staticEval = eval;
    }
  }

  // Step 7: the moves.
  MovePicker<C> picker = inCheck ? MovePicker<C>::ForEvasions(s, hashMove, r, previous)
                                 : MovePicker<C>(s, hashMove, r, previous, history, QuietMoves::All);
  int best = -MateScore - 1;
  Move bestMove = 0;
  int moveCount = 0, quietCount = 0;
  const int originalAlpha = alpha;
  while (const Move m = picker.Next()) {
    if (!IsLegal<C>(p, m, pinned)) continue;
    const bool quiet = !IsCapture(m) && !HasPromotionMark(m);
    const bool isHash = hashMove && SameMove(m, hashMove);

    // Step 8: pruning of later moves. The first move (the table move when
    // there is one) is never pruned: a node whose every move was pruned
    // would take itself for stalemate.
    if (!inCheck && moveCount > 0 && !isHash) {
      const bool reversal =
          ownPrevious && FromSquare(m) == ToSquare(ownPrevious) && ToSquare(m) == FromSquare(ownPrevious);
      if (alpha >= 0 && quiet && p.st.fifty >= ReversalHalfMoves && reversal) continue;
      if (depth <= PvPruningDepth && quiet && MovedPieceIsLost<C>(p, r, m)) continue;
      // Quiet checks are not futility-pruned (see the zero-window node).
      if (depth <= PvPruningDepth && quiet && !GivesCheck<C>(p, m)) {
        const int margin =
            FutilityMargin[depth + PvFutilityDepthShift][std::min(quietCount, FutilityQuietColumns)];
        if (eval + ExpectedGain<C>(s.gains, m) + margin < alpha) continue;
      }
    }

    // Step 9: search the move: the first in full, later ones with a zero
    // window first.
    int extension = (isHash && hashExtended) ? OnePly : 0;
    if (!extension && IsPassedPawnPush<C>(p, m)) extension = HalfPly;
    UndoRecord undo;
    SearchMake<C>(s, undo, m);
    r.movePlayed = m;
    const bool check = InCheck<Them>(p);
    if (check) extension = std::max(extension, HalfPly);
    const int childDepth = depth - OnePly + std::max(extension, nodeExtension);
    nodeExtension = 0;   // the node's own extension serves the first move only
    int v;
    if (moveCount == 0 || isHash || childDepth < OnePly) {
      v = -PvSearch<Them>(s, -beta, -alpha, childDepth, ply + 1, check);
    } else {
      v = -ZeroWindowChild<Them>(s, -alpha, childDepth, ply + 1, PvChildFlags, check);
      if (v > alpha) {
        if (depth >= PvResearchDepth) v = -PvSearch<Them>(s, -alpha - 1, -alpha, childDepth, ply + 1, check);
        if (v > alpha) v = -PvSearch<Them>(s, -beta, -alpha, childDepth, ply + 1, check);
      }
    }
    SearchUnmake<C>(s, undo, m);
    ++moveCount;
    if (quiet) ++quietCount;
    if (v > best) {
      best = v;
      if (v > alpha) {
        alpha = v;
        bestMove = m;
        AppendPv(r, m, s.stack[ply + 1]);
        if (v >= beta) break;
      }
    }
  }

  // Step 10: the result into the table, the ordering, and the controller.
  if (moveCount == 0) return inCheck ? MatedIn(ply) : 0;
  r.bestMove = bestMove;
  const int stored = ScoreToHash(best, ply);
  const int storeDepth = StoredDepth(depth);
  const bool bestIsQuiet = !IsCapture(bestMove) && !HasPromotionMark(bestMove);
  if (best >= beta) {
    if (bestIsQuiet) GoodQuietMove<C>(s, r, bestMove, previous, depth, history);
    StoreLower(key, bestMove, storeDepth, stored);
  } else if (best <= originalAlpha) {
    StoreUpper(key, 0, storeDepth, stored);
  } else {
    if (bestIsQuiet) GoodQuietMove<C>(s, r, bestMove, previous, depth, history);
    StoreExact(key, bestMove, storeDepth, stored);
    if (s.limits.slaveLevel) PostResult(s, r, key, depth, ply, best, bestMove);
  }
  return best;
}

template int PvSearch<White>(SearchContext&, int, int, int, int, bool);
template int PvSearch<Black>(SearchContext&, int, int, int, int, bool);
