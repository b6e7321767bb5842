#include "tablebase/emd_checksum.h"
#include <array>

namespace emd {
namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t value = i;
    for (int step = 0; step < 8; ++step) value = (value & 1) ? value >> 1 : (value >> 1) ^ 0xEDB88320u;
    table[i] = value;
  }
  return table;
}

constexpr std::array<uint32_t, 256> Table = MakeTable();

}  // namespace

uint32_t HeaderChecksum(const uint8_t* data, size_t size) {
  uint32_t sum = 0;
  for (size_t i = 0; i < size; ++i) sum = (sum >> 8) ^ Table[(sum ^ data[i]) & 255];
  return sum;
}

}  // namespace emd
