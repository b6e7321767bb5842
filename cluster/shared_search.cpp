#include "cluster/shared_search.h"

#include <algorithm>

namespace cluster {

void SharedSearch::Begin(int ranks) {
  ranks_.assign(size_t(ranks), RankLines{});
  shownDepth_ = 0;
  shownOrder_ = INT_MIN;
}

bool SharedSearch::Record(int rank, const EngineReport& r) {
  if (rank < 0 || rank >= int(ranks_.size()) || r.bound) return false;
  RankLines& lines = ranks_[size_t(rank)];
  lines.byDepth[r.depth] = r;
  lines.nodes = std::max(lines.nodes, r.nodes);
  if (r.depth < shownDepth_ || (r.depth == shownDepth_ && r.order <= shownOrder_)) return false;
  shownDepth_ = r.depth;
  shownOrder_ = r.order;
  return true;
}

void SharedSearch::RecordNodes(int rank, uint64_t nodes) {
  if (rank >= 0 && rank < int(ranks_.size())) ranks_[size_t(rank)].nodes = nodes;
}

void SharedSearch::BankNodes(int rank) {
  if (rank < 0 || rank >= int(ranks_.size())) return;
  ranks_[size_t(rank)].banked += ranks_[size_t(rank)].nodes;
  ranks_[size_t(rank)].nodes = 0;
}

uint64_t SharedSearch::NodesOf(int rank) const {
  if (rank < 0 || rank >= int(ranks_.size())) return 0;
  return ranks_[size_t(rank)].banked + ranks_[size_t(rank)].nodes;
}

uint64_t SharedSearch::Nodes() const {
  uint64_t sum = 0;
  for (int r = 0; r < int(ranks_.size()); ++r) sum += NodesOf(r);
  return sum;
}

SharedSearch::Choice SharedSearch::Best() const {
  int common = INT_MAX;
  for (const RankLines& lines : ranks_)
    if (!lines.byDepth.empty()) common = std::min(common, lines.byDepth.rbegin()->first);
  Choice best;
  if (common == INT_MAX) return best;
  for (int r = 0; r < int(ranks_.size()); ++r) {
    const auto& byDepth = ranks_[size_t(r)].byDepth;
    if (byDepth.empty()) continue;
    // The rank's line at the common depth (or the deepest one below it).
    auto at = byDepth.upper_bound(common);
    if (at == byDepth.begin()) continue;
    const EngineReport& compared = std::prev(at)->second;
    if (best.found && compared.order <= best.line.order) continue;
    best.found = true;
    best.rank = r;
    best.depth = compared.depth;
    best.line = compared;
  }
  if (!best.found) return best;
  // Its move is that rank's deepest line's, which has seen the most.
  const EngineReport& deepest = ranks_[size_t(best.rank)].byDepth.rbegin()->second;
  best.move = FirstMove(deepest.pv);
  best.ponder = SecondMove(deepest.pv);
  return best;
}

}  // namespace cluster
