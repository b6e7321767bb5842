// Below the main search's horizon: captures (and near the horizon checks)
// until the position is quiet, with the static evaluation as the floor.
#include "search/move_picker.h"

namespace {
// A quiet move or losing capture the exchange test rejects.
template <Color C> bool ExchangeLoses(const Position& p, Move m) {
  if (IsEnPassant(m)) return false;
  const int32_t risk = ExchangeValue(MoverClass(m)) - (IsCapture(m) ? ExchangeValue(VictimClass(m)) : 0);
  if (risk <= 0) return false;
  const Bitboard occ = (p.occupied ^ SquareBit(FromSquare(m))) | SquareBit(ToSquare(m));
  return !(ExchangeTest<C>(p, ToSquare(m), risk, occ, p.pieces[Opponent(C)]) & 1);
}
}  // namespace

template <Color C> int Quiescence(int alpha, int beta, int q, int ply) {
  constexpr Color Them = Opponent(C);
  Position& p = *SearchPosition;
  PlyRecord& r = Stack[ply];
  r.bestMove = 0;
  r.pvLength = 0;
  if (ply >= MaxPly) return EvaluateNode<C>(r);
  if (IsRepetition(p)) return 0;

  const uint64_t key = p.st.key;
  ProbeResult probe;
  ProbeHash<C>(key, probe);
  int decided;
  if (HashDecidesWindow(probe, alpha, beta, ply, decided)) return decided;
  const int eval = EvaluateNode<C>(r);
  r.staticEval = eval;

  // Near the horizon a table move is trusted: it alone decides the node.
  if (q > -3 && probe.hashMove) {
    const Move m = probe.hashMove;
    UndoRecord undo;
    SearchMake<C>(undo, m);
    r.movePlayed = m;
    const bool check = InCheck<Them>(p);
    const int v = check ? -QuiescenceInCheck<Them>(-beta, -alpha, q - 1, ply + 1)
                        : -Quiescence<Them>(-beta, -alpha, q - 1, ply + 1);
    SearchUnmake<C>(undo, m);
    if (v >= beta) StoreLower(key, m, 2, ScoreToHash(v, ply));
    if (v > alpha) {
      r.bestMove = m;
      AppendPv(r, m, Stack[ply + 1]);
    }
    return v;
  }

  // Stand pat; far below alpha the small captures cannot help (delta pruning).
  int best = eval;
  int checkBudget;
  Bitboard targets = p.pieces[Them];
  if (eval > alpha) {
    if (eval >= beta) return eval;
    alpha = eval;
    checkBudget = q + 2;
  } else {
    checkBudget = q;
    if (eval < alpha - Phase.delta1) {
      targets &= ~p.Pieces(Them, PawnType);
      best = eval + Phase.delta1;
      if (eval < alpha - Phase.delta2) {
        targets &= ~(p.Pieces(Them, KnightType) | p.Pieces(Them, BishopType));
        if (eval < alpha - Phase.delta3) targets &= ~p.Pieces(Them, RookType);
      }
    }
  }
  const int gap = alpha - eval;
  checkBudget += (gap < 43) + (gap < 91) + (gap < 140);

  MovePicker<C> picker = MovePicker<C>::ForQuiescence(p, probe.hashMove, targets, checkBudget > 0);
  const Bitboard pinned = PinnedPieces<C>(p);
  while (const Move m = picker.Next()) {
    if (!IsLegal<C>(p, m, pinned)) continue;
    if (!HasPromotionMark(m) && ExchangeLoses<C>(p, m)) continue;
    UndoRecord undo;
    SearchMake<C>(undo, m);
    r.movePlayed = m;
    const bool check = InCheck<Them>(p);
    const int v = check ? -QuiescenceInCheck<Them>(-beta, -alpha, q - 1, ply + 1)
                        : -Quiescence<Them>(-beta, -alpha, q - 1, ply + 1);
    SearchUnmake<C>(undo, m);
    if (v > best) {
      best = v;
      if (v > alpha) {
        alpha = v;
        r.bestMove = m;
        AppendPv(r, m, Stack[ply + 1]);
        if (v >= beta) {
          StoreLower(key, m, 2, ScoreToHash(v, ply));
          return v;
        }
      }
    }
  }
  StoreUpper(key, probe.hashMove, 1, ScoreToHash(best, ply));
  return best;
}

