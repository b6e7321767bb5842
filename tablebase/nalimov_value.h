// What a Nalimov table holds for a position, and how it is stored: a signed
// byte in the 8-bit tables, a signed 16-bit value (low byte first) in the
// 16-bit ones. Both directions, for the generator that writes the files and
// for whoever reads them.
//
// Byte b:   0 draw; 1..126 mate in 127 - b; -1..-126 mated in 126 + b
//           (-126 = checkmated now); -127 mated in 126; -128 mate in 127;
//           127 broken (no legal position has this entry, or no value).
// Word w:   0 draw; w > 0 mate in 32767 - w; w < 0 mated in 32766 + w;
//           32767 broken.
// Moves are the moves of the side to move: mate in n takes 2n - 1 plies,
// mated in n takes 2n plies.
#pragma once
#include <cstdint>
#include <string>
#include "common/types.h"

namespace nalimov {

enum class Outcome : uint8_t { Unknown, Draw, Win, Loss };

struct TableValue {
  Outcome outcome = Outcome::Unknown;
  int moves = 0;   // Win: the side to move mates in `moves`; Loss: it is mated in `moves`

  static constexpr TableValue Unknown() { return {}; }
  static constexpr TableValue Draw() { return {Outcome::Draw, 0}; }
  static constexpr TableValue MateIn(int n) { return {Outcome::Win, n}; }
  static constexpr TableValue MatedIn(int n) { return {Outcome::Loss, n}; }
  // Win in an odd number of plies, loss in an even one.
  static constexpr TableValue FromPlies(int plies) {
    return plies % 2 ? MateIn((plies + 1) / 2) : MatedIn(plies / 2);
  }
  constexpr int Plies() const { return outcome == Outcome::Win ? 2 * moves - 1 : 2 * moves; }
  constexpr bool operator==(const TableValue&) const = default;

  // The value of the position before a move that leads to this one.
  constexpr TableValue Before() const {
    switch (outcome) {
      case Outcome::Win: return MatedIn(moves);
      case Outcome::Loss: return MateIn(moves + 1);
      default: return *this;
    }
  }
  // Ranking for the side to move: faster wins, then draws, then slower losses.
  constexpr int Goodness() const {
    switch (outcome) {
      case Outcome::Win: return 100000 - moves;
      case Outcome::Draw: return 0;
      case Outcome::Loss: return -100000 + moves;
      default: return -1000000;
    }
  }
  // "mate in 3", "mated in 0", "draw", "unknown".
  std::string Text() const;
};

constexpr int8_t BrokenByte = 127;
constexpr int16_t BrokenWord = 32767;
// Deepest values each width holds.
constexpr int ByteMaxMate = 127, ByteMaxMated = 126;
constexpr int WordMaxMate = 32766, WordMaxMated = 32765;

constexpr bool FitsByte(TableValue v) {
  return v.outcome == Outcome::Draw ||
         (v.outcome == Outcome::Win && v.moves >= 1 && v.moves <= ByteMaxMate) ||
         (v.outcome == Outcome::Loss && v.moves >= 0 && v.moves <= ByteMaxMated);
}
constexpr bool FitsWord(TableValue v) {
  return v.outcome == Outcome::Draw ||
         (v.outcome == Outcome::Win && v.moves >= 1 && v.moves <= WordMaxMate) ||
         (v.outcome == Outcome::Loss && v.moves >= 0 && v.moves <= WordMaxMated);
}

// Unknown and values that do not fit are stored as broken.
int8_t ToByte(TableValue v);
int16_t ToWord(TableValue v);
TableValue FromByte(int8_t b);
TableValue FromWord(int16_t w);
// The byte on the 16-bit scale, as a reader widens it (broken stays 32767).
int16_t WidenByte(int8_t b);

// kppkp with black to move has seven positions deeper than its byte holds
// (mated in 127). A reader takes the value of those entries from here, not
// from the file; the generator stores -127 (mated in 126, the deepest loss a
// byte holds) there.
bool IsDeepEntry(int table, Color fileSide, uint64_t index);
constexpr TableValue DeepEntryValue = TableValue::MatedIn(127);

}  // namespace nalimov
