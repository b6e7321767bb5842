#include "tbgen/emd_distances.h"
#include <algorithm>
#include <bit>
#include <emmintrin.h>
#include <vector>

namespace emd {
namespace {

constexpr uint32_t SampleBlocks = 64;
constexpr uint32_t Candidates = 512;  // distances measured closely
// A repeat shorter than this is cheaper as literals than as a match.
constexpr uint32_t UsefulRun = 3;

struct Sample {
  const uint8_t* bytes;
  uint32_t length;
};

std::vector<Sample> SampleOf(const uint8_t* data, uint64_t bytes, uint32_t blockSize) {
  const uint64_t blocks = (bytes + blockSize - 1) / blockSize;
  const uint64_t taken = std::min<uint64_t>(blocks, SampleBlocks);
  std::vector<Sample> sample;
  for (uint64_t i = 0; i < taken; ++i) {
    const uint64_t block = i * blocks / taken;
    const uint64_t start = block * blockSize;
    sample.push_back({data + start, uint32_t(std::min<uint64_t>(blockSize, bytes - start))});
  }
  return sample;
}

// Bit n set when the bytes at a + n and b + n are equal, n = 0..15. The
// distance ranking compares every distance of a block, so 16 bytes at a time.
inline uint32_t EqualMask16(const uint8_t* a, const uint8_t* b) {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
  const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
  return uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)));
}

// Bytes that equal the byte `distance` earlier in the same block.
uint64_t EqualBytes(const std::vector<Sample>& sample, uint32_t distance) {
  uint64_t equal = 0;
  for (const Sample& s : sample) {
    uint32_t i = distance;
    for (; i + 16 <= s.length; i += 16)
      equal += std::popcount(EqualMask16(s.bytes + i, s.bytes + i - distance));
    for (; i < s.length; ++i) equal += s.bytes[i] == s.bytes[i - distance];
  }
  return equal;
}

// Marks, over the whole sample, the bytes inside repeats at `distance` of at
// least UsefulRun bytes: the byte and the UsefulRun - 1 before it all equal
// the bytes `distance` earlier. A block's first byte never does, so no run
// reaches across blocks.
void MarkUseful(const std::vector<Sample>& sample, uint32_t distance, std::vector<uint64_t>& marks) {
  std::vector<uint64_t> equal(marks.size(), 0);
  auto set = [&](uint64_t at, uint64_t bits) {
    equal[at / 64] |= bits << (at % 64);
    if (at % 64 && at / 64 + 1 < equal.size()) equal[at / 64 + 1] |= bits >> (64 - at % 64);
  };
  uint64_t base = 0;
  for (const Sample& s : sample) {
    uint32_t i = distance;
    for (; i + 16 <= s.length; i += 16) set(base + i, EqualMask16(s.bytes + i, s.bytes + i - distance));
    for (; i < s.length; ++i) set(base + i, s.bytes[i] == s.bytes[i - distance]);
    base += s.length;
  }
  for (size_t w = 0; w < marks.size(); ++w) {
    uint64_t inRun = equal[w];
    for (uint32_t k = 1; k < UsefulRun; ++k) inRun &= equal[w] << k | (w ? equal[w - 1] >> (64 - k) : 0);
    marks[w] |= inRun;
  }
}

}  // namespace

std::vector<uint32_t> RankDistances(const uint8_t* data, uint64_t bytes, uint32_t blockSize, size_t count) {
  const std::vector<Sample> sample = SampleOf(data, bytes, blockSize);
  uint64_t sampleBytes = 0;
  for (const Sample& s : sample) sampleBytes += s.length;

  // Rank every distance by its plain count of repeated bytes.
  const uint32_t maxDistance = blockSize - 1;
  std::vector<std::pair<uint64_t, uint32_t>> ranked;
  for (uint32_t d = 1; d <= maxDistance; ++d) ranked.push_back({EqualBytes(sample, d), d});
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  const size_t candidates = std::min<size_t>(Candidates, ranked.size());

  // Greedy cover of the useful repeats among the best candidates.
  const size_t words = size_t((sampleBytes + 63) / 64);
  std::vector<std::vector<uint64_t>> useful(candidates, std::vector<uint64_t>(words, 0));
  for (size_t c = 0; c < candidates; ++c) MarkUseful(sample, ranked[c].second, useful[c]);
  std::vector<uint64_t> covered(words, 0);
  std::vector<bool> taken(candidates, false);
  std::vector<uint32_t> chosen;
  while (chosen.size() < count) {
    uint64_t bestGain = 0;
    size_t best = candidates;
    for (size_t c = 0; c < candidates; ++c) {
      if (taken[c]) continue;
      uint64_t gain = 0;
      for (size_t w = 0; w < words; ++w) gain += std::popcount(useful[c][w] & ~covered[w]);
      if (gain > bestGain) bestGain = gain, best = c;
    }
    if (best == candidates) break;
    taken[best] = true;
    chosen.push_back(ranked[best].second);
    for (size_t w = 0; w < words; ++w) covered[w] |= useful[best][w];
  }
  // Places left over: the next distances by plain count.
  for (size_t c = 0; c < ranked.size() && chosen.size() < count; ++c)
    if (std::find(chosen.begin(), chosen.end(), ranked[c].second) == chosen.end())
      chosen.push_back(ranked[c].second);
  return chosen;
}

}  // namespace emd
