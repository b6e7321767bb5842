// Damage to compressed table files for the robustness tests: the header's
// big-endian words, the header checksum made right again (so that damage
// gets past it to the fields behind it), and one random change.
#pragma once
#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>
#include "tablebase/emd_checksum.h"

inline uint32_t Get32(const std::vector<uint8_t>& f, size_t at) {
  return uint32_t(f[at]) << 24 | uint32_t(f[at + 1]) << 16 | uint32_t(f[at + 2]) << 8 | f[at + 3];
}
inline void Put32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) f[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
}
inline uint32_t HeaderLength(const std::vector<uint8_t>& f) { return Get32(f, 64); }

inline void Resum(std::vector<uint8_t>& f) {
  if (f.size() < 84) return;
  const uint32_t h = HeaderLength(f);
  if (h >= 84 && h <= f.size()) Put32(f, h - 4, emd::HeaderChecksum(f.data(), h - 4));
}

// One random change: header fields, block sizes, distances, code lengths,
// block bits, or the file's length.
inline void MutateCompressed(std::vector<uint8_t>& f, std::mt19937& random) {
  if (f.size() < 96) {
    f.push_back(uint8_t(random()));
    return;
  }
  const uint32_t h = std::min<uint32_t>(HeaderLength(f), uint32_t(f.size()));
  const uint32_t packed = std::min<uint32_t>(80 + 8 * std::min<uint32_t>(Get32(f, 72), 1u << 20), h);
  // A place in [from, to), always inside the file.
  auto in = [&](size_t from, size_t to) { return std::min(to > from ? from + random() % (to - from) : from, f.size() - 1); };
  switch (random() % 12) {
    case 0: f[in(0, f.size())] ^= uint8_t(1 << (random() % 8)); break;
    case 1: f[in(0, f.size())] = uint8_t(random()); break;
    case 2: f[in(64, 80)] = uint8_t(random()); break;                                   // fixed fields
    case 3: Put32(f, 64, random() % 3 ? h + uint32_t(random() % 17) - 8 : uint32_t(random())); break;
    case 4: Put32(f, 72, random() % 3 ? Get32(f, 72) + uint32_t(random() % 9) - 4 : uint32_t(random())); break;
    case 5: f[70] = uint8_t(random() % 18); break;                                      // block size
    case 6: f[in(packed, h)] ^= uint8_t(1 << (random() % 8)); break;                    // block sizes, distances
    case 7: f[in(h > 120 ? h - 120 : 80, h)] = uint8_t(random()); break;                // code lengths
    case 8: f[in(h, f.size())] ^= uint8_t(1 << (random() % 8)); break;                  // block bits
    case 9: f.resize(in(0, f.size())); break;
    case 10: for (int i = int(random() % 64); i > 0; --i) f.push_back(uint8_t(random())); break;
    case 11: f.erase(f.begin() + ptrdiff_t(in(80, f.size()))); break;
  }
}
