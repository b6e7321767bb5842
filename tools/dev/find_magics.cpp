// Finds magic factors for the slider attack tables and prints them as C++ arrays.
// Each factor maps every relevant occupancy of a square to an index of
// (64 - shift) bits without two occupancies with different attack sets colliding.
// Build: g++ -O2 -std=c++20 tools/dev/find_magics.cpp -o find_magics
#include <cstdint>
#include <cstdio>
#include <vector>

using U64 = uint64_t;

static U64 rngState = 0x9E3779B97F4A7C15ULL;
static U64 Next() {  // xorshift64*
  rngState ^= rngState >> 12; rngState ^= rngState << 25; rngState ^= rngState >> 27;
  return rngState * 2685821657736338717ULL;
}
static U64 Sparse() { return Next() & Next() & Next(); }

static U64 Slide(int sq, U64 occ, const int (*dirs)[2], bool edgeTrim) {
  U64 r = 0;
  int f0 = sq & 7, r0 = sq >> 3;
  for (int d = 0; d < 4; ++d) {
    int f = f0 + dirs[d][0], k = r0 + dirs[d][1];
    while (f >= 0 && f < 8 && k >= 0 && k < 8) {
      if (edgeTrim) {
        int nf = f + dirs[d][0], nk = k + dirs[d][1];
        if (nf < 0 || nf > 7 || nk < 0 || nk > 7) break;
      }
      r |= 1ULL << (f + 8 * k);
      if (occ & (1ULL << (f + 8 * k))) break;
      f += dirs[d][0]; k += dirs[d][1];
    }
  }
  return r;
}

int main() {
  const int rookDirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  const int bishopDirs[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
  for (int piece = 0; piece < 2; ++piece) {
    const int (*dirs)[2] = piece ? rookDirs : bishopDirs;
    printf("const Bitboard %sMagics[64] = {\n", piece ? "Rook" : "Bishop");
    for (int sq = 0; sq < 64; ++sq) {
      U64 mask = Slide(sq, 0, dirs, true);
      int bits = __builtin_popcountll(mask);
      std::vector<U64> occ, att;
      U64 sub = 0;
      do { occ.push_back(sub); att.push_back(Slide(sq, sub, dirs, false)); sub = (sub - mask) & mask; } while (sub);
      std::vector<U64> used(size_t(1) << bits);
      std::vector<int> stamp(size_t(1) << bits, 0);
      for (int attempt = 1;; ++attempt) {
        U64 magic = Sparse();
        if (__builtin_popcountll((mask * magic) & 0xFF00000000000000ULL) < 6) continue;
        bool ok = true;
        for (size_t i = 0; i < occ.size() && ok; ++i) {
          size_t idx = (occ[i] * magic) >> (64 - bits);
          if (stamp[idx] != attempt) { stamp[idx] = attempt; used[idx] = att[i]; }
          else if (used[idx] != att[i]) ok = false;
        }
        if (ok) { printf("  0x%016llXULL,%s", (unsigned long long)magic, sq % 2 ? "\n" : ""); break; }
      }
    }
    printf("};\n");
  }
}
