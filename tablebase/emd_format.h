// Fixed facts of the block-compressed tablebase files (".emd"): the header
// fields, the 1024-symbol alphabet of the blocks and the match-length code.
// Shared by the reader and the writer so that both speak one format.
//
// File layout, multi-byte numbers big-endian:
//   0   64 bytes   banner (below)
//   64  4          header length H (> 83)
//   68  2          unused
//   70  1          log2 of the block size (<= 16; tablebases use 13)
//   71  1          number of match distances, always 24
//   72  4          number of blocks N
//   76  4          format tag 0x004001F5
//   80  8 * N      per-block words, ignored by readers (written as zeros)
//   then, packed MSB first, (log2 block size) bits each: the compressed size
//       of every block (0 = a whole block), the uncompressed size of the last
//       block (0 = a whole block), the 24 match distances
//   then, from the next byte: the code lengths of the block symbols in their
//       two-level form (emd_code_lengths.h)
//   H-4 4          checksum of bytes 0 .. H-5 (emd_checksum.h)
// Blocks follow from offset H, each either stored unchanged (its compressed
// size equals its uncompressed size) or coded with the file's Huffman code.
#pragma once
#include <cstdint>

namespace emd {

constexpr int BannerBytes = 64;
inline constexpr uint8_t Banner[BannerBytes] = {
    'C', 'o', 'm', 'p', 'r', 'e', 's', 's', 'e', 'd', ' ',  'b',  'y', ' ', 'D', 'A',
    'T', 'A', 'C', 'O', 'M', 'P', ' ', 'v', ' ', '1', '.',  '0',  ' ', '(', 'c', ')',
    ' ', '1', '9', '9', '1', '-', '-', '1', '9', '9', '8',  ' ',  'A', 'n', 'd', 'r',
    'e', 'w', ' ', 'K', 'a', 'd', 'a', 't', 'c', 'h', '\r', '\n', 0,   0,   0,   0};

// Offsets of the fixed fields.
constexpr uint32_t HeaderLengthOffset = 64;
constexpr uint32_t Log2BlockSizeOffset = 70;
constexpr uint32_t DistanceCountOffset = 71;
constexpr uint32_t BlockCountOffset = 72;
constexpr uint32_t FormatTagOffset = 76;
constexpr uint32_t FixedFieldBytes = 80;
constexpr uint32_t BlockWordBytes = 8;
constexpr uint32_t ChecksumBytes = 4;

constexpr uint32_t MinHeaderLength = 84;
constexpr uint32_t MaxLog2BlockSize = 16;
constexpr uint32_t MaxBlockSize = 1u << MaxLog2BlockSize;
constexpr uint32_t FormatTag = 0x004001F5;

// Tablebase files always use blocks of 8192 bytes.
constexpr uint32_t TablebaseLog2BlockSize = 13;
constexpr uint32_t TablebaseBlockSize = 1u << TablebaseLog2BlockSize;

// Block symbols: 0..255 literal bytes; 256 + 32k + L a match at distance k
// (0..23) with length code L (0..31).
constexpr int DistanceCount = 24;
constexpr int LiteralCount = 256;
constexpr int LengthCodeCount = 32;
constexpr int SymbolCount = LiteralCount + DistanceCount * LengthCodeCount;
static_assert(SymbolCount == 1024);
constexpr int MaxCodeLength = 31;

constexpr int MatchSymbol(int distanceSlot, int lengthCode) {
  return LiteralCount + distanceSlot * LengthCodeCount + lengthCode;
}

// Match lengths: code L <= 14 is the length L + 1; a larger code is followed
// by e = L - 14 extra bits x and means 2^e + x + 14.
constexpr int ShortLengthCodes = 15;

struct LengthCode {
  int code;        // 0..31
  int extraBits;   // 0..17
  uint32_t extra;  // the value of the extra bits
};

constexpr LengthCode EncodeMatchLength(uint32_t length) {
  if (length <= ShortLengthCodes) return {int(length) - 1, 0, 0};
  int e = 31 - __builtin_clz(length - 14);
  return {14 + e, e, length - 14 - (1u << e)};
}

constexpr int LengthExtraBits(int code) { return code < ShortLengthCodes ? 0 : code - 14; }

constexpr uint32_t MatchLength(int code, uint32_t extra) {
  return code < ShortLengthCodes ? uint32_t(code) + 1 : (1u << (code - 14)) + extra + 14;
}

}  // namespace emd
