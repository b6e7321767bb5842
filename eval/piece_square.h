// Piece-square table: one signed 64-bit entry per piece code and square,
// (colour weight << 32) + (middlegame << 16) + endgame, summed into the
// position's PstSum. The colour weight counts pawns by square colour.
#pragma once
#include "common/types.h"

extern int64_t PieceSquare[16][64];
// PstSum change when the castling rights in the index are lost.
extern int64_t CastlingLossDelta[16];

constexpr uint64_t PstSumBase = 0x80008000ULL;   // both lanes at their bias
// Middlegame bonus of the rights still held (+100 K, +20 Q; Black negated).
int64_t CastlingRightsValue(uint32_t rights);

void InitPieceSquareTables();

constexpr int64_t PackScore(int mg, int eg) { return int64_t(mg) * 65536 + eg; }
