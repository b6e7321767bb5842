#include "search/exclusion_key.h"

#include <array>

namespace {
// Random keys of squares and move bits, fixed at compile time.
constexpr std::array<uint64_t, 64> ExclusionKeys = [] {
  std::array<uint64_t, 64> keys{};
  uint64_t state = 0x65786B6579736565ULL;
  for (uint64_t& k : keys) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    k = z ^ (z >> 31);
  }
  return keys;
}();
}  // namespace

uint64_t ExclusionKey(Move m) {
  if (!m) return 0;
  const uint32_t low = LowWord(m);
  return ExclusionKeys[low & 63] ^ ExclusionKeys[(low >> 10) & 63] ^ ExclusionKeys[(low >> 16) & 63] ^
         ExclusionKeys[(low >> 26) & 63];
}
