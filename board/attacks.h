// Attack sets: magic-multiplication look-ups for sliders, tables for leapers
// and pawns, and the geometric masks shared by generation and evaluation.
#pragma once
#include <array>
#include "common/bitops.h"
#include "common/types.h"

// Fills the slider tables and line masks; must run once before any look-up.
void InitAttackTables();

struct SliderMagic {
  Bitboard mask;       // relevant occupancy (ray squares without the edge ends)
  Bitboard factor;
  const Bitboard* attacks;
  unsigned shift;      // 64 - popcount(mask)
  unsigned Index(Bitboard occupancy) const {
    return unsigned(((occupancy & mask) * factor) >> shift);
  }
};
extern SliderMagic BishopMagic[64];
extern SliderMagic RookMagic[64];

inline Bitboard BishopAttacks(Square s, Bitboard occupancy) {
  const SliderMagic& m = BishopMagic[s];
  return m.attacks[m.Index(occupancy)];
}
inline Bitboard RookAttacks(Square s, Bitboard occupancy) {
  const SliderMagic& m = RookMagic[s];
  return m.attacks[m.Index(occupancy)];
}
inline Bitboard QueenAttacks(Square s, Bitboard occupancy) {
  return BishopAttacks(s, occupancy) | RookAttacks(s, occupancy);
}

namespace detail {
constexpr Bitboard LeaperSet(Square s, const int (*steps)[2], int count) {
  Bitboard b = 0;
  for (int i = 0; i < count; ++i) {
    int f = FileOf(s) + steps[i][0], r = RankOf(s) + steps[i][1];
    if (f >= 0 && f < 8 && r >= 0 && r < 8) b |= SquareBit(MakeSquare(f, r));
  }
  return b;
}
constexpr int KnightSteps[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
constexpr int KingSteps[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
constexpr int WhitePawnSteps[2][2] = {{-1, 1}, {1, 1}};
constexpr int BlackPawnSteps[2][2] = {{-1, -1}, {1, -1}};
constexpr int NeighbourSteps[2][2] = {{-1, 0}, {1, 0}};

template <typename F> constexpr std::array<Bitboard, 64> PerSquare(F f) {
  std::array<Bitboard, 64> t{};
  for (int s = 0; s < 64; ++s) t[s] = f(s);
  return t;
}
}  // namespace detail

inline constexpr auto KnightTable =
    detail::PerSquare([](Square s) { return detail::LeaperSet(s, detail::KnightSteps, 8); });
inline constexpr auto KingTable =
    detail::PerSquare([](Square s) { return detail::LeaperSet(s, detail::KingSteps, 8); });
// Squares a pawn of each colour standing on a square attacks.
inline constexpr std::array<std::array<Bitboard, 64>, 2> PawnAttackTable = {
  detail::PerSquare([](Square s) { return detail::LeaperSet(s, detail::WhitePawnSteps, 2); }),
  detail::PerSquare([](Square s) { return detail::LeaperSet(s, detail::BlackPawnSteps, 2); })};
// The two neighbours of a square on its rank.
inline constexpr auto RankNeighbours =
    detail::PerSquare([](Square s) { return detail::LeaperSet(s, detail::NeighbourSteps, 2); });

inline Bitboard KnightAttacks(Square s) { return KnightTable[s]; }
inline Bitboard KingAttacks(Square s) { return KingTable[s]; }

// Pawn attacks of a whole side.
inline constexpr Bitboard PawnAttacksWhite(Bitboard pawns) {
  return ((pawns & ~FileHBits) << 9) | ((pawns & ~FileABits) << 7);
}
inline constexpr Bitboard PawnAttacksBlack(Bitboard pawns) {
  return ((pawns & ~FileABits) >> 9) | ((pawns & ~FileHBits) >> 7);
}
template <Color C> constexpr Bitboard PawnAttacks(Bitboard pawns) {
  return C == White ? PawnAttacksWhite(pawns) : PawnAttacksBlack(pawns);
}
// One step forward for the given colour.
template <Color C> constexpr Bitboard PawnPush(Bitboard b) { return C == White ? b << 8 : b >> 8; }
template <Color C> constexpr int PawnStep() { return C == White ? 8 : -8; }
// Rank index as seen from the given colour's side (0 = own back rank).
template <Color C> constexpr int RelativeRank(Square s) { return C == White ? RankOf(s) : 7 - RankOf(s); }
template <Color C> constexpr Bitboard RelativeRankBits(int r) { return RankBits(C == White ? r : 7 - r); }

// Squares ahead of a square on its file, towards rank 8 [White] or rank 1 [Black].
inline constexpr std::array<std::array<Bitboard, 64>, 2> AheadOnFile = {
    detail::PerSquare([](Square s) {
      Bitboard b = 0;
      for (int r = RankOf(s) + 1; r < 8; ++r) b |= SquareBit(MakeSquare(FileOf(s), r));
      return b;
    }),
    detail::PerSquare([](Square s) {
      Bitboard b = 0;
      for (int r = RankOf(s) - 1; r >= 0; --r) b |= SquareBit(MakeSquare(FileOf(s), r));
      return b;
    })};
// All squares on ranks above [White] / below [Black] the square's rank.
inline constexpr std::array<std::array<Bitboard, 64>, 2> RanksAhead = {
    detail::PerSquare(
        [](Square s) { return RankOf(s) == 7 ? Bitboard(0) : ~Bitboard(0) << (8 * (RankOf(s) + 1)); }),
    detail::PerSquare(
        [](Square s) { return RankOf(s) == 0 ? Bitboard(0) : ~Bitboard(0) >> (8 * (8 - RankOf(s))); })};
// Squares a pawn on the square can attack while advancing.
inline constexpr std::array<std::array<Bitboard, 64>, 2> PawnAttackSpan = {
    detail::PerSquare([](Square s) {
      Bitboard f = AheadOnFile[0][s];
      return ((f & ~FileHBits) << 1) | ((f & ~FileABits) >> 1);
    }),
    detail::PerSquare([](Square s) {
      Bitboard f = AheadOnFile[1][s];
      return ((f & ~FileHBits) << 1) | ((f & ~FileABits) >> 1);
    })};

// Squares strictly between two squares on a common line (empty otherwise),
// and the whole line through both (empty when they share none).
extern Bitboard BetweenTable[64][64];
extern Bitboard LineTable[64][64];
inline Bitboard Between(Square a, Square b) { return BetweenTable[a][b]; }
inline Bitboard LineThrough(Square a, Square b) { return LineTable[a][b]; }
