// The prefix codes of the compressed files, given only by their code lengths.
//
// A usable set of lengths (each 0..31, 0 = symbol unused) is one of:
// - all 0: an empty code (nothing can be decoded with it);
// - exactly one non-zero length, which must be 1: that symbol is decoded
//   without consuming any bit;
// - a complete code (Kraft sum exactly 1).
// Codes are assigned in order of length from the shortest, within a length in
// order of symbol number, and the shortest codes take the low end of the code
// space: the first symbol of the shortest length gets the all-zero code, and
// each next code is the previous one plus one, shifted left when the length
// grows (the usual canonical assignment). Reader and writer both use
// AssignCanonicalCodes, so they agree bit for bit.
#pragma once
#include <cstdint>
#include <vector>
#include "tablebase/emd_bits.h"

namespace emd {

enum class CodeShape { Empty, Single, Complete, Broken };

CodeShape ClassifyCodeLengths(const uint8_t* lengths, int symbols);

// codes[s] = the code of symbol s (its low lengths[s] bits, sent most
// significant first); 0 for unused symbols. Lengths must not be Broken.
void AssignCanonicalCodes(const uint8_t* lengths, int symbols, uint32_t* codes);

// Decodes symbols of a code through a 13-bit first-level table; longer codes
// are resolved one length at a time.
class CanonicalDecoder {
 public:
  // False when the lengths are not a usable code (Broken above).
  bool Build(const uint8_t* lengths, int symbols);
  bool Empty() const { return empty_; }
  // The next symbol, or -1 when the code is empty or the stream ran out.
  int Decode(BitReader& in) const {
    if (single_ >= 0) return single_;
    if (empty_) return -1;
    in.Refill();
    const uint32_t entry = table_[in.Peek(TableBits)];
    int length = int(entry & 31);
    int symbol = int(entry >> 5);
    if (length == 0) {
      symbol = DecodeLong(in, length);
      if (symbol < 0) return -1;
    }
    return in.Consume(length) ? symbol : -1;
  }

 private:
  static constexpr int TableBits = 13;
  int DecodeLong(const BitReader& in, int& length) const;

  std::vector<uint16_t> table_;   // symbol << 5 | length; length 0: a longer code
  std::vector<uint16_t> sorted_;  // symbols by (length, symbol)
  uint32_t firstCode_[32] = {};   // first code of each length
  uint32_t count_[32] = {};       // number of codes of each length
  uint32_t firstSorted_[32] = {}; // place in sorted_ of the first code of each length
  int maxLength_ = 0;
  int single_ = -1;
  bool empty_ = true;
};

}  // namespace emd
