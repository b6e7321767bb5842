// The exchange tests the search prunes and orders by: what a man is worth
// to capture ordering and to the static exchange test, whether a move loses
// the mover, and whether a moved piece lands where it is lost.
#pragma once
#include <array>
#include "board/movegen.h"
#include "search/ply_record.h"

// A table by piece class: pawn, knight, bishop, rook, queen, king; nothing else.
constexpr std::array<int32_t, 8> ByClass(int32_t pawn, int32_t knight, int32_t bishop, int32_t rook,
                                         int32_t queen, int32_t king) {
  std::array<int32_t, 8> v{};
  v[PawnClass] = pawn, v[KnightClass] = knight, v[BishopClass] = bishop;
  v[RookClass] = rook, v[QueenClass] = queen, v[KingClass] = king;
  return v;
}
// Value of a man for capture ordering, in pawns (the king above all).
inline int ClassValue(int cls) {
  constexpr std::array<int32_t, 8> value = ByClass(1, 3, 3, 5, 9, 20);
  return value[size_t(cls)];
}
// Exchange values for the static exchange test: half pawns, shifted up 16
// bits so that the test can keep its count of attackers in the low bits.
constexpr int32_t HalfPawns(int n) { return n << 16; }
inline int32_t ExchangeValue(int cls) {
  constexpr std::array<int32_t, 8> value =
      ByClass(HalfPawns(2), HalfPawns(6), HalfPawns(6), HalfPawns(10), HalfPawns(20), HalfPawns(62));
  return value[size_t(cls)];
}

// A quiet move or capture that the exchange test says loses material: the
// mover is worth more than what it takes (nothing for a quiet move) and the
// opponent wins the exchange on the destination. En passant (a pawn takes a
// pawn), promotions (the new piece pays for the pawn) and Chess960 castlings
// (whose destination is the rook's square, not the king's) never count as losing.
template <Color C> bool ExchangeLoses(const Position& p, Move m) {
  if (IsEnPassant(m) || HasPromotionMark(m) || IsChess960Castling(m)) return false;
  const int32_t risk = ExchangeValue(MoverClass(m)) - ExchangeValue(VictimClass(m));
  if (risk <= 0) return false;
  const Bitboard occ = (p.occupied ^ SquareBit(FromSquare(m))) | SquareBit(ToSquare(m));
  return !(ExchangeTest<C>(p, ToSquare(m), risk, occ, p.pieces[Opponent(C)]) & 1);
}

// A move of a piece that the opponent attacks to a square where the exchange
// test says it is lost. The node's attack maps answer "attacked" when its
// evaluation made them; after a lazy evaluation the square is tested directly.
template <Color C> inline bool MovedPieceIsLost(const Position& p, const PlyRecord& r, Move m) {
  constexpr Color Them = Opponent(C);
  const Square from = FromSquare(m);
  const bool attacked =
      r.attacksValid ? (r.eval.attacks[Them] & SquareBit(from)) != 0 : IsAttackedBy<Them>(p, from);
  if (!attacked) return false;
  const Bitboard occ = (p.occupied ^ SquareBit(from)) | SquareBit(ToSquare(m));
  return !(ExchangeTest<C>(p, ToSquare(m), ExchangeValue(MoverClass(m)), occ, p.pieces[Them]) & 1);
}
