#include "tbgen/emd_block_parser.h"
#include <algorithm>

namespace emd {
namespace {

// Length code of every match length a block can hold.
struct LengthCodes {
  uint8_t code[MaxBlockSize + 1];
  constexpr LengthCodes() : code() {
    for (uint32_t length = 1; length <= MaxBlockSize; ++length)
      code[length] = uint8_t(EncodeMatchLength(length).code);
  }
};
constexpr LengthCodes Codes;

// Besides the longest match at a distance, the parse tries it up to this many
// bytes shorter: ending a match a byte or two early often lets a longer one
// start.
constexpr uint32_t ShortenedBy = 3;

}  // namespace

BlockParser::BlockParser(const uint32_t* distances) {
  std::copy(distances, distances + DistanceCount, distances_);
}

uint64_t BlockParser::Parse(const uint8_t* block, uint32_t length, const SymbolCosts& costs,
                            std::vector<Token>& tokens) {
  cost_.assign(length + 1, 0);
  choice_.assign(length, 0);
  choiceSlot_.assign(length, 0);
  // Cost of a match of each length code at each slot, extra bits included.
  uint32_t matchCost[DistanceCount][LengthCodeCount];
  for (int slot = 0; slot < DistanceCount; ++slot)
    for (int code = 0; code < LengthCodeCount; ++code)
      matchCost[slot][code] = costs.bits[MatchSymbol(slot, code)] + uint32_t(LengthExtraBits(code));
  // run[slot]: bytes from the current position on that equal those
  // distances_[slot] earlier (going backwards, this grows by one per step).
  uint32_t run[DistanceCount] = {};
  for (uint32_t i = length; i-- > 0;) {
    uint32_t best = costs.bits[block[i]] + cost_[i + 1];
    uint32_t bestLength = 0;
    int bestSlot = 0;
    for (int slot = 0; slot < DistanceCount; ++slot) {
      const uint32_t distance = distances_[slot];
      if (distance > i || distance == 0 || block[i] != block[i - distance]) {
        run[slot] = 0;
        continue;
      }
      const uint32_t matched = ++run[slot];
      const uint32_t shortest = matched > ShortenedBy ? matched - ShortenedBy : 1;
      for (uint32_t l = matched; l >= shortest; --l) {
        const uint32_t c = matchCost[slot][Codes.code[l]] + cost_[i + l];
        if (c < best) {
          best = c;
          bestLength = l;
          bestSlot = slot;
        }
      }
    }
    cost_[i] = std::min(best, SymbolCosts::Unusable);
    choice_[i] = bestLength;
    choiceSlot_[i] = uint8_t(bestSlot);
  }
  for (uint32_t i = 0; i < length;) {
    if (choice_[i] == 0) {
      tokens.push_back({0, 0, block[i]});
      ++i;
    } else {
      tokens.push_back({choice_[i], choiceSlot_[i], 0});
      i += choice_[i];
    }
  }
  return cost_[0];
}

}  // namespace emd
