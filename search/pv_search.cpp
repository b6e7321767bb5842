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
void PostResult(SearchContext& s, const PlyRecord& r, uint64_t key, int depth, int ply, int score, Move move) {
  if (ply - 1 >= 10 || depth < 20 || score < -499 || score > 499) return;
  const uint64_t now = platform::NowMs();
  if (depth < s.lastPostDepth && now - s.lastPostTime <= 500) return;
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
template <Color C> int ExclusionSearch(SearchContext& s, int bound, int depth, int ply, Move excluded, bool inCheck) {
  constexpr NodeFlags flags{NodeKind::Cut, true};
  return inCheck ? ZeroWindowInCheck<C>(s, bound, depth, ply, excluded, flags)
                 : ZeroWindow<C>(s, bound, depth, ply, excluded, flags);
}
}  // namespace

template <Color C> int PvSearch(SearchContext& s, int alpha, int beta, int depth, int ply, bool inCheck) {
  constexpr Color Them = Opponent(C);
  if (depth < 2) return inCheck ? QuiescenceInCheck<C>(s, alpha, beta, 0, ply) : Quiescence<C>(s, alpha, beta, 0, ply);
  Position& p = *s.position;
  PlyRecord& r = s.stack[ply];
  r.bestMove = 0;
  r.pvLength = 0;
  if (ply > PvPlyLimit) return 0;
  if (p.st.fifty >= (s.limits.silentMode ? 40u : 100u)) return 0;
  if (IsRepetition(p)) return 0;

  const uint64_t key = p.st.key;
  ProbeResult probe;
  ProbeHash<C>(*s.position, key, probe);
  for (int i = 0; i < probe.hits; ++i) {
    const HashEntry& e = probe.hit[i];
    const int s = ScoreFromHash(e, ply);
    if (EntryDepth(e) < depth) continue;
    if (EntryIsExact(e) && UsableForBound(s, alpha, beta)) {
      Touch(*probe.slot[i], e);
      return s;
    }
    if (depth < 6) {
      if (EntryHasLower(e) && !EntryHasUpper(e) && s >= beta && UsableForBound(s, alpha, beta)) return s;
      if (EntryHasUpper(e) && !EntryHasLower(e) && s < beta && UsableForBound(s, alpha, beta)) {
        beta = s;
        if (s <= alpha) return s;
      }
    }
  }
  Move hashMove = probe.hashMove;
  const int eval = EvaluateNode<C>(s, r);
  r.staticEval = eval;
  if (int tableScore; TablebaseScoreAtNode(s, depth, ply, tableScore)) return tableScore;

  // Internal iterative deepening: find a move to search first.
  if (probe.maxDepth < depth - (hashMove ? 10 : 2)) {
    if (depth < 12) {
      PvSearch<C>(s, alpha, beta, depth - 2, ply, inCheck);
    } else if (PvSearch<C>(s, alpha, std::min(beta + 500, MateScore), depth - 8, ply, inCheck) > alpha) {
      PvSearch<C>(s, alpha, beta, depth - 4, ply, inCheck);
    }
    if (r.bestMove && IsPlayable<C>(p, r.bestMove)) hashMove = r.bestMove;
    r.bestMove = 0;
    r.pvLength = 0;
    r.staticEval = eval;
  }
  const int farBelow = eval < alpha - 100;
  const Move previous = s.stack[ply - 1].movePlayed;
  const Move ownPrevious = ply >= 3 ? s.stack[ply - 2].movePlayed : 0;
  const Bitboard pinned = PinnedPieces<C>(p);

  // In check: one legal reply extends a ply, two half a ply.
  int nodeExtension = 0;
  if (inCheck) {
    Move evasions[MaxMoves];
    Move* end = GenerateEvasions<C>(p, evasions, true, nullptr);
    int legal = 0;
    for (Move* m = evasions; m < end; ++m) legal += IsLegal<C>(p, *m, pinned);
    if (legal == 0) return MatedIn(ply);
    if (legal == 1) {
      nodeExtension = 2;
    } else if (legal == 2) {
      nodeExtension = 1;
    }
  }

  // Extension of the table move: checks, early passer pushes, recaptures,
  // and a move much better than every other (singular).
  bool hashExtended = false;
  if (depth >= 16 && hashMove && nodeExtension < 2) {
    if (GivesCheck<C>(p, hashMove) || IsEarlyPasserPush<C>(p, hashMove))
      nodeExtension = std::max(nodeExtension, 1);
    const bool recapture = previous && ToSquare(hashMove) == ToSquare(previous) && IsCapture(hashMove) &&
                           eval + 50 < -s.stack[ply - 1].staticEval;
    if (recapture) {
      hashExtended = true;
    } else {
      UndoRecord undo;
      SearchMake<C>(s, undo, hashMove);
      r.movePlayed = hashMove;
      const bool check = InCheck<Them>(p);
      const int v = -PvSearch<Them>(s, -beta, -alpha, depth - 2, ply + 1, check);
      SearchUnmake<C>(s, undo, hashMove);
      if (v > alpha && std::abs(v) < MaxOrdinaryScore) {
        bool singular = false;
        if (depth >= 26) {
          const int wide = v - 80;
          singular = ExclusionSearch<C>(s, wide, depth - 14, ply, hashMove, inCheck) < wide;
        }
        if (!singular && ExclusionSearch<C>(s, v - 16, depth - 10, ply, hashMove, inCheck) < v - 16) singular = true;
        hashExtended = singular;
      }
      r.pvLength = 0;
      r.bestMove = 0;
      r.staticEval = eval;
    }
  }

  MovePicker<C> picker = inCheck ? MovePicker<C>::ForEvasions(s, hashMove, r, previous)
                                 : MovePicker<C>(s, hashMove, r, previous, farBelow, true, false);
  int best = -MateScore - 1;
  Move bestMove = 0;
  int moveCount = 0, quietCount = 0;
  const int originalAlpha = alpha;
  while (const Move m = picker.Next()) {
    if (!IsLegal<C>(p, m, pinned)) continue;
    const bool quiet = !IsCapture(m) && !HasPromotionMark(m);
    const bool isHash = hashMove && SameMove(m, hashMove);
    // The first move (the table move when there is one) is never pruned: a
    // node whose every move was pruned would take itself for stalemate.
    if (!inCheck && moveCount > 0 && !isHash) {
      if (alpha >= 0 && quiet && p.st.fifty >= 2 && ownPrevious && FromSquare(m) == ToSquare(ownPrevious) &&
          ToSquare(m) == FromSquare(ownPrevious))
        continue;
      if (depth <= 8 && quiet && MovedPieceIsLost<C>(p, r, m)) continue;
      // Quiet checks are not futility-pruned (see the zero-window node).
      if (depth <= 8 && quiet && !GivesCheck<C>(p, m) &&
          eval + ExpectedGain<C>(s.gains, m) + FutilityMargin[depth + 3][std::min(quietCount, 4)] < alpha)
        continue;
    }
    int extension = (isHash && hashExtended) ? 2 : 0;
    if (!extension && IsPassedPawnPush<C>(p, m)) extension = 1;
    UndoRecord undo;
    SearchMake<C>(s, undo, m);
    r.movePlayed = m;
    const bool check = InCheck<Them>(p);
    if (check) extension = std::max(extension, 1);
    const int childDepth = depth - 2 + std::max(extension, nodeExtension);
    nodeExtension = 0;   // the node's own extension serves the first move only
    int v;
    if (moveCount == 0 || isHash || childDepth < 2) {
      v = -PvSearch<Them>(s, -beta, -alpha, childDepth, ply + 1, check);
    } else {
      v = -ZeroWindowChild<Them>(s, -alpha, childDepth, ply + 1, PvChildFlags, check);
      if (v > alpha) {
        if (depth >= 16) v = -PvSearch<Them>(s, -alpha - 1, -alpha, childDepth, ply + 1, check);
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
  if (moveCount == 0) return inCheck ? MatedIn(ply) : 0;
  r.bestMove = bestMove;
  const int stored = ScoreToHash(best, ply);
  const int storeDepth = std::min(depth, 63);
  if (best >= beta) {
    if (!IsCapture(bestMove) && !HasPromotionMark(bestMove)) GoodQuietMove<C>(s, r, bestMove, previous, depth, farBelow);
    StoreLower(key, bestMove, storeDepth, stored);
  } else if (best <= originalAlpha) {
    StoreUpper(key, 0, storeDepth, stored);
  } else {
    if (!IsCapture(bestMove) && !HasPromotionMark(bestMove)) GoodQuietMove<C>(s, r, bestMove, previous, depth, farBelow);
    StoreExact(key, bestMove, storeDepth, stored);
    if (s.limits.slaveLevel) PostResult(s, r, key, depth, ply, best, bestMove);
  }
  return best;
}

template int PvSearch<White>(SearchContext&, int, int, int, int, bool);
template int PvSearch<Black>(SearchContext&, int, int, int, int, bool);
