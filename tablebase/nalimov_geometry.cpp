#include "tablebase/nalimov_geometry.h"
#include <cstdlib>

namespace nalimov {

namespace {

constexpr int Distance(Square a, Square b) {
  int df = FileOf(a) - FileOf(b), dr = RankOf(a) - RankOf(b);
  df = df < 0 ? -df : df;
  dr = dr < 0 ? -dr : dr;
  return df > dr ? df : dr;
}

constexpr bool IsPawnSquare(Square s) { return s >= 8 && s < 56; }

// True when a man of this kind on s is left out of the numbering relative to reference k.
constexpr bool Excluded(OrderKind kind, Square k, Square s) {
  if (s == k) return true;
  int df = FileOf(s) - FileOf(k), dr = RankOf(s) - RankOf(k);
  df = df < 0 ? -df : df;
  dr = dr < 0 ? -dr : dr;
  switch (kind) {
    case FreePawnOrder: return !IsPawnSquare(s);
    case PawnOrder:
      return !IsPawnSquare(s) || (k == s + 7 && FileOf(s) != 0) || (k == s + 9 && FileOf(s) != 7);
    case KnightOrder: return (df == 1 && dr == 2) || (df == 2 && dr == 1);
    case BishopOrder: return df == 1 && dr == 1;
    case RookOrder: return df + dr == 1;
    case QueenOrder: return df <= 1 && dr <= 1;
  }
  return true;
}

constexpr SquareOrderTables BuildSquareOrders() {
  SquareOrderTables t{};
  for (int kind = 0; kind < OrderKindCount; ++kind)
    for (Square k = 0; k < 64; ++k) {
      int n = 0;
      for (Square s = 0; s < 64; ++s)
        t.order[kind][k][s] = Excluded(OrderKind(kind), k, s) ? NotAllowed : uint8_t(n++);
      t.allowed[kind][k] = uint8_t(n);
    }
  return t;
}

constexpr bool InTriangle(Square s) { return RankOf(s) <= FileOf(s) && FileOf(s) <= 3; }
constexpr bool OnDiagonal(Square s) { return FileOf(s) == RankOf(s); }
constexpr bool AboveDiagonal(Square s) { return RankOf(s) > FileOf(s); }

constexpr KingPairTables BuildKingPairs() {
  KingPairTables t{};
  int pawn = 0, pawnless = 0;
  for (Square a = 0; a < 64; ++a)
    for (Square b = 0; b < 64; ++b) {
      t.pawnPair[a][b] = t.pawnlessPair[a][b] = NoKingPair;
      if (Distance(a, b) <= 1) continue;
      if (FileOf(a) < 4) {
        t.pawnSquares[pawn][0] = uint8_t(a);
        t.pawnSquares[pawn][1] = uint8_t(b);
        t.pawnPair[a][b] = uint16_t(pawn++);
      }
      if (InTriangle(a) && !(OnDiagonal(a) && AboveDiagonal(b))) {
        t.pawnlessSquares[pawnless][0] = uint8_t(a);
        t.pawnlessSquares[pawnless][1] = uint8_t(b);
        t.pawnlessPair[a][b] = uint16_t(pawnless++);
      }
    }
  return t;
}

constexpr SymmetryTables BuildSymmetry() {
  SymmetryTables t{};
  constexpr int masks[4] = {0, 7, 56, 63};
  for (int i = 0; i < 8; ++i)
    for (Square s = 0; s < 64; ++s) {
      Square m = s ^ masks[i & 3];
      t.image[i][s] = uint8_t(i & DiagonalBit ? MakeSquare(RankOf(m), FileOf(m)) : m);
    }
  for (Square s = 0; s < 64; ++s) {
    t.fileMirror[s] = FileOf(s) > 3 ? FileMirrorBit : 0;
    t.quadrant[s] = uint8_t(t.fileMirror[s] | (RankOf(s) > 3 ? RankFlipBit : 0));
  }
  for (Square a = 0; a < 64; ++a)
    for (Square b = 0; b < 64; ++b)
      t.needsReflection[a][b] = !InTriangle(a) || (OnDiagonal(a) && AboveDiagonal(b));
  return t;
}

constexpr BinomialTable BuildBinomial() {
  BinomialTable t{};
  for (int n = 0; n <= 64; ++n) {
    t.value[n][0] = 1;
    for (int k = 1; k <= 3; ++k) t.value[n][k] = n == 0 ? 0 : t.value[n - 1][k - 1] + t.value[n - 1][k];
  }
  return t;
}

}  // namespace

constexpr SquareOrderTables SquareOrders = BuildSquareOrders();
constexpr KingPairTables KingPairs = BuildKingPairs();
constexpr SymmetryTables Symmetry = BuildSymmetry();
constexpr BinomialTable Binomial = BuildBinomial();

static_assert(KingPairs.pawnSquares[PawnKingPairs - 1][0] == MakeSquare(3, 7),
              "every pawn king pair numbered");
static_assert(KingPairs.pawnlessSquares[PawnlessKingPairs - 1][0] == MakeSquare(3, 3),
              "every pawnless king pair numbered");

}  // namespace nalimov
