#include "search/move_tests.h"

#include "board/make_move.h"

namespace {
// A Chess960 castling checks only with the rook, or by a line the two men open.
template <Color C> bool Chess960CastlingGivesCheck(const Position& p, Square kingFrom, Square rookFrom) {
  const Square k = p.KingSquare(Opponent(C));
  const CastlingTargets t = CastlingTargetsOf<C>(rookFrom > kingFrom);
  const Bitboard after = (p.occupied & ~(SquareBit(kingFrom) | SquareBit(rookFrom))) | SquareBit(t.king) |
                         SquareBit(t.rook);
  const Bitboard queens = p.Pieces(C, QueenType);
  const Bitboard rooks = (p.Pieces(C, RookType) & ~SquareBit(rookFrom)) | SquareBit(t.rook) | queens;
  return (RookAttacks(k, after) & rooks) || (BishopAttacks(k, after) & (p.Pieces(C, BishopType) | queens));
}
}  // namespace

template <Color C> bool GivesCheck(const Position& p, Move m) {
  constexpr Color Them = Opponent(C);
  const Square from = FromSquare(m), to = ToSquare(m), k = p.KingSquare(Them);
  if (IsChess960Castling(m)) [[unlikely]] return Chess960CastlingGivesCheck<C>(p, from, to);
  const Bitboard occ = (p.occupied ^ SquareBit(from)) | SquareBit(to);
  int type = TypeOf(p.CodeAt(from));
  if (type == PawnType && IsPromotion<C>(m)) type = TypeOf(PromotionCode[C][PromotionIndex(m)]);
  switch (type) {
    case PawnType: if (PawnAttackTable[C][to] & SquareBit(k)) return true; break;
    case KnightType: if (KnightAttacks(to) & SquareBit(k)) return true; break;
    case BishopType: if (BishopAttacks(to, occ) & SquareBit(k)) return true; break;
    case RookType: if (RookAttacks(to, occ) & SquareBit(k)) return true; break;
    case QueenType: if (QueenAttacks(to, occ) & SquareBit(k)) return true; break;
    default: break;
  }
  // Discovered checks, castling rook and en passant: look at the sliders with the move made.
  Bitboard after = occ;
  if (IsEnPassant(m)) after ^= SquareBit(to ^ 8);
  Bitboard rooks = p.Pieces(C, RookType) | p.Pieces(C, QueenType),
           bishops = p.Pieces(C, BishopType) | p.Pieces(C, QueenType);
  rooks &= ~SquareBit(from);
  bishops &= ~SquareBit(from);
  if (type == KingType && IsCastling<C>(m)) {
    const CastlingRook rook = CastlingRookOf(to);
    after = (after ^ SquareBit(rook.from)) | SquareBit(rook.to);
    rooks = (rooks & ~SquareBit(rook.from)) | SquareBit(rook.to);
  }
  return (RookAttacks(k, after) & rooks) || (BishopAttacks(k, after) & bishops);
}

template <Color C> bool IsPlayable(const Position& p, Move m) {
  if (!m) return false;
  const Square from = FromSquare(m), to = ToSquare(m);
  const int code = p.CodeAt(from);
  if (!code || ColorOf(code) != C) return false;
  const int type = TypeOf(code);
  const Bitboard toBit = SquareBit(to);
  if (IsChess960Castling(m)) {
    // Generated only when legal: playable when the generator makes it now.
    if (type != KingType || !p.chess960Castling) return false;
    Move quiets[MaxMoves];
    Move* end = GenerateQuiets<C>(p, quiets, nullptr);
    for (Move* q = quiets; q < end; ++q)
      if (IsChess960Castling(*q) && SameMove(*q, m)) return true;
    return false;
  }
  if (p.pieces[C] & toBit) return false;
  bool reachable;
  switch (type) {
    case PawnType: {
      const Square oneStep = from + PawnStep<C>();
      if (IsEnPassant(m))
        reachable = p.st.epSquare && to == Square(p.st.epSquare) && (PawnAttackTable[C][from] & toBit);
      else if (PawnAttackTable[C][from] & toBit) reachable = (p.pieces[Opponent(C)] & toBit) != 0;
      else if (to == oneStep) reachable = !(p.occupied & toBit);
      else reachable = to == oneStep + PawnStep<C>() && RelativeRank<C>(from) == 1 &&
                       !(p.occupied & (SquareBit(oneStep) | toBit));
      if (reachable && (RelativeRank<C>(to) == 7) != IsPromotion<C>(m)) reachable = false;
      break;
    }
    case KnightType: reachable = (KnightAttacks(from) & toBit) != 0; break;
    case BishopType: reachable = (BishopAttacks(from, p.occupied) & toBit) != 0; break;
    case RookType: reachable = (RookAttacks(from, p.occupied) & toBit) != 0; break;
    case QueenType: reachable = (QueenAttacks(from, p.occupied) & toBit) != 0; break;
    default:
      if (IsCastling<C>(m)) {
        Move quiets[MaxMoves];
        Move* end = GenerateQuiets<C>(p, quiets, nullptr);
        reachable = false;
        for (Move* q = quiets; q < end; ++q) reachable |= SameMove(*q, m);
      } else {
        reachable = (KingAttacks(from) & toBit) != 0;
      }
  }
  if (!reachable) return false;
  const Square k = p.KingSquare(C);
  if (InCheck<C>(p)) {
    Move evasions[MaxMoves];
    Move* end = GenerateEvasions<C>(p, evasions, true, nullptr);
    bool found = false;
    for (Move* e = evasions; e < end && !found; ++e) found = SameMove(*e, m);
    if (!found) return false;
  } else if (type != KingType && !IsEnPassant(m)) {
    // Only a man on a line through its own king can be pinned.
    const Bitboard line = LineThrough(k, from);
    if (!line || (line & toBit)) return true;
    const Bitboard occ = p.occupied ^ SquareBit(from);
    constexpr Color Them = Opponent(C);
    const Bitboard queens = p.Pieces(Them, QueenType);
    const Bitboard exposed = (RookAttacks(k, occ) & (p.Pieces(Them, RookType) | queens)) |
                             (BishopAttacks(k, occ) & (p.Pieces(Them, BishopType) | queens));
    return !(exposed & line);
  }
  if (type == KingType && !IsCastling<C>(m))
    return !IsAttackedBy<Opponent(C)>(p, to, p.occupied ^ SquareBit(from));
  return IsLegal<C>(p, m, PinnedPieces<C>(p));
}

template <Color C> bool IsPassedPawnPush(const Position& p, Move m) {
  if (MoverClass(m) != PawnClass || IsCapture(m)) return false;
  const Square to = ToSquare(m);
  const Bitboard enemy = p.Pieces(Opponent(C), PawnType), own = p.Pieces(C, PawnType);
  if (AheadOnFile[C][to] & enemy) return false;
  const Bitboard controllers = PawnAttackSpan[C][to] & enemy;
  if (!controllers) return true;
  const Bitboard neighbours = PawnAttackSpan[Opponent(C)][to + PawnStep<C>()] | RankNeighbours[to];
  return PopCount(own & neighbours) >= PopCount(controllers);
}

template bool GivesCheck<White>(const Position&, Move);
template bool GivesCheck<Black>(const Position&, Move);
template bool IsPlayable<White>(const Position&, Move);
template bool IsPlayable<Black>(const Position&, Move);
template bool IsPassedPawnPush<White>(const Position&, Move);
template bool IsPassedPawnPush<Black>(const Position&, Move);
