// Keys that keep the entries of a search without one move (a singularity
// test) apart from those of the whole node.
#pragma once
#include <cstdint>
#include "board/move.h"

// The key to mix into the node's key for a search without `m` (0 for none).
uint64_t ExclusionKey(Move m);
