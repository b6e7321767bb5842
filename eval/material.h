// Material: the imbalance table over piece counts, the per-piece adjustment
// options and the material value of a position in internal units.
#pragma once
#include <cstdint>
#include "board/position.h"
#include "board/material_key.h"

// 131072 entries indexed by bits 0-16 of the material key (internal units).
extern int16_t Imbalance[131072];
void InitImbalanceTable();

// Piece counts behind an imbalance index (queens do not enter it).
struct MaterialCounts {
  int knights[2], bishops[2], rooks[2], pawns[2];
};
MaterialCounts DecodeImbalanceIndex(int index);
int ImbalanceValue(const MaterialCounts& m);   // the model the table is built from

// The twelve adjustment options in cp, in the order White/Black Pawn, Knight,
// King Bishop, Queen Bishop, Rook, Queen. Builds MaterialAdjustment for the
// coming search; in play mode with Black to move the colours are exchanged.
void BuildAdjustmentTable(const int (&optionsCp)[12], Color sideToMove, bool playMode);
// Sum of the adjustments of the men on the board (the position's delta word).
int32_t ComputeMaterialDelta(const Position& p);

// Material value in internal units (White's view).
inline int MaterialValue(const Position& p) {
  const uint64_t mk = p.st.materialKey;
  return MaterialBalanceField(mk) * 1024 - 0x20000 + Imbalance[ImbalanceIndex(mk)] + p.st.materialDelta;
}
