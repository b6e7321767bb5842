// Below the main search's horizon: captures (and near the horizon checks)
// until the position is quiet, with the static evaluation as the floor.
#include "search/move_picker.h"

namespace {
// The quiescence child: the in-check variant when the move gave check.
template <Color C> int QuiescenceChild(SearchContext& s, int alpha, int beta, int q, int ply) {
  return InCheck<C>(*s.position) ? QuiescenceInCheck<C>(s, alpha, beta, q, ply)
                                 : Quiescence<C>(s, alpha, beta, q, ply);
}

// Delta pruning: the further the static evaluation lies below alpha, the more
// victim classes are too small to bring it back.
template <Color C> Bitboard DeltaTargets(SearchContext& s, const Position& p, int eval, int alpha) {
  constexpr Color Them = Opponent(C);
  Bitboard targets = p.pieces[Them];
  if (eval < alpha - s.phase.deltaPawns) {
    targets &= ~p.Pieces(Them, PawnType);
    if (eval < alpha - s.phase.deltaMinors) {
      targets &= ~(p.Pieces(Them, KnightType) | p.Pieces(Them, BishopType));
      if (eval < alpha - s.phase.deltaRooks) targets &= ~p.Pieces(Them, RookType);
    }
  }
  return targets;
}

// The steps every quiescence node begins with: a fresh record, the ply cap,
// repetition and a table entry that already decides the window. True when
// `score` is the node's value.
template <Color C> bool EnterQuiescence(SearchContext& s, PlyRecord& r, int alpha, int beta, int ply,
                                        ProbeResult& probe, int& score) {
  r.bestMove = 0;
  r.pvLength = 0;
  if (ply >= MaxPly) return score = EvaluateNode<C>(s, r), true;
  if (IsRepetition(*s.position)) return score = 0, true;
  ProbeHash<C>(*s.position, s.position->st.key, probe);
  return HashDecidesWindow(probe, alpha, beta, ply, score);
}
}  // namespace

template <Color C> int Quiescence(SearchContext& s, int alpha, int beta, int q, int ply) {
  constexpr Color Them = Opponent(C);
  Position& p = *s.position;
  PlyRecord& r = s.stack[ply];
  const uint64_t key = p.st.key;
  ProbeResult probe;
  int decided;
  if (EnterQuiescence<C>(s, r, alpha, beta, ply, probe, decided)) return decided;
  const int eval = EvaluateNode<C>(s, r);
  r.staticEval = eval;

  // Step 1: near the horizon a table move is trusted: it alone decides the node.
  if (q > TrustHashMoveLevel && probe.hashMove) {
    const Move m = probe.hashMove;
    UndoRecord undo;
    SearchMake<C>(s, undo, m);
    r.movePlayed = m;
    const int v = -QuiescenceChild<Them>(s, -beta, -alpha, q - 1, ply + 1);
    SearchUnmake<C>(s, undo, m);
    if (v >= beta) StoreLower(key, m, QuiescenceLowerDepth, ScoreToHash(v, ply));
    if (v > alpha) {
      r.bestMove = m;
      AppendPv(r, m, s.stack[ply + 1]);
    }
    return v;
  }

  // Step 2: stand pat; far below alpha the small captures cannot help (delta pruning).
  int best = eval;
  int checkBudget = q;
  Bitboard targets = p.pieces[Them];
  if (eval > alpha) {
    if (eval >= beta) return eval;
    alpha = eval;
    checkBudget = q + CheckBudgetStandPat;
  } else {
    targets = DeltaTargets<C>(s, p, eval, alpha);
    if (eval < alpha - s.phase.deltaPawns) best = eval + s.phase.deltaPawns;
  }
  const int gap = alpha - eval;
  checkBudget += (gap < CheckBudgetNear) + (gap < CheckBudgetCloser) + (gap < CheckBudgetClosest);
  // Well below alpha a node that finds nothing still gets a small allowance
  // for the captures it did not look at.
  if (gap >= FruitlessGap && q <= 0 && eval + FruitlessAllowance > best) best = eval + FruitlessAllowance;

  // Step 3: captures (and, with budget left, quiet checks).
  const QuietMoves checks = checkBudget > 0 ? QuietMoves::ChecksOnly : QuietMoves::None;
  MovePicker<C> picker = MovePicker<C>::ForQuiescence(s, probe.hashMove, targets, checks);
  const Bitboard pinned = PinnedPieces<C>(p);
  while (const Move m = picker.Next()) {
    if (!IsLegal<C>(p, m, pinned)) continue;
    // The exchange test drops quiet checks and captures that lose the mover,
    // except captures that give check: those are the sacrifices that open a
    // king. Measured at 3+0.03: searching every losing capture scored 44.5 %
    // in 55 games against dropping them all; keeping only the checking ones
    // scored 52 % in 48 games against searching all.
    if (ExchangeLoses<C>(p, m) && !(IsCapture(m) && GivesCheck<C>(p, m))) continue;
    UndoRecord undo;
    SearchMake<C>(s, undo, m);
    r.movePlayed = m;
    const int v = -QuiescenceChild<Them>(s, -beta, -alpha, q - 1, ply + 1);
    SearchUnmake<C>(s, undo, m);
    if (v > best) {
      best = v;
      if (v > alpha) {
        alpha = v;
        r.bestMove = m;
        AppendPv(r, m, s.stack[ply + 1]);
        if (v >= beta) {
          StoreLower(key, m, QuiescenceLowerDepth, ScoreToHash(v, ply));
          return v;
        }
      }
    }
  }
  StoreUpper(key, probe.hashMove, QuiescenceUpperDepth, ScoreToHash(best, ply));
  return best;
}

