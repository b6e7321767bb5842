// Bit scans and population counts on bitboards.
#pragma once
#include "common/types.h"

inline int PopCount(Bitboard b) { return __builtin_popcountll(b); }
inline Square LowestSquare(Bitboard b) { return __builtin_ctzll(b); }
inline Square HighestSquare(Bitboard b) { return 63 - __builtin_clzll(b); }
// Removes and returns the lowest set square; b must not be empty.
inline Square PopLowest(Bitboard& b) {
  Square s = __builtin_ctzll(b);
  b &= b - 1;
  return s;
}
inline bool MoreThanOne(Bitboard b) { return (b & (b - 1)) != 0; }

constexpr Bitboard FileABits = 0x0101010101010101ULL;
constexpr Bitboard FileHBits = FileABits << 7;
constexpr Bitboard Rank1Bits = 0xFFULL;
constexpr Bitboard DarkSquares = 0xAA55AA55AA55AA55ULL;
constexpr Bitboard LightSquares = ~DarkSquares;
constexpr Bitboard FileBits(int file) { return FileABits << file; }
constexpr Bitboard RankBits(int rank) { return Rank1Bits << (8 * rank); }
