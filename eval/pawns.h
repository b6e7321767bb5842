// Pawn structure: evaluated once per pawn configuration (pawn key) and
// kept in a cache of 8192 records.
#pragma once
#include <algorithm>
#include <cstdint>
#include "board/position.h"
#include "eval/score.h"

struct alignas(64) PawnInfo {
  uint64_t key;
  Bitboard passed[2];          // passed pawns per side
  Bitboard attackSpan[2];      // squares each side's pawns attack now or after advancing
  Bitboard rookBlocked[2];     // for a side's rooks: squares behind the enemy pawns
  Bitboard backward[2];        // backward pawns per side
  PackedScore score;           // White's view
  PackedScore shelter[2];      // king shelter per side (used while queens are on)
};
static_assert(sizeof(PawnInfo) == 128);

constexpr int PawnCacheSize = 8192;

// Returns the pawn information of the position, from the cache when present.
const PawnInfo& EvaluatePawns(const Position& p);
// Computes the information without the cache (tests compare both).
void ComputePawnInfo(const Position& p, PawnInfo& info);
// Builds the shelter table from the parameter table; at start-up.
void InitShelterTable();
void AllocatePawnCache();   // at start-up, before any evaluation
void ClearPawnCache();

// Chebyshev distance between squares.
inline int SquareDistance(Square a, Square b) {
  const int df = FileOf(a) - FileOf(b), dr = RankOf(a) - RankOf(b);
  return std::max(df < 0 ? -df : df, dr < 0 ? -dr : dr);
}
