// Positions of a table's material for the index tests: legality as the
// reference numbers define it, random legal positions (with or without an
// en-passant capture), the board symmetries and a code that tells positions apart.
#pragma once
#include <random>
#include <string>
#include <utility>
#include "board/attacks.h"
#include "tablebase/nalimov_locate.h"

using nalimov::Army;
using nalimov::ManKind;
using nalimov::ManKinds;
using nalimov::KingSlot;

struct TablePosition {
  Army men[2] = {Army(0), Army(0)};   // table colours
  Color stm = White;
  Square ep = nalimov::NoEnPassant;

  uint64_t Index(int table) const { return nalimov::Layout(table, stm).Index(men[0].slots, men[1].slots, ep, false); }
  Bitboard Occupied() const {
    Bitboard b = 0;
    for (const Army& a : men) {
      b |= SquareBit(a.slots[KingSlot]);
      for (int k = 0; k < ManKinds; ++k)
        for (int j = 0; j < a.count[k]; ++j) b |= SquareBit(a.slots[3 * k + j]);
    }
    return b;
  }
  template <typename Map> TablePosition Mapped(Map map) const {
    TablePosition p = *this;
    for (Army& a : p.men)
      for (Square& s : a.slots) s = map(s);
    if (ep != nalimov::NoEnPassant) p.ep = map(ep);
    return p;
  }
};

// Symmetry t of the board: XOR mask 0, 7, 56 or 63 by t & 3, then the
// reflection in the a1-h8 diagonal when t & 4.
inline Square Symmetric(int t, Square s) {
  static constexpr int masks[4] = {0, 7, 56, 63};
  s ^= masks[t & 3];
  return t & 4 ? MakeSquare(RankOf(s), FileOf(s)) : s;
}

// Code of a position seen through symmetry t (at most four men besides the
// kings); like men in square order, so equal codes mean equal positions.
inline uint64_t Code(const TablePosition& p, int t) {
  uint64_t code = p.ep == nalimov::NoEnPassant ? 0 : uint64_t(Symmetric(t, p.ep));
  for (const Army& a : p.men) {
    code = code * 64 + uint64_t(Symmetric(t, a.slots[KingSlot]));
    for (int k = 0; k < ManKinds; ++k) {
      Square s[3] = {};
      for (int j = 0; j < a.count[k] && j < 3; ++j) s[j] = Symmetric(t, a.slots[3 * k + j]);
      for (int pass = 0; pass < 2; ++pass)
        for (int j = 0; j + 1 < a.count[k] && j < 2; ++j)
          if (s[j] > s[j + 1]) std::swap(s[j], s[j + 1]);
      for (int j = 0; j < a.count[k] && j < 3; ++j) code = code * 64 + uint64_t(s[j]);
    }
  }
  return code;
}

// Men of each kind per colour of a table name such as "kbnkp".
inline void MaterialOfName(const std::string& name, int count[2][ManKinds]) {
  int colour = -1;
  for (char c : name) {
    if (c == 'k') ++colour;
    else ++count[colour][std::string("pnbrq").find(c)];
  }
}

inline Bitboard Attacks(const Army& a, Color colour, Bitboard occupied) {
  Bitboard att = KingAttacks(a.slots[KingSlot]);
  for (int j = 0; j < a.count[nalimov::PawnMan]; ++j) att |= PawnAttackTable[colour][a.slots[j]];
  for (int j = 0; j < a.count[nalimov::KnightMan]; ++j) att |= KnightAttacks(a.slots[3 + j]);
  for (int j = 0; j < a.count[nalimov::BishopMan]; ++j) att |= BishopAttacks(a.slots[6 + j], occupied);
  for (int j = 0; j < a.count[nalimov::RookMan]; ++j) att |= RookAttacks(a.slots[9 + j], occupied);
  for (int j = 0; j < a.count[nalimov::QueenMan]; ++j) att |= QueenAttacks(a.slots[12 + j], occupied);
  return att;
}

// No two men on a square, no pawn on rank 1 or 8, and the side not to move
// not in check (so the kings are apart too).
inline bool IsLegal(const TablePosition& p) {
  const Bitboard occupied = p.Occupied();
  int men = 2;
  for (const Army& a : p.men)
    for (int k = 0; k < ManKinds; ++k) {
      men += a.count[k];
      for (int j = 0; j < a.count[k] && k == nalimov::PawnMan; ++j)
        if (a.slots[j] < 8 || a.slots[j] > 55) return false;
    }
  return PopCount(occupied) == men &&
         !(Attacks(p.men[p.stm], p.stm, occupied) & SquareBit(p.men[!p.stm].slots[KingSlot]));
}

inline TablePosition RandomLegal(const std::string& name, Color stm, std::mt19937_64& rng) {
  int count[2][ManKinds] = {};
  MaterialOfName(name, count);
  for (;;) {
    TablePosition p;
    p.stm = stm;
    for (Color c : {White, Black}) {
      p.men[c] = Army(int(rng() % 64));
      for (int k = 0; k < ManKinds; ++k)
        for (int j = 0; j < count[c][k]; ++j) p.men[c].Add(ManKind(k), k ? int(rng() % 64) : 8 + int(rng() % 48));
    }
    if (IsLegal(p)) return p;
  }
}

// A random legal position in which the side to move can capture en passant:
// the other side's first pawn has just stepped two squares from an empty
// square past an empty one, the side to move was not in check before that,
// and no en-passant capture exposes the capturer's king.
inline TablePosition RandomEnPassant(const std::string& name, Color stm, std::mt19937_64& rng) {
  const int forward = stm == White ? 8 : -8;
  for (;;) {
    TablePosition p = RandomLegal(name, stm, rng);
    const Square moved = MakeSquare(int(rng() % 8), stm == White ? 4 : 3);
    const int side = FileOf(moved) == 0 ? 1 : FileOf(moved) == 7 ? -1 : rng() % 2 ? 1 : -1;
    p.men[!stm].slots[0] = moved;
    p.men[stm].slots[0] = moved + side;
    const Square target = moved + forward, start = moved + 2 * forward, king = p.men[stm].slots[KingSlot];
    const Bitboard occupied = p.Occupied();
    if (!IsLegal(p) || (occupied & (SquareBit(target) | SquareBit(start)))) continue;
    Army before = p.men[!stm], taken = p.men[!stm];
    before.slots[0] = start;
    taken.slots[0] = taken.slots[--taken.count[nalimov::PawnMan]];
    bool safe = !(Attacks(before, Color(!stm), occupied ^ SquareBit(moved) ^ SquareBit(start)) & SquareBit(king));
    for (int j = 0; j < p.men[stm].count[nalimov::PawnMan]; ++j) {
      const Square s = p.men[stm].slots[j];
      if (RankOf(s) == RankOf(moved) && (s == moved + 1 || s == moved - 1))
        safe &= !(Attacks(taken, Color(!stm), occupied ^ SquareBit(s) ^ SquareBit(moved) ^ SquareBit(target)) &
                  SquareBit(king));
    }
    if (!safe) continue;
    p.ep = target;
    return p;
  }
}
