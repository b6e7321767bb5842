#include "tablebase/nalimov_value.h"
#include <algorithm>
#include <array>

namespace nalimov {

std::string TableValue::Text() const {
  switch (outcome) {
    case Outcome::Win: return "mate in " + std::to_string(moves);
    case Outcome::Loss: return "mated in " + std::to_string(moves);
    case Outcome::Draw: return "draw";
    default: return "unknown";
  }
}

int8_t ToByte(TableValue v) {
  if (!FitsByte(v)) return BrokenByte;
  switch (v.outcome) {
    case Outcome::Win: return v.moves == ByteMaxMate ? int8_t(-128) : int8_t(127 - v.moves);
    case Outcome::Loss: return v.moves == ByteMaxMated ? int8_t(-127) : int8_t(v.moves - 126);
    default: return 0;
  }
}

TableValue FromByte(int8_t b) {
  if (b == BrokenByte) return TableValue::Unknown();
  if (b == 0) return TableValue::Draw();
  if (b == -128) return TableValue::MateIn(ByteMaxMate);
  if (b == -127) return TableValue::MatedIn(ByteMaxMated);
  return b > 0 ? TableValue::MateIn(127 - b) : TableValue::MatedIn(126 + b);
}

int16_t ToWord(TableValue v) {
  if (!FitsWord(v)) return BrokenWord;
  switch (v.outcome) {
    case Outcome::Win: return int16_t(32767 - v.moves);
    case Outcome::Loss: return int16_t(v.moves - 32766);
    default: return 0;
  }
}

TableValue FromWord(int16_t w) {
  if (w == BrokenWord || w == -32767 || w == -32768) return TableValue::Unknown();
  if (w == 0) return TableValue::Draw();
  return w > 0 ? TableValue::MateIn(32767 - w) : TableValue::MatedIn(32766 + w);
}

int16_t WidenByte(int8_t b) {
  if (b == BrokenByte) return BrokenWord;
  if (b == -128) return 32640;
  if (b == -127) return -32640;
  if (b > 0) return int16_t(32640 + b);
  if (b < 0) return int16_t(b - 32640);
  return 0;
}

bool IsDeepEntry(int table, Color fileSide, uint64_t index) {
  constexpr int Kppkp = 36;
  static constexpr std::array<uint64_t, 7> deep = {56802428, 56811076, 56849992, 56858640,
                                                   59592489, 67775659, 71071628};
  return table == Kppkp && fileSide == Black && std::binary_search(deep.begin(), deep.end(), index);
}

}  // namespace nalimov
