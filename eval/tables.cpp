#include "eval/tables.h"

#include <cstdlib>
#include "board/material_key.h"

int8_t KnightTropism[64][64];
uint8_t ScaleTable[16384];

int CheckKingAttackTable(void (*report)(int, int32_t, int32_t)) {
  // Computed with run-time arithmetic (the factor cannot be folded by the
  // compiler), so a build whose floating point differs is caught.
  volatile double factor = 0.022222222222222223;
  int mismatches = 0;
  for (int index = 0; index < 512; ++index) {
    int32_t computed = 0;
    if (index >= 42 && index <= 87) {
      const int k = index - 32, i = k - 10;
      const int x = int(((i * 25.0) * factor) * k);
      computed = ((x * 60 / 100) << 16) + x * 44 / 100;
    }
    if (index >= 87) {
      const int j = index - 87;
      computed = (((82500 + 1500 * j) / 100) << 16) + (60500 + 1100 * j) / 100;
    }
    if (computed != KingAttackTable[index]) {
      ++mismatches;
      if (report) report(index, KingAttackTable[index], computed);
    }
  }
  return mismatches;
}

namespace {
// Tropism by the knight's distance from the king in files (|df| 0..3) and
// ranks (|dr| 0..4); larger distances add nothing.
constexpr int8_t TropismByOffset[4][5] = {
    // |dr| = 0  1   2   3   4
    {-1, 6, 22, 22, 8},    // |df| = 0
    {22, 22, 23, 22, 8},   // |df| = 1
    {22, 8, 29, 22, 0},    // |df| = 2
    {22, 22, 22, 8, 0},    // |df| = 3
};

void InitTropism() {
  for (Square k = 0; k < 64; ++k)
    for (Square n = 0; n < 64; ++n) {
      const int df = std::abs(FileOf(k) - FileOf(n)), dr = std::abs(RankOf(k) - RankOf(n));
      KnightTropism[k][n] = (df < 4 && dr < 5) ? TropismByOffset[df][dr] : 0;
    }
}

int ScaleOf(int sig) {
  const SignatureCounts c = CountsOfSignature(sig);
  const int wbl = c.whiteLightBishops, wbd = c.whiteDarkBishops, bbl = c.blackLightBishops,
            bbd = c.blackDarkBishops;
  const int wq = c.whiteQueens, bq = c.blackQueens;
  const int wn = c.whiteKnights, bn = c.blackKnights, wr = c.whiteRooks, br = c.blackRooks;
  const int others = wq + bq + wn + bn + wr + br;
  const bool oneBishopEach = wbl + wbd == 1 && bbl + bbd == 1;
  const bool oppositeBishops = oneBishopEach && wbl != bbl;
  const bool noBishops = wbl + wbd + bbl + bbd == 0;
  if (sig == 0) return 192;   // pawn endings: a pawn up is decisive more often
  if (oppositeBishops) {
    if (others == 0) return 57;
    if (wr == 1 && br == 1 && others == 2) return 102;
    if (wq && bq && others == 2) return 108;
    if (wn == 1 && bn == 1 && others == 2) return 108;
    return 115;
  }
  if (noBishops && wq && bq && others == 2) return 115;
  if (oneBishopEach && others == 0) return 140;   // same-coloured bishops
  if (noBishops && wn == 1 && bn == 1 && others == 2) return 140;
  return 128;
}
}  // namespace

void InitEvalTables() {
  InitTropism();
  for (int sig = 0; sig < 16384; ++sig) ScaleTable[sig] = uint8_t(ScaleOf(sig));
}
