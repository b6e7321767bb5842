// Checks a written table from its files alone: every legal position's value
// must be exactly the best over its moves (mates and stalemates at the
// leaves, captures and promotions read from the smaller tables' files, the
// table's own entries for the other moves), en-passant positions included,
// and every entry that no legal position reaches must be broken.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "tbgen/progress.h"
#include "tbgen/table_files.h"

namespace tbgen {

struct VerifyReport {
  uint64_t positions = 0;          // legal positions checked
  uint64_t wrong = 0;              // positions whose value is not the best over their moves
  uint64_t strayEntries = 0;       // entries with a value that no legal position reaches
  std::vector<std::string> examples;   // a few of the faults, readable
  bool Clean() const { return !wrong && !strayEntries; }
};

// `files` must have the table and every table it leads into open.
VerifyReport VerifyTable(const nalimov::TableInfo& table, const TableFiles& files, int threads,
                         Progress& progress);

}  // namespace tbgen
