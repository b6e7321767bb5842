// Positions of a table's material for the index tests: legality as the
// reference numbers define it, random legal positions (with or without an
// en-passant capture) and symmetric images.
#pragma once
#include <random>
#include <string>
#include "board/attacks.h"
#include "tablebase/nalimov_locate.h"

using nalimov::Army;
using nalimov::ManKind;

struct TablePosition {
  Army men[2] = {Army(0), Army(0)};   // table colours
  Color stm = White;
  Square ep = nalimov::NoEnPassant;

  uint64_t Index(int table) const {
    return nalimov::Layout(table, stm).Index(men[White].slots, men[Black].slots, ep, false);
  }
  Bitboard Occupied() const {
    Bitboard b = 0;
    for (const Army& a : men) {
      b |= SquareBit(a.slots[nalimov::KingSlot]);
      for (int k = 0; k < nalimov::ManKinds; ++k)
        for (int j = 0; j < a.count[k]; ++j) b |= SquareBit(a.slots[3 * k + j]);
    }
    return b;
  }
  // Every square through a square map (a symmetry).
  template <typename Map> TablePosition Mapped(Map map) const {
    TablePosition p = *this;
    for (Army& a : p.men)
      for (Square& s : a.slots) s = map(s);
    if (ep != nalimov::NoEnPassant) p.ep = map(ep);
    return p;
  }
};

// Men of each kind per colour of a table name such as "kbnkp".
inline void MaterialOfName(const std::string& name, int count[2][nalimov::ManKinds]) {
  int colour = -1;
  for (char c : name) {
    if (c == 'k') ++colour;
    else ++count[colour][std::string("pnbrq").find(c)];
  }
}

// Squares attacked by one side's men (sliders see through nothing but the board).
inline Bitboard Attacks(const Army& a, Color colour, Bitboard occupied) {
  Bitboard att = KingAttacks(a.slots[nalimov::KingSlot]);
  for (int j = 0; j < a.count[nalimov::PawnMan]; ++j) att |= PawnAttackTable[colour][a.slots[j]];
  for (int j = 0; j < a.count[nalimov::KnightMan]; ++j) att |= KnightAttacks(a.slots[3 + j]);
  for (int j = 0; j < a.count[nalimov::BishopMan]; ++j) att |= BishopAttacks(a.slots[6 + j], occupied);
  for (int j = 0; j < a.count[nalimov::RookMan]; ++j) att |= RookAttacks(a.slots[9 + j], occupied);
  for (int j = 0; j < a.count[nalimov::QueenMan]; ++j) att |= QueenAttacks(a.slots[12 + j], occupied);
  return att;
}

// One king each, no two men on a square, no pawn on rank 1 or 8, kings apart,
// and the side not to move not in check.
inline bool IsLegal(const TablePosition& p) {
  Bitboard occupied = 0;
  int men = 0;
  for (const Army& a : p.men) {
    occupied |= SquareBit(a.slots[nalimov::KingSlot]);
    ++men;
    for (int k = 0; k < nalimov::ManKinds; ++k)
      for (int j = 0; j < a.count[k]; ++j) {
        Square s = a.slots[3 * k + j];
        if (k == nalimov::PawnMan && (s < 8 || s > 55)) return false;
        occupied |= SquareBit(s);
        ++men;
      }
  }
  if (PopCount(occupied) != men) return false;
  const Color waiting = Opponent(p.stm);
  return !(Attacks(p.men[p.stm], p.stm, occupied) & SquareBit(p.men[waiting].slots[nalimov::KingSlot]));
}

// Fills the men of a table at random until the position is legal.
inline TablePosition RandomLegal(const std::string& name, Color stm, std::mt19937_64& rng) {
  int count[2][nalimov::ManKinds] = {};
  MaterialOfName(name, count);
  std::uniform_int_distribution<int> square(0, 63), pawnSquare(8, 55);
  for (;;) {
    TablePosition p;
    p.stm = stm;
    for (Color c : {White, Black}) {
      p.men[c] = Army(square(rng));
      for (int k = 0; k < nalimov::ManKinds; ++k)
        for (int j = 0; j < count[c][k]; ++j) p.men[c].Add(ManKind(k), k == 0 ? pawnSquare(rng) : square(rng));
    }
    if (IsLegal(p)) return p;
  }
}

// A random legal position in which the side to move can capture en passant:
// the other side's pawn has just stepped two squares past an empty square
// from an empty one, the position before that step was legal, and every
// en-passant capture leaves the capturer's king safe.
inline TablePosition RandomEnPassant(const std::string& name, Color stm, std::mt19937_64& rng) {
  const int forward = stm == White ? 8 : -8;
  for (;;) {
    TablePosition p = RandomLegal(name, stm, rng);
    const Army& mover = p.men[Opponent(stm)];
    const Square moved = MakeSquare(int(rng() % 8), stm == White ? 4 : 3);
    const int side = FileOf(moved) == 0 ? 1 : FileOf(moved) == 7 ? -1 : rng() % 2 ? 1 : -1;
    p.men[Opponent(stm)].slots[0] = moved;
    p.men[stm].slots[0] = moved + side;
    if (!IsLegal(p)) continue;
    const Square target = moved + forward, start = moved + 2 * forward;
    const Bitboard occupied = p.Occupied();
    if (occupied & (SquareBit(target) | SquareBit(start))) continue;
    const Army& capturer = p.men[stm];
    Army others = mover;   // the mover's men once the pawn is taken
    others.slots[0] = others.slots[others.count[nalimov::PawnMan] - 1];
    --others.count[nalimov::PawnMan];
    bool capture = false, safe = true;
    for (int j = 0; j < capturer.count[nalimov::PawnMan]; ++j) {
      const Square s = capturer.slots[j];
      if (RankOf(s) != RankOf(moved) || (FileOf(s) - FileOf(moved) != 1 && FileOf(moved) - FileOf(s) != 1))
        continue;
      capture = true;
      const Bitboard after = (occupied & ~SquareBit(s) & ~SquareBit(moved)) | SquareBit(target);
      if (Attacks(others, Opponent(stm), after) & SquareBit(capturer.slots[nalimov::KingSlot])) safe = false;
    }
    if (!capture || !safe) continue;
    Army before = mover;   // the step undone: the side to move was not in check
    before.slots[0] = start;
    const Bitboard occupiedBefore = (occupied & ~SquareBit(moved)) | SquareBit(start);
    if (Attacks(before, Opponent(stm), occupiedBefore) & SquareBit(capturer.slots[nalimov::KingSlot])) continue;
    p.ep = target;
    return p;
  }
}
