// Writing the bit streams of the compressed tablebase files, most significant
// bit first, as tablebase/emd_bits.h reads them.
#pragma once
#include <cstdint>
#include <vector>

namespace emd {

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
  // Appends the low n bits of value (n <= 32).
  void Put(uint32_t value, int n) {
    if (n == 0) return;
    window_ = (window_ << n) | (value & (n == 32 ? ~0u : (1u << n) - 1));
    bits_ += n;
    written_ += uint64_t(n);
    while (bits_ >= 8) {
      bits_ -= 8;
      out_.push_back(uint8_t(window_ >> bits_));
    }
  }
  // Pads the last byte with zero bits.
  void Flush() {
    if (bits_ > 0) out_.push_back(uint8_t(window_ << (8 - bits_)));
    bits_ = 0;
  }
  uint64_t BitsWritten() const { return written_; }

 private:
  std::vector<uint8_t>& out_;
  uint64_t window_ = 0;
  int bits_ = 0;
  uint64_t written_ = 0;
};

}  // namespace emd
