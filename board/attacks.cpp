#include "board/attacks.h"

#include <cstddef>

extern const Bitboard BishopMagics[64];
extern const Bitboard RookMagics[64];

SliderMagic BishopMagic[64];
SliderMagic RookMagic[64];
Bitboard BetweenTable[64][64];
Bitboard LineTable[64][64];

namespace {
// 5248 bishop and 102400 rook attack sets, one block per square.
Bitboard BishopAttackSets[5248];
Bitboard RookAttackSets[102400];

constexpr int RookDirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
constexpr int BishopDirs[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

// Every square along each ray up to and including the first occupied one.
// With trimEdges the last square of each ray is left out (relevant occupancy).
Bitboard SlideAttacks(Square s, Bitboard occupancy, const int (*dirs)[2], bool trimEdges) {
  Bitboard result = 0;
  for (int d = 0; d < 4; ++d) {
    int f = FileOf(s) + dirs[d][0], r = RankOf(s) + dirs[d][1];
    while (f >= 0 && f < 8 && r >= 0 && r < 8) {
      int nf = f + dirs[d][0], nr = r + dirs[d][1];
      if (trimEdges && (nf < 0 || nf > 7 || nr < 0 || nr > 7)) break;
      result |= SquareBit(MakeSquare(f, r));
      if (occupancy & SquareBit(MakeSquare(f, r))) break;
      f = nf;
      r = nr;
    }
  }
  return result;
}

void InitSlider(SliderMagic* table, Bitboard* sets, const Bitboard* factors, const int (*dirs)[2]) {
  Bitboard* next = sets;
  for (Square s = 0; s < 64; ++s) {
    SliderMagic& m = table[s];
    m.mask = SlideAttacks(s, 0, dirs, true);
    m.factor = factors[s];
    m.shift = 64 - PopCount(m.mask);
    m.attacks = next;
    // Walk every subset of the mask (carry-rippler) and store its attack set.
    Bitboard subset = 0;
    do {
      next[m.Index(subset)] = SlideAttacks(s, subset, dirs, false);
      subset = (subset - m.mask) & m.mask;
    } while (subset);
    next += std::size_t(1) << (64 - m.shift);
  }
}
}  // namespace

void InitAttackTables() {
  static bool done = false;
  if (done) return;
  done = true;
  InitSlider(BishopMagic, BishopAttackSets, BishopMagics, BishopDirs);
  InitSlider(RookMagic, RookAttackSets, RookMagics, RookDirs);
  for (Square a = 0; a < 64; ++a) {
    for (Square b = 0; b < 64; ++b) {
      BetweenTable[a][b] = LineTable[a][b] = 0;
      if (a == b) continue;
      Bitboard bb = SquareBit(b);
      if (RookAttacks(a, 0) & bb) {
        BetweenTable[a][b] = RookAttacks(a, bb) & RookAttacks(b, SquareBit(a));
        LineTable[a][b] = (RookAttacks(a, 0) & RookAttacks(b, 0)) | SquareBit(a) | bb;
      } else if (BishopAttacks(a, 0) & bb) {
        BetweenTable[a][b] = BishopAttacks(a, bb) & BishopAttacks(b, SquareBit(a));
        LineTable[a][b] = (BishopAttacks(a, 0) & BishopAttacks(b, 0)) | SquareBit(a) | bb;
      }
    }
  }
}
