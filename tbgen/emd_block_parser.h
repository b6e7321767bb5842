// Splits one block into literals and matches at the file's 24 distances so
// that the coded block is as short as the symbol costs say. The choice is a
// shortest path over the block's positions: from each position, a literal or,
// for every distance that matches there, the longest match at it and the
// same match a few bytes shorter. Matches at fixed distances in tablebase
// data run on, so other lengths rarely gain anything.
#pragma once
#include <cstdint>
#include <vector>
#include "tablebase/emd_format.h"

namespace emd {

// A literal (length 0) or a match of `length` bytes at distance slot `slot`.
struct Token {
  uint32_t length;
  uint8_t slot;
  uint8_t literal;
};

// Cost in bits of each block symbol; Unusable for symbols the code lacks.
struct SymbolCosts {
  static constexpr uint32_t Unusable = 1u << 26;
  uint32_t bits[SymbolCount];
};

constexpr int TokenSymbol(const Token& token) {
  return token.length == 0 ? token.literal : MatchSymbol(token.slot, EncodeMatchLength(token.length).code);
}

class BlockParser {
 public:
  explicit BlockParser(const uint32_t* distances);
  // Appends the cheapest tokens for block[0 .. length) to tokens and returns
  // their cost in bits (extra bits included); SymbolCosts::Unusable or more
  // when no parse uses only usable symbols.
  uint64_t Parse(const uint8_t* block, uint32_t length, const SymbolCosts& costs, std::vector<Token>& tokens);

 private:
  uint32_t distances_[DistanceCount];
  std::vector<uint32_t> cost_;       // cost of coding the block from a position to its end
  std::vector<uint32_t> choice_;     // chosen match length at a position (0: literal)
  std::vector<uint8_t> choiceSlot_;
};

}  // namespace emd
