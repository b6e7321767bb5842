#include "cluster/root_deal.h"

#include <algorithm>

namespace cluster {

std::vector<std::vector<std::string>> DealRootMoves(const std::vector<std::string>& moves, size_t rankCount) {
  std::vector<std::vector<std::string>> shares(rankCount);
  if (rankCount == 0) return shares;
  const size_t used = std::clamp<size_t>(moves.size() / 2, 1, rankCount);
  for (size_t i = 0; i < moves.size(); ++i) shares[i % used].push_back(moves[i]);
  return shares;
}

}  // namespace cluster
