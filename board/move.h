// The 64-bit move word and its tests. Low word (bits 0-31): destination 0-5,
// mover class 6-8, origin 10-15, quiet flag 17, one-hot mover flag 21-26,
// victim class 27-29. High word (bits 32-63): promotion index 10-12 and flags
// 13-16, promotion mark 18, victim ordering bits 20-29, en passant 26, hash mark 31.
// Comparing whole moves as unsigned numbers orders captures and promotions first.
#pragma once
#include "board/piece.h"
#include "common/types.h"

constexpr Move NullRootMove = 0;             // flips the side to move
constexpr Move PrintableNullMove = 11;       // printed as "null"

// Fields of the low word.
constexpr uint32_t DestinationBits = 63;
constexpr uint32_t DestinationRankBits = 7u << 3;
constexpr uint32_t MoverClassShift = 6;
constexpr uint32_t MoverClassBits = 7u << MoverClassShift;
constexpr uint32_t OriginShift = 10;
constexpr uint32_t OriginBits = 63u << OriginShift;
constexpr uint32_t VictimClassShift = 27;
constexpr uint32_t VictimClassBits = 7u << VictimClassShift;
constexpr uint32_t QuietFlagBit = 1u << 17;
constexpr uint32_t MoverFlagBits = 63u << 21;   // one bit per mover class
constexpr uint32_t KingMoverFlag = 1u << 21;
// Origin and destination: with the promotion piece, what identifies a move.
constexpr uint32_t SquareBits = OriginBits | DestinationBits;

constexpr uint32_t LowWord(Move m) { return uint32_t(m); }
constexpr uint32_t HighWord(Move m) { return uint32_t(m >> 32); }
constexpr Move MakeMoveWord(uint32_t low, uint32_t high) { return (Move(high) << 32) | low; }

constexpr Square ToSquare(Move m) { return Square(m & DestinationBits); }
constexpr Square FromSquare(Move m) { return Square((m >> OriginShift) & 63); }
constexpr int MoverClass(Move m) { return int((m >> MoverClassShift) & 7); }
constexpr int VictimClass(Move m) { return int((m >> VictimClassShift) & 7); }
// The move word's quiet flag: set when the destination holds no enemy man
// (en passant and promotions included); not the search's idea of a quiet move.
constexpr bool HasQuietFlag(Move m) { return (LowWord(m) & QuietFlagBit) != 0; }
// A move that removes an enemy man (en passant included).
constexpr bool IsCapture(Move m) { return VictimClass(m) != 0 || ((HighWord(m) >> 26) & 1); }

// High-word promotion values (index 10-12, piece flag, promotion mark 18).
constexpr uint32_t PromoKnightHigh = 0x48400;
constexpr uint32_t PromoBishopHigh = 0x42800;
constexpr uint32_t PromoQueenHigh = 0x51400;
constexpr uint32_t PromoRookHigh = 0x45800;
constexpr uint32_t PromotionMark = 1u << 18;
constexpr uint32_t EnPassantFlag = 1u << 26;
constexpr uint32_t HashMarkBits = (1u << 31) | (1u << 7);
constexpr uint32_t VictimOrderingBits = 0x29520000;   // one bit per victim class

constexpr bool IsEnPassant(Move m) { return (HighWord(m) & EnPassantFlag) != 0; }
constexpr int PromotionIndex(Move m) { return int((HighWord(m) >> 10) & 7); }
constexpr bool HasPromotionMark(Move m) { return (HighWord(m) & PromotionMark) != 0; }

// The promotion index is the class of the piece promoted to (knight,
// bishop, queen or rook); 0 for other moves.
constexpr int PromotionCode[2][8] = {
    {NoPiece, WhiteKnight, WhiteBishop, NoPiece, NoPiece, WhiteQueen, WhiteRook, NoPiece},
    {NoPiece, BlackKnight, BlackBishop, NoPiece, NoPiece, BlackQueen, BlackRook, NoPiece}};
static_assert(PromotionCode[White][KnightClass] == WhiteKnight &&
              PromotionCode[Black][RookClass] == BlackRook);
// Promotion index of a colourless piece type (0 for a type no pawn becomes).
constexpr int PromotionIndexOfType(int type) {
  return type == KnightType ? KnightClass : type == BishopType ? BishopClass
       : type == QueenType  ? QueenClass  : type == RookType   ? RookClass : NoClass;
}
constexpr uint32_t PromotionHighOfIndex(int index) {
  return index == KnightClass ? PromoKnightHigh : index == BishopClass ? PromoBishopHigh
       : index == QueenClass  ? PromoQueenHigh  : index == RookClass   ? PromoRookHigh : 0;
}
constexpr bool PromotesToQueen(Move m) { return PromotionIndex(m) == QueenClass; }

// Pawn move reaching the last rank, judged from the low word alone.
template <Color C> constexpr bool IsPromotion(Move m) {
  constexpr uint32_t lastRank = (C == White ? 7u : 0u) << 3;
  return (LowWord(m) & (DestinationRankBits | MoverClassBits)) == (lastRank | (PawnClass << MoverClassShift));
}
// King from e1 to c1/g1 (e8 to c8/g8) without capture: the destination is
// tested without its bit 2, which tells the king side from the queen side.
// The shape also asks for a clear Chess960 bit, so that a king-takes-rook
// castling from e1 to a rook on c1 or g1 is never read as this one.
constexpr uint32_t CastlingSideBit = 4;
// Chess960 castling of a setup other than the standard one: the move is
// written as the king taking its own rook (origin the king's square,
// destination the rook's), marked by this low-word bit; no victim, quiet flag set.
constexpr uint32_t Chess960CastlingBit = 1u << 16;
constexpr uint32_t CastlingShapeBits =
    ((DestinationBits & ~CastlingSideBit) | MoverClassBits | OriginBits | VictimClassBits | Chess960CastlingBit);
template <Color C> constexpr uint32_t CastlingShape() {
  return uint32_t(C == White ? C1 : C8) | (KingClass << MoverClassShift) |
         (uint32_t(C == White ? E1 : E8) << OriginShift);
}
static_assert(CastlingShapeBits == 0x3801FDFB && CastlingShape<White>() == 0x1102 &&
              CastlingShape<Black>() == 0xF13A);
template <Color C> constexpr bool IsCastling(Move m) {
  return (LowWord(m) & CastlingShapeBits) == CastlingShape<C>();
}
constexpr bool IsChess960Castling(Move m) { return (LowWord(m) & Chess960CastlingBit) != 0; }
// Either form of castling.
template <Color C> constexpr bool IsAnyCastling(Move m) { return IsCastling<C>(m) || IsChess960Castling(m); }
constexpr bool IsDoubleStep(Move m) {
  return MoverClass(m) == PawnClass && ((LowWord(m) ^ (LowWord(m) >> OriginShift)) & DestinationBits) == 16;
}
// Origin, destination and promotion piece: what identifies a move on a given board.
// (A Chess960 castling onto a rook on c1 or g1 is not the two-step castling.)
constexpr bool SameMove(Move a, Move b) {
  return ((a ^ b) & (SquareBits | Chess960CastlingBit)) == 0 && PromotionIndex(a) == PromotionIndex(b);
}
