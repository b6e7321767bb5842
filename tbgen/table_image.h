// A generated table laid out as its Nalimov files: every legal position's
// value at its entry, the en-passant section filled, every other entry broken.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include "tbgen/generator.h"

namespace tbgen {

struct LongestWin {
  int moves = 0;         // mate in `moves`; 0: the side has no win
  std::string fen;       // one position where it happens
};

struct TableImage {
  const nalimov::TableInfo* table = nullptr;
  std::unique_ptr<Block> file[2];   // [White] .nbw, [Black] .nbb (none for a symmetric table's .nbb)
  uint64_t bytes[2] = {};
  uint64_t positions = 0;           // legal positions written (en passant included)
  uint64_t deepEntries = 0;         // values deeper than the entry holds (written as the deepest it holds)
  LongestWin longest[2];            // by side to move
};

// Memory of the image of a table, in bytes.
uint64_t ImageMemory(const nalimov::TableInfo& t);
TableImage BuildImage(const Generator& g, int threads, Progress& progress);

}  // namespace tbgen
