// Where a position's value lies in the Nalimov files: the table for its
// material (as named, or with colours exchanged), the file to read and the
// entry index in it.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include "board/position.h"
#include "tablebase/nalimov_index.h"

namespace nalimov {

// One side's men as the index routine takes them: up to three of each kind.
struct Army {
  Square slots[MenSlots] = {};
  int count[ManKinds] = {};
  bool overflow = false;     // a fourth man of one kind: no table has it

  explicit Army(Square king) { slots[KingSlot] = king; }
  void Add(ManKind kind, Square s) {
    if (count[kind] == 3) overflow = true;
    else slots[3 * kind + count[kind]++] = s;
  }
  int Men() const { return count[0] + count[1] + count[2] + count[3] + count[4]; }
};

struct TableEntry {
  const TableInfo* table;
  bool coloursExchanged;     // the position's colours are the reverse of the table's
  Color fileSide;            // White: <name>.nbw, Black: <name>.nbb
  uint64_t index;            // entry number in that file
  std::string FileName() const { return std::string(table->name) + (fileSide == White ? ".nbw" : ".nbb"); }
};

// Table of a material, or nullopt when no table has it (more than six men, a
// bare king pair, more than three like men). ep: en-passant target square
// where a capture there is possible, else NoEnPassant.
std::optional<TableEntry> LocateEntry(const Army& white, const Army& black, Color sideToMove, Square ep);
std::optional<TableEntry> LocateEntry(const Position& p);

}  // namespace nalimov
