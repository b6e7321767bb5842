// Constant evaluation tables generated from their rules: the king-attack
// table (also checked at start-up), knight tropism and the endgame scale.
#pragma once
#include <array>
#include <cstdint>
#include "common/types.h"

// King-attack table: packed (mg << 16) + eg by a side's king-attack counter.
// Rule: entries 0..42 are 0; for k = 10..55 a curve x grows with k(k-10),
// entry 32 + k = (60% of x, 44% of x); from entry 87 on it grows linearly by
// (15, 11) per step from (825, 605).
namespace detail {
constexpr std::array<int32_t, 512> KingAttackRule() {
  std::array<int32_t, 512> t{};
  for (int k = 10; k <= 55; ++k) {
    const int i = k - 10;
    const int x = int(((i * 25.0) * 0.022222222222222223) * k);
    t[32 + k] = ((x * 60 / 100) << 16) + x * 44 / 100;
  }
  for (int index = 87; index < 512; ++index) {
    const int j = index - 87;
    t[index] = (((82500 + 1500 * j) / 100) << 16) + (60500 + 1100 * j) / 100;
  }
  return t;
}
}  // namespace detail
// The stored table, fixed when the program is built.
inline constexpr std::array<int32_t, 512> KingAttackTable = detail::KingAttackRule();

// Recomputes the table at run time and reports every entry that differs from
// the stored one through `report(index, stored, computed)`; returns the count.
int CheckKingAttackTable(void (*report)(int index, int32_t stored, int32_t computed));

// Amount a knight on a square adds to its side's attack on a king, by
// (king square, knight square): squares from which the knight reaches the
// king's surroundings in one or two moves count most.
extern int8_t KnightTropism[64][64];

// Endgame scale by material signature (bits 34-47 of the material key);
// 128 = unchanged.
extern uint8_t ScaleTable[16384];

void InitEvalTables();
