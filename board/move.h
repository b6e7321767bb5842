// The 64-bit move word and its tests. Low word (bits 0-31): destination 0-5,
// mover class 6-8, origin 10-15, quiet flag 17, one-hot mover flag 21-26,
// victim class 27-29. High word (bits 32-63): promotion index 10-12 and flags
// 13-16, promotion mark 18, victim ordering bits 20-29, en passant 26, hash mark 31.
// Comparing whole moves as unsigned numbers orders captures and promotions first.
#pragma once
#include "common/types.h"

constexpr Move NullRootMove = 0;             // flips the side to move
constexpr Move PrintableNullMove = 11;       // printed as "null"

constexpr uint32_t LowWord(Move m) { return uint32_t(m); }
constexpr uint32_t HighWord(Move m) { return uint32_t(m >> 32); }
constexpr Move MakeMoveWord(uint32_t low, uint32_t high) { return (Move(high) << 32) | low; }

constexpr Square ToSquare(Move m) { return Square(m & 63); }
constexpr Square FromSquare(Move m) { return Square((m >> 10) & 63); }
constexpr int MoverClass(Move m) { return int((m >> 6) & 7); }
constexpr int VictimClass(Move m) { return int((m >> 27) & 7); }
constexpr bool IsQuietFlag(Move m) { return (m >> 17) & 1; }
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

constexpr bool IsEnPassant(Move m) { return (HighWord(m) & EnPassantFlag) != 0; }
constexpr int PromotionIndex(Move m) { return int((HighWord(m) >> 10) & 7); }
constexpr bool HasPromotionMark(Move m) { return (HighWord(m) & PromotionMark) != 0; }

// Promotion index -> piece code (knight 1, bishop 2, queen 5, rook 6).
constexpr int PromotionCode[2][8] = {{0, 4, 6, 0, 0, 10, 8, 0}, {0, 5, 7, 0, 0, 11, 9, 0}};
// Colourless promotion index by piece type: knight 1, bishop 2, queen 5, rook 6.
constexpr int PromotionIndexOfType(int type) {
  return type == 4 ? 1 : type == 6 ? 2 : type == 10 ? 5 : type == 8 ? 6 : 0;
}
constexpr uint32_t PromotionHighOfIndex(int index) {
  return index == 1 ? PromoKnightHigh : index == 2 ? PromoBishopHigh
       : index == 5 ? PromoQueenHigh : index == 6 ? PromoRookHigh : 0;
}

// Pawn move reaching the last rank, judged from the low word alone.
template <Color C> constexpr bool IsPromotion(Move m) {
  return (LowWord(m) & 0x1F8) == (C == White ? 0xF8u : 0xC0u);
}
// King from e1 to c1/g1 (e8 to c8/g8) without capture; bit 2 of the destination = king side.
template <Color C> constexpr bool IsCastling(Move m) {
  return (LowWord(m) & 0x3800FDFB) == (C == White ? 0x1102u : 0xF13Au);
}
constexpr bool IsDoubleStep(Move m) {
  return MoverClass(m) == 3 && ((LowWord(m) ^ (LowWord(m) >> 10)) & 63) == 16;
}
// Origin, destination and promotion piece: what identifies a move on a given board.
constexpr bool SameMove(Move a, Move b) {
  return ((a ^ b) & 0xFC3F) == 0 && PromotionIndex(a) == PromotionIndex(b);
}
