// The plan of a compressed file, fitted to its table before any block is
// written: the 24 match distances and the block symbols' code.
//
// Distances: the first 24 ranked candidates (emd_distances.h), then each of
// the next candidates tried in place of the distance that covers the fewest
// bytes, kept when a sample of blocks codes shorter with it.
// Code: a few rounds on the sample settle the symbol costs (a parse depends
// on the costs, the code on the parse); one pass over every block counts the
// symbols that those costs lead to, and the code is a Huffman code of these
// counts of at most MaxBlockCodeLength bits.
#pragma once
#include <algorithm>
#include <cstdint>
#include "tablebase/emd_format.h"
#include "tbgen/emd_distances.h"

namespace emd {

// Longest code the writer gives a block symbol (the format allows 31).
constexpr int MaxBlockCodeLength = 16;

struct TableView {
  const uint8_t* data;
  uint64_t bytes;
  uint32_t blockSize;
  uint32_t blocks;
  const uint8_t* Block(uint32_t block) const { return data + uint64_t(block) * blockSize; }
  uint32_t Length(uint32_t block) const {
    return uint32_t(std::min<uint64_t>(blockSize, bytes - uint64_t(block) * blockSize));
  }
};

struct FilePlan {
  Distances distances{};
  uint8_t lengths[SymbolCount] = {};   // code lengths of the block symbols
};

FilePlan PlanFile(const TableView& table);

}  // namespace emd
