// The piece-square sum that make/unmake keep incrementally in the state
// block. The values themselves belong to the evaluation, which fills these
// tables at start-up; the board only adds them up.
#pragma once
#include "common/types.h"

// One signed 64-bit entry per piece code and square:
// (colour weight << 32) + (middlegame << 16) + endgame. The colour weight
// counts pawns by square colour (see the evaluation's placement tables).
extern int64_t PieceSquare[16][64];
// Placement value of the castling rights still held, by rights set, and the
// change of the sum when the rights in the index are lost.
extern int64_t CastlingRightsBonus[16];
extern int64_t CastlingLossDelta[16];

constexpr uint64_t PstSumBase = 0x80008000ULL;   // both lanes at their bias

constexpr int64_t PackScore(int mg, int eg) { return int64_t(mg) * 65536 + eg; }
