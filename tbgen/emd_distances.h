// Candidate match distances of a compressed file, taken from the table
// itself. Tablebase entries repeat at fixed strides (one man moving over the
// board, runs of draws or of unreachable positions), so the distances worth
// having are those at which long stretches of a block repeat: measured on a
// sample of blocks, then ranked one at a time by how many bytes each adds to
// what the distances before it cover. The file's 24 are settled from these
// by trial (emd_plan.h).
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>
#include "tablebase/emd_format.h"

namespace emd {

using Distances = std::array<uint32_t, DistanceCount>;

// `count` distinct distances (1 .. blockSize - 1, count < blockSize) for
// data[0 .. bytes), the most useful first.
std::vector<uint32_t> RankDistances(const uint8_t* data, uint64_t bytes, uint32_t blockSize, size_t count);

}  // namespace emd
