// The fixed list of Nalimov endgame tables: number, name, men, the number of
// entries of each side's file and the per-table flags. Table n is
// NalimovTables[n - 1]; the order is the format's (3-man, 4-man, 5-man, then
// the 6-man tables), so numbers match the files' registration order.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>
#include "common/types.h"

namespace nalimov {

struct TableInfo {
  int number;               // 1..440
  const char* name;         // "k", white's men (q r b n p), "k", black's men
  int men;                  // kings included
  uint64_t entries[2];      // file length in entries: [White] .nbw, [Black] .nbb
  bool symmetric;           // one file (.nbw) serves both sides to move
  int bits;                 // 8 or 16 bits per entry
  bool split;               // stored in extents of 2^31 bytes
  uint64_t listedEpStart[2];  // first index of the en-passant section where the
                              // format lists it (4- and 5-man tables), else 0
};

constexpr int TableCount = 440;

std::span<const TableInfo> Tables();
// Table by number 1..440; nullptr outside that range.
const TableInfo* TableByNumber(int number);
// Table by name such as "kqkr"; nullptr when there is none.
const TableInfo* TableByName(std::string_view name);

}  // namespace nalimov
