#include "tablebase/emd_code_lengths.h"
#include <algorithm>
#include <vector>
#include "tablebase/emd_canonical_code.h"
#include "tablebase/emd_code_builder.h"
#include "tablebase/emd_format.h"

namespace emd {
namespace {

constexpr int SimpleEntries = 128;
constexpr int LevelSymbols = 64;   // symbols of codes A and B
constexpr int RepeatBase = 32;     // A symbols from here repeat a length
constexpr int ShortRuns = 32;      // B symbols below this count r + 2 copies
constexpr int LevelMaxLength = 15;

struct RunCount {
  int symbol;      // symbol of code B
  int extraBits;
  uint32_t extra;
};

RunCount EncodeRun(uint32_t copies) {
  if (copies < ShortRuns + 2) return {int(copies) - 2, 0, 0};
  const int e = 31 - __builtin_clz(copies - 33);
  return {ShortRuns + e, e, copies - 33 - (1u << e)};
}

}  // namespace

bool ReadCodeLengths(BitReader& in, uint8_t* lengths) {
  uint8_t simple[SimpleEntries] = {};
  uint32_t width = 0;
  if (!in.Read(5, width)) return false;
  for (int i = 0; i < SimpleEntries; ++i) {
    uint32_t length = 0;
    if (!in.Read(int(width), length) || length > MaxCodeLength) return false;
    simple[i] = uint8_t(length);
    if (length != 0) continue;
    uint32_t zeros = 0;
    if (!in.Read(4, zeros) || i + 1 + int(zeros) > SimpleEntries) return false;
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

void WriteCodeLengths(BitWriter& out, const uint8_t* lengths) {
  // Runs of equal lengths: a single one as itself, longer ones as a repeat.
  struct Token {
    int symbol;
    RunCount run;
  };
  std::vector<Token> tokens;
  uint64_t countsA[LevelSymbols] = {}, countsB[LevelSymbols] = {};
  for (int i = 0; i < SymbolCount;) {
    int end = i + 1;
    while (end < SymbolCount && lengths[end] == lengths[i]) ++end;
    const int copies = end - i;
    Token token{lengths[i], {-1, 0, 0}};
    if (copies > 1) {
      token.symbol += RepeatBase;
      token.run = EncodeRun(uint32_t(copies));
      ++countsB[token.run.symbol];
    }
    ++countsA[token.symbol];
    tokens.push_back(token);
    i = end;
  }
  uint8_t simple[SimpleEntries];
  BuildCodeLengths(countsA, LevelSymbols, LevelMaxLength, simple);
  BuildCodeLengths(countsB, LevelSymbols, LevelMaxLength, simple + LevelSymbols);
  const int longest = *std::max_element(simple, simple + SimpleEntries);
  const int width = 32 - __builtin_clz(uint32_t(longest));
  out.Put(uint32_t(width), 5);
  for (int i = 0; i < SimpleEntries; ++i) {
    out.Put(simple[i], width);
    if (simple[i] != 0) continue;
    int zeros = 0;
    while (zeros < 15 && i + 1 + zeros < SimpleEntries && simple[i + 1 + zeros] == 0) ++zeros;
    out.Put(uint32_t(zeros), 4);
    i += zeros;
  }
  uint32_t codesA[LevelSymbols], codesB[LevelSymbols];
  AssignCanonicalCodes(simple, LevelSymbols, codesA);
  AssignCanonicalCodes(simple + LevelSymbols, LevelSymbols, codesB);
  for (const Token& token : tokens) {
    out.Put(codesA[token.symbol], simple[token.symbol]);
    if (token.run.symbol < 0) continue;
    out.Put(codesB[token.run.symbol], simple[LevelSymbols + token.run.symbol]);
    out.Put(token.run.extra, token.run.extraBits);
  }
}

}  // namespace emd