template <Color C> int QuiescenceInCheck(SearchContext& s, int alpha, int beta, int q, int ply) {
  constexpr Color Them = Opponent(C);
  Position& p = *s.position;
  PlyRecord& r = s.stack[ply];
  const uint64_t key = p.st.key;
  ProbeResult probe;
  int decided;
  if (EnterQuiescence<C>(s, r, alpha, beta, ply, probe, decided)) return decided;
  r.staticEval = EvaluateNode<C>(s, r);

  Move evasions[MaxMoves];
  Move* end = GenerateEvasions<C>(p, evasions, true, nullptr);
  const Bitboard pinned = PinnedPieces<C>(p);
  int legal = 0;
  for (Move* m = evasions; m < end; ++m)
    if (IsLegal<C>(p, *m, pinned)) ++legal;
  if (legal == 0) return MatedIn(ply);
  // A forced reply does not use up quiescence depth.
  const int childQ = legal >= 2 ? q - 1 : q;

  const Move previous = s.stack[ply - 1].movePlayed;
  // Close to alpha every evasion is tried; further below, the rook and
  // bishop promotions are left out.
  const EvasionPromotions promotions = r.staticEval + s.phase.evasionMargin >= alpha
                                           ? EvasionPromotions::All
                                           : EvasionPromotions::QueenAndKnight;
  MovePicker<C> picker = MovePicker<C>::ForEvasions(s, probe.hashMove, r, previous, promotions);
  int best = MatedIn(ply);
  while (const Move m = picker.Next()) {
    if (!IsLegal<C>(p, m, pinned)) continue;
    UndoRecord undo;
    SearchMake<C>(s, undo, m);
    r.movePlayed = m;
    const int v = -QuiescenceChild<Them>(s, -beta, -alpha, childQ, ply + 1);
    SearchUnmake<C>(s, undo, m);
    if (v > best) {
      best = v;
      if (v > alpha) {
        alpha = v;
        r.bestMove = m;
        AppendPv(r, m, s.stack[ply + 1]);
        if (v >= beta) {
          if (!IsCapture(m) && !HasPromotionMark(m) && previous) GoodEvasion<C>(s, m, previous);
          StoreLower(key, m, QuiescenceLowerDepth, ScoreToHash(v, ply));
          return v;
        }
      }
    }
  }
  StoreUpper(key, 0, QuiescenceUpperDepth, ScoreToHash(best, ply));
  return best;
}

template <Color C> int ZeroWindowDepth0(SearchContext& s, int bound, int ply) {
  constexpr Color Them = Opponent(C);
  Position& p = *s.position;
  PlyRecord& r = s.stack[ply];
  if (InCheck<C>(p)) return QuiescenceInCheck<C>(s, bound - 1, bound, 0, ply);
  const uint64_t key = p.st.key;
  ProbeResult probe;
  int decided;
  if (EnterQuiescence<C>(s, r, bound - 1, bound, ply, probe, decided)) return decided;
  const int eval = LazyEvaluateNode<C>(s, r, bound);
  r.staticEval = eval;
  if (eval >= bound) return eval;

  int best = eval;
  const Bitboard targets = DeltaTargets<C>(s, p, eval, bound - 1);
  MovePicker<C> picker = MovePicker<C>::ForQuiescence(s, probe.hashMove, targets, QuietMoves::None);
  const Bitboard pinned = PinnedPieces<C>(p);
  while (const Move m = picker.Next()) {
    if (!IsLegal<C>(p, m, pinned)) continue;
    if (ExchangeLoses<C>(p, m)) continue;
    UndoRecord undo;
    SearchMake<C>(s, undo, m);
    r.movePlayed = m;
    const bool check = InCheck<Them>(p);
    const int v = check ? -QuiescenceInCheck<Them>(s, -bound, 1 - bound, -1, ply + 1)
                        : -ZeroWindowDepth0<Them>(s, 1 - bound, ply + 1);
    SearchUnmake<C>(s, undo, m);
    if (v >= bound) {
      r.bestMove = m;
      StoreLower(key, m, QuiescenceLowerDepth, ScoreToHash(v, ply));
      return v;
    }
    if (v > best) best = v;
  }
  StoreUpper(key, 0, QuiescenceUpperDepth, ScoreToHash(best, ply));
  return best;
}

template int Quiescence<White>(SearchContext&, int, int, int, int);
template int Quiescence<Black>(SearchContext&, int, int, int, int);
template int QuiescenceInCheck<White>(SearchContext&, int, int, int, int);
template int QuiescenceInCheck<Black>(SearchContext&, int, int, int, int);
template int ZeroWindowDepth0<White>(SearchContext&, int, int);
template int ZeroWindowDepth0<Black>(SearchContext&, int, int);
