#include "tablebase/emd_decoder.h"
#include <cstring>
#include "tablebase/emd_bits.h"

namespace emd {

bool DecodeBlock(const EmdHeader& header, const uint8_t* in, uint32_t inSize, uint8_t* out,
                 uint32_t outSize) {
  BitReader bits(in, inSize);
  uint32_t at = 0;
  while (at < outSize) {
    const int symbol = header.code.Decode(bits);
    if (symbol < 0) return false;
    if (symbol < LiteralCount) {
      out[at++] = uint8_t(symbol);
      continue;
    }
    const int slot = (symbol - LiteralCount) / LengthCodeCount;
    const int code = (symbol - LiteralCount) % LengthCodeCount;
    uint32_t extra = 0;
    if (!bits.Read(LengthExtraBits(code), extra)) return false;
    const uint32_t distance = header.distances[slot];
    if (distance == 0 || distance > at) return false;
    uint32_t length = MatchLength(code, extra);
    if (length > outSize - at) length = outSize - at;
    const uint8_t* from = out + at - distance;
    uint8_t* to = out + at;
    if (distance >= length) {
      std::memcpy(to, from, length);
    } else {
      for (uint32_t i = 0; i < length; ++i)
        to[i] = from[i];  // overlapping: repeats the last `distance` bytes
    }
    at += length;
  }
  return true;
}

EmdError ReadBlock(std::FILE* file, const EmdHeader& header, uint32_t block, uint8_t* work, uint8_t* out) {
  if (block >= header.blockCount) return EmdError::FileBroken;
  const uint32_t stored = header.StoredLength(block), length = header.BlockLength(block);
  if (fseeko(file, off_t(header.BlockOffset(block)), SEEK_SET) != 0) return EmdError::ReadError;
  if (header.StoredRaw(block))
    return std::fread(out, 1, length, file) == length ? EmdError::None : EmdError::ReadError;
  if (std::fread(work, 1, stored, file) != stored) return EmdError::ReadError;
  return DecodeBlock(header, work, stored, out, length) ? EmdError::None : EmdError::FileBroken;
}

}  // namespace emd
