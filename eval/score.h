// Packed (middlegame, endgame) pairs in internal units (1024 = one pawn),
// added in one step. A pair is held as mg * 65536 + eg in 32 bits.
#pragma once
#include <cstdint>

using PackedScore = int32_t;

constexpr PackedScore Pack(int mg, int eg) { return PackedScore(uint32_t(mg) * 65536u + uint32_t(eg)); }
constexpr int EndgameOf(PackedScore s) { return int16_t(uint16_t(uint32_t(s))); }
constexpr int MiddlegameOf(PackedScore s) { return int16_t(uint16_t((uint32_t(s) + 0x8000u) >> 16)); }
// Wrapping sum and scaled copies (no signed overflow).
constexpr PackedScore Add(PackedScore a, PackedScore b) { return PackedScore(uint32_t(a) + uint32_t(b)); }
constexpr PackedScore Sub(PackedScore a, PackedScore b) { return PackedScore(uint32_t(a) - uint32_t(b)); }
constexpr PackedScore Times(PackedScore a, int n) { return PackedScore(uint32_t(a) * uint32_t(n)); }

// Accumulator of packed terms.
struct Accumulator {
  PackedScore value = 0;
  void operator+=(PackedScore s) { value = Add(value, s); }
  void operator-=(PackedScore s) { value = Sub(value, s); }
  int Mg() const { return MiddlegameOf(value); }
  int Eg() const { return EndgameOf(value); }
};
