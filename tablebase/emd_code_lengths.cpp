#include "tablebase/emd_code_lengths.h"
#include <algorithm>
#include "tablebase/emd_canonical_code.h"
#include "tablebase/emd_format.h"

namespace emd {

bool ReadCodeLengths(BitReader& in, uint8_t* lengths) {
  uint8_t simple[SimpleLengthEntries] = {};
  uint32_t width = 0;
  if (!in.Read(5, width)) return false;
  for (int i = 0; i < SimpleLengthEntries; ++i) {
    uint32_t length = 0;
    if (!in.Read(int(width), length) || length > MaxCodeLength) return false;
    simple[i] = uint8_t(length);
    if (length != 0) continue;
    uint32_t zeros = 0;
    if (!in.Read(4, zeros) || i + 1 + int(zeros) > SimpleLengthEntries) return false;
    i += int(zeros);   // the entries are already 0
  }
  CanonicalDecoder a, b;
  if (!a.Build(simple, LevelSymbols) || !b.Build(simple + LevelSymbols, LevelSymbols)) return false;
  for (int i = 0; i < SymbolCount;) {
    const int v = a.Decode(in);
    if (v < 0) return false;
    if (v < RepeatBase) {
      lengths[i++] = uint8_t(v);
      continue;
    }
    const int r = b.Decode(in);
    if (r < 0) return false;
    uint64_t copies = uint64_t(r) + 2;
    if (r >= ShortRuns) {
      const int e = r - ShortRuns;
      uint32_t x = 0;
      if (!in.Read(e, x)) return false;
      copies = (uint64_t(1) << e) + x + 33;
    }
    if (copies > uint64_t(SymbolCount - i)) return false;
    std::fill(lengths + i, lengths + i + copies, uint8_t(v - RepeatBase));
    i += int(copies);
  }
  return true;
}

}  // namespace emd
