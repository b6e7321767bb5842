#include "tbgen/emd_code_builder.h"
#include <algorithm>
#include <vector>

namespace emd {
namespace {

// Depths of a Huffman tree of the given weights (at least two), by the
// two-queue method over the weights sorted ascending; equal weights are
// ordered by `rank` so that a more frequent symbol never gets a longer code.
void HuffmanDepths(const std::vector<uint64_t>& weights, const std::vector<uint64_t>& rank,
                   std::vector<int>& depths) {
  const size_t n = weights.size();
  std::vector<size_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return weights[a] != weights[b] ? weights[a] < weights[b] : rank[a] < rank[b];
  });
  // Nodes 0..n-1 are the leaves in sorted order, n.. the merged ones.
  std::vector<uint64_t> weight(2 * n - 1);
  std::vector<size_t> parent(2 * n - 1, 0);
  for (size_t i = 0; i < n; ++i) weight[i] = weights[order[i]];
  size_t leaf = 0, merged = n, next = n;
  auto take = [&]() {
    if (leaf < n && (merged >= next || weight[leaf] <= weight[merged])) return leaf++;
    return merged++;
  };
  while (next < 2 * n - 1) {
    const size_t a = take(), b = take();
    weight[next] = weight[a] + weight[b];
    parent[a] = parent[b] = next;
    ++next;
  }
  std::vector<int> depth(2 * n - 1, 0);
  for (size_t node = 2 * n - 2; node-- > 0;) depth[node] = depth[parent[node]] + 1;
  depths.assign(n, 0);
  for (size_t i = 0; i < n; ++i) depths[order[i]] = depth[i];
}

}  // namespace

void BuildCodeLengths(const uint64_t* counts, int symbols, int maxLength, uint8_t* lengths) {
  std::vector<int> used;
  for (int s = 0; s < symbols; ++s)
    if (counts[s]) used.push_back(s);
  // One used symbol (or none) still needs a complete code: add the lowest
  // unused symbols with the smallest weight.
  for (int s = 0; used.size() < 2 && s < symbols; ++s)
    if (!counts[s]) used.insert(std::upper_bound(used.begin(), used.end(), s), s);
  std::vector<uint64_t> weights(used.size());
  for (size_t i = 0; i < used.size(); ++i) weights[i] = counts[used[i]] ? counts[used[i]] : 1;
  const std::vector<uint64_t> rank = weights;
  std::vector<int> depths;
  for (;;) {
    HuffmanDepths(weights, rank, depths);
    if (*std::max_element(depths.begin(), depths.end()) <= maxLength) break;
    // Too deep: flatten the weights and try again; ends with equal weights,
    // which give a tree of depth ceil(log2(n)) <= maxLength.
    for (uint64_t& w : weights) w = (w >> 1) | 1;
  }
  std::fill(lengths, lengths + symbols, uint8_t(0));
  for (size_t i = 0; i < used.size(); ++i) lengths[used[i]] = uint8_t(depths[i]);
}

}  // namespace emd
