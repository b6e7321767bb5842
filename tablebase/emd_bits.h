// Reading the bit streams of the compressed tablebase files, most significant
// bit first (the generator writes them: tbgen/emd_bit_writer.h). The reader
// never touches a byte outside its range; bits asked for past the end read as
// zero and make Consume report that the stream ran out, so a damaged stream
// fails instead of reading what it does not own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace emd {

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size) : next_(data), end_(data + size) {}

  // Fills the window to at least 57 bits (real ones, then zero padding).
  void Refill() {
    if (bits_ > 56) return;
    if (end_ - next_ >= 8) {
      // Eight bytes at once; the bits below the whole bytes taken are the
      // next byte's own bits, so loading that byte again later changes nothing.
      uint64_t word;
      std::memcpy(&word, next_, 8);
      window_ |= __builtin_bswap64(word) >> bits_;
      const int bytes = (63 - bits_) >> 3;
      next_ += bytes;
      bits_ += 8 * bytes;
      return;
    }
    while (bits_ <= 56) {
      uint64_t byte = 0;
      if (next_ < end_) byte = *next_++;
      else padding_ += 8;
      window_ |= byte << (56 - bits_);
      bits_ += 8;
    }
  }
  // The next n bits (n <= 32) without consuming them; Refill first.
  uint32_t Peek(int n) const { return n ? uint32_t(window_ >> (64 - n)) : 0; }
  // Drops n bits (n <= 32); false when that used bits the stream does not have.
  bool Consume(int n) {
    window_ <<= n;
    bits_ -= n;
    return bits_ >= padding_;
  }
  // Reads n bits (n <= 32) into value; false when the stream ran out.
  bool Read(int n, uint32_t& value) {
    Refill();
    value = Peek(n);
    return Consume(n);
  }

 private:
  const uint8_t* next_;
  const uint8_t* end_;
  uint64_t window_ = 0;  // left-aligned
  int bits_ = 0;         // bits in the window, padding included
  int padding_ = 0;      // zero bits appended past the end of the data
};

}  // namespace emd
