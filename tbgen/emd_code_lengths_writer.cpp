#include "tbgen/emd_code_lengths_writer.h"
#include <algorithm>
#include <vector>
#include "tablebase/emd_canonical_code.h"
#include "tablebase/emd_code_lengths.h"
#include "tablebase/emd_format.h"
#include "tbgen/emd_code_builder.h"

namespace emd {
namespace {

// The writer's limit on the lengths of codes A and B.
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
  uint8_t simple[SimpleLengthEntries];
  BuildCodeLengths(countsA, LevelSymbols, LevelMaxLength, simple);
  BuildCodeLengths(countsB, LevelSymbols, LevelMaxLength, simple + LevelSymbols);
  const int longest = *std::max_element(simple, simple + SimpleLengthEntries);
  const int width = 32 - __builtin_clz(uint32_t(longest));
  out.Put(uint32_t(width), 5);
  for (int i = 0; i < SimpleLengthEntries; ++i) {
    out.Put(simple[i], width);
    if (simple[i] != 0) continue;
    int zeros = 0;
    while (zeros < 15 && i + 1 + zeros < SimpleLengthEntries && simple[i + 1 + zeros] == 0) ++zeros;
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