template <Color C> int QuiescenceInCheck(int alpha, int beta, int q, int ply) {
  constexpr Color Them = Opponent(C);
  Position& p = *SearchPosition;
  PlyRecord& r = Stack[ply];
  r.bestMove = 0;
  r.pvLength = 0;
  if (ply >= MaxPly) return EvaluateNode<C>(r);
  if (IsRepetition(p)) return 0;

  const uint64_t key = p.st.key;
  ProbeResult probe;
  ProbeHash<C>(key, probe);
  int decided;
  if (HashDecidesWindow(probe, alpha, beta, ply, decided)) return decided;
  r.staticEval = EvaluateNode<C>(r);

  Move evasions[MaxMoves];
  Move* end = GenerateEvasions<C>(p, evasions, true, nullptr);
  const Bitboard pinned = PinnedPieces<C>(p);
  int legal = 0;
  for (Move* m = evasions; m < end; ++m)
    if (IsLegal<C>(p, *m, pinned)) ++legal;
  if (legal == 0) return MatedIn(ply);
  // A forced reply does not use up quiescence depth.
  const int childQ = legal >= 2 ? q - 1 : q;

  const Move previous = Stack[ply - 1].movePlayed;
  MovePicker<C> picker = MovePicker<C>::ForEvasions(p, probe.hashMove, r, previous);
  int best = MatedIn(ply);
  while (const Move m = picker.Next()) {
    if (!IsLegal<C>(p, m, pinned)) continue;
    UndoRecord undo;
    SearchMake<C>(undo, m);
    r.movePlayed = m;
    const bool check = InCheck<Them>(p);
    const int v = check ? -QuiescenceInCheck<Them>(-beta, -alpha, childQ, ply + 1)
                        : -Quiescence<Them>(-beta, -alpha, childQ, ply + 1);
    SearchUnmake<C>(undo, m);
    if (v > best) {
      best = v;
      if (v > alpha) {
        alpha = v;
        r.bestMove = m;
        AppendPv(r, m, Stack[ply + 1]);
        if (v >= beta) {
          if (!IsCapture(m) && !HasPromotionMark(m) && previous) {
            uint16_t* slot = Ordering.evasions[C][previous & 511];
            if (slot[0] != ShortMove(m)) {
              slot[1] = slot[0];
              slot[0] = ShortMove(m);
            }
          }
          StoreLower(key, m, 2, ScoreToHash(v, ply));
          return v;
        }
      }
    }
  }
  StoreUpper(key, 0, 1, ScoreToHash(best, ply));
  return best;
}

template <Color C> int ZeroWindowDepth0(int bound, int ply, uint32_t flags) {
  constexpr Color Them = Opponent(C);
  Position& p = *SearchPosition;
  PlyRecord& r = Stack[ply];
  r.bestMove = 0;
  r.pvLength = 0;
  if (ply >= MaxPly) return EvaluateNode<C>(r);
  if (IsRepetition(p)) return 0;
  if (InCheck<C>(p)) return QuiescenceInCheck<C>(bound - 1, bound, 0, ply);

  const uint64_t key = p.st.key;
  ProbeResult probe;
  ProbeHash<C>(key, probe);
  int decided;
  if (HashDecidesWindow(probe, bound - 1, bound, ply, decided)) return decided;
  const int eval = EvaluateNode<C>(r);
  r.staticEval = eval;
  if (eval >= bound) return eval;

  Bitboard targets = p.pieces[Them];
  int best = eval;
  if (eval < bound - 1 - Phase.delta1) {
    targets &= ~p.Pieces(Them, PawnType);
    if (eval < bound - 1 - Phase.delta2) {
      targets &= ~(p.Pieces(Them, KnightType) | p.Pieces(Them, BishopType));
      if (eval < bound - 1 - Phase.delta3) targets &= ~p.Pieces(Them, RookType);
    }
  }
  MovePicker<C> picker = MovePicker<C>::ForQuiescence(p, probe.hashMove, targets, false);
  const Bitboard pinned = PinnedPieces<C>(p);
  while (const Move m = picker.Next()) {
    if (!IsLegal<C>(p, m, pinned)) continue;
    if (!HasPromotionMark(m) && ExchangeLoses<C>(p, m)) continue;
    UndoRecord undo;
    SearchMake<C>(undo, m);
    r.movePlayed = m;
    const bool check = InCheck<Them>(p);
    const int v = check ? -QuiescenceInCheck<Them>(-bound, 1 - bound, -1, ply + 1)
                        : -ZeroWindowDepth0<Them>(1 - bound, ply + 1, flags ^ CutNodeFlag);
    SearchUnmake<C>(undo, m);
    if (v >= bound) {
      r.bestMove = m;
      StoreLower(key, m, 2, ScoreToHash(v, ply));
      return v;
    }
    if (v > best) best = v;
  }
  StoreUpper(key, 0, 1, ScoreToHash(best, ply));
  return best;
}

template int Quiescence<White>(int, int, int, int);
template int Quiescence<Black>(int, int, int, int);
template int QuiescenceInCheck<White>(int, int, int, int);
template int QuiescenceInCheck<Black>(int, int, int, int);
template int ZeroWindowDepth0<White>(int, int, uint32_t);
template int ZeroWindowDepth0<Black>(int, int, uint32_t);
