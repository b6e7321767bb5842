// Which root moves each rank searches: dealt in turn so that every rank has
// a like share, and at least two each (an engine with one root move would
// answer at once), using fewer ranks when there are not enough moves.
#pragma once
#include <string>
#include <vector>

namespace cluster {

// shares[i] are the moves of ranks[i]; ranks without moves get an empty share.
std::vector<std::vector<std::string>> DealRootMoves(const std::vector<std::string>& moves, size_t rankCount);

}  // namespace cluster
