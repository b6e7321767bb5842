// Every legal position of a table, as our files give it and as the Gaviota
// oracle does: win, draw or loss and the distance to mate, en passant
// included.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "tools/tb_check/gaviota_oracle.h"
#include "tbgen/table_files.h"

namespace tbcheck {

struct CompareReport {
  uint64_t positions = 0;
  uint64_t compared = 0;       // positions probed in both
  uint64_t mismatches = 0;     // the two disagree, or one of them has no value
  std::vector<std::string> examples;
};

// `ours` must have the table open. Every legal position is counted; each
// `probeEvery`-th one in the order of the walk is compared (1: all of them),
// so that a quick check still samples every part of the table.
CompareReport CompareWithOracle(const nalimov::TableInfo& table, const tbgen::TableFiles& ours,
                                const GaviotaOracle& oracle, uint64_t probeEvery = 1);

}  // namespace tbcheck
