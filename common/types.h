// Basic value types shared by every subsystem.
#pragma once
#include <cstdint>
#include "common/score.h"

using Bitboard = uint64_t;     // bit n = square n
using Square = int;            // a1 = 0, b1 = 1, ..., h8 = 63
using PositionKey = uint64_t;
using Move = uint64_t;         // low word: squares and classes; high word: ordering flags
using PieceWord = uint64_t;    // what a board square holds (0 = empty)

enum Color : int { White = 0, Black = 1 };

constexpr Color Opponent(Color c) { return Color(c ^ 1); }

// Square helpers.
constexpr int FileOf(Square s) { return s & 7; }
constexpr int RankOf(Square s) { return s >> 3; }
constexpr Square MakeSquare(int file, int rank) { return file + 8 * rank; }
constexpr Bitboard SquareBit(Square s) { return Bitboard(1) << s; }

enum SquareName : int {
  A1, B1, C1, D1, E1, F1, G1, H1,
  A2, B2, C2, D2, E2, F2, G2, H2,
  A3, B3, C3, D3, E3, F3, G3, H3,
  A4, B4, C4, D4, E4, F4, G4, H4,
  A5, B5, C5, D5, E5, F5, G5, H5,
  A6, B6, C6, D6, E6, F6, G6, H6,
  A7, B7, C7, D7, E7, F7, G7, H7,
  A8, B8, C8, D8, E8, F8, G8, H8
};

