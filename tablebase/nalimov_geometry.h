// Board geometry of the Nalimov index scheme: the symmetry transforms, the
// numbering of king pairs and the square-order tables that number a man's
// square relative to the opposing king.
#pragma once
#include <cstdint>
#include "common/types.h"

namespace nalimov {

// Square-order kinds. FreePawn numbers pawn squares with only the reference
// square left out; the others also leave out the squares from which a man of
// that kind would touch the reference king with a check (a pawn moving up).
enum OrderKind : uint8_t { FreePawnOrder, PawnOrder, KnightOrder, BishopOrder, RookOrder, QueenOrder };
constexpr int OrderKindCount = 6;
constexpr uint8_t NotAllowed = 255;

struct SquareOrderTables {
  // order[kind][reference][s]: number of s among the allowed squares, or NotAllowed.
  uint8_t order[OrderKindCount][64][64];
  // allowed[kind][reference]: how many squares are allowed.
  uint8_t allowed[OrderKindCount][64];
};
extern const SquareOrderTables SquareOrders;

// King pairs, numbered in the order (king of the side to move 0..63, other
// king 0..63) over the canonical pairs of each symmetry.
constexpr int PawnKingPairs = 1806;      // first king on files a-d
constexpr int PawnlessKingPairs =
    462;  // first king in a1-d1-d4, the other on or below a1-h8 when it is on it
constexpr uint16_t NoKingPair = 0xFFFF;
struct KingPairTables {
  uint16_t pawnPair[64][64];
  uint16_t pawnlessPair[64][64];
  uint8_t pawnSquares[PawnKingPairs][2];
  uint8_t pawnlessSquares[PawnlessKingPairs][2];
};
extern const KingPairTables KingPairs;

// The eight board symmetries: t & 3 selects the XOR mask 0, 7 (files), 56
// (ranks) or 63; t & 4 adds the reflection in the a1-h8 diagonal afterwards.
constexpr int FileMirrorBit = 1, RankFlipBit = 2, DiagonalBit = 4;
struct SymmetryTables {
  uint8_t image[8][64];
  uint8_t fileMirror[64];    // FileMirrorBit for squares on files e-h
  uint8_t quadrant[64];      // mask bits that bring a square into a1-d4
  bool needsReflection[64][64];   // after the quadrant mask: (first king, other king)
};
extern const SymmetryTables Symmetry;

// Symmetry that brings a pawnless position with kings (first, other) into canonical form.
inline int PawnlessSymmetry(Square first, Square other) {
  int t = Symmetry.quadrant[first];
  int mask = Symmetry.image[t][0];
  if (Symmetry.needsReflection[first ^ mask][other ^ mask]) t |= DiagonalBit;
  return t;
}

// Binomial[n][k] for n < 65, k <= 3.
struct BinomialTable { uint32_t value[65][4]; };
extern const BinomialTable Binomial;

}  // namespace nalimov
