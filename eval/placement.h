// Placement values: the piece-square profiles and the castling-rights bonus
// that the board's incremental piece-square sum is built from.
#pragma once
#include "board/piece_square.h"

// Middlegame bonus of the rights still held (+100 K, +20 Q; Black negated).
int64_t CastlingRightsValue(uint32_t rights);
// Fills the board's piece-square and castling tables; call once at start-up.
void InitPieceSquareTables();
