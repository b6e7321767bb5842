// The 24 match distances of a compressed file, chosen from the table itself.
// Tablebase entries repeat at fixed strides (one man moving over the board,
// runs of draws or of unreachable positions), so the distances worth having
// are those at which long stretches of a block repeat: measured on a sample
// of blocks, then picked one at a time by how many bytes each adds to what
// the distances already chosen cover.
#pragma once
#include <array>
#include <cstdint>
#include "tablebase/emd_format.h"

namespace emd {

using Distances = std::array<uint32_t, DistanceCount>;

// Distances (1 .. blockSize - 1, distinct) for data[0 .. bytes).
Distances ChooseDistances(const uint8_t* data, uint64_t bytes, uint32_t blockSize);

}  // namespace emd
