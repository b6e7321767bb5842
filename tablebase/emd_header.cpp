#include "tablebase/emd_header.h"
#include <cstring>
#include <new>
#include "tablebase/emd_bits.h"
#include "tablebase/emd_checksum.h"
#include "tablebase/emd_code_lengths.h"

namespace emd {
namespace {

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

constexpr uint32_t BlocksPerGroup = 16;

EmdError ParseFields(const uint8_t* bytes, uint64_t fileSize, EmdHeader& header) {
  uint32_t length = 0;
  if (const EmdError error = CheckFixedFields(bytes, fileSize, length); error != EmdError::None) return error;
  const uint32_t checked = length - ChecksumBytes;
  if (HeaderChecksum(bytes, checked) != BigEndian32(bytes + checked)) return EmdError::FileBroken;

  header = EmdHeader();
  header.headerLength = length;
  header.log2BlockSize = bytes[Log2BlockSizeOffset];
  header.blockSize = 1u << header.log2BlockSize;
  header.blockCount = BigEndian32(bytes + BlockCountOffset);
  if (header.blockCount == 0) return EmdError::FileBroken;
  const uint64_t packedStart = FixedFieldBytes + uint64_t(BlockWordBytes) * header.blockCount;
  const uint64_t packedBits = uint64_t(header.log2BlockSize) * (header.blockCount + 1 + DistanceCount);
  const uint64_t lengthsStart = packedStart + (packedBits + 7) / 8;
  if (lengthsStart >= checked) return EmdError::FileBroken;

  const int width = int(header.log2BlockSize);
  BitReader packed(bytes + packedStart, size_t(lengthsStart - packedStart));
  header.storedMinusOne.resize(header.blockCount);
  header.groupOffsets.resize((header.blockCount + BlocksPerGroup - 1) / BlocksPerGroup);
  uint64_t offset = length;
  for (uint32_t block = 0; block < header.blockCount; ++block) {
    uint32_t stored = 0;
    if (!packed.Read(width, stored)) return EmdError::FileBroken;
    if (stored == 0) stored = header.blockSize;
    header.storedMinusOne[block] = uint16_t(stored - 1);
    if (block % BlocksPerGroup == 0) header.groupOffsets[block / BlocksPerGroup] = offset;
    offset += stored;
    if (offset > fileSize) return EmdError::FileBroken;
  }
  uint32_t last = 0;
  if (!packed.Read(width, last)) return EmdError::FileBroken;
  header.lastBlockSize = last ? last : header.blockSize;
  for (uint32_t& distance : header.distances)
    if (!packed.Read(width, distance)) return EmdError::FileBroken;

  uint8_t lengths[SymbolCount];
  BitReader lengthBits(bytes + lengthsStart, size_t(checked - lengthsStart));
  if (!ReadCodeLengths(lengthBits, lengths) || !header.code.Build(lengths, SymbolCount))
    return EmdError::FileBroken;
  return EmdError::None;
}

}  // namespace

uint64_t EmdHeader::BlockOffset(uint32_t block) const {
  uint64_t offset = groupOffsets[block / BlocksPerGroup];
  for (uint32_t b = block - block % BlocksPerGroup; b < block; ++b) offset += StoredLength(b);
  return offset;
}

EmdError CheckFixedFields(const uint8_t* bytes, uint64_t fileSize, uint32_t& headerLength) {
  if (fileSize < FixedFieldBytes || std::memcmp(bytes, Banner, BannerBytes) != 0) return EmdError::ReadError;
  headerLength = BigEndian32(bytes + HeaderLengthOffset);
  if (headerLength < MinHeaderLength || bytes[Log2BlockSizeOffset] > MaxLog2BlockSize ||
      bytes[DistanceCountOffset] != DistanceCount || BigEndian32(bytes + FormatTagOffset) != FormatTag ||
      headerLength > fileSize)
    return EmdError::FileBroken;
  return EmdError::None;
}

EmdError ParseHeader(const uint8_t* bytes, uint64_t fileSize, EmdHeader& header) {
  try {
    return ParseFields(bytes, fileSize, header);
  } catch (const std::bad_alloc&) {
    return EmdError::OutOfMemory;
  }
}

EmdError ReadHeader(std::FILE* file, EmdHeader& header) {
  if (fseeko(file, 0, SEEK_END) != 0) return EmdError::ReadError;
  const off_t end = ftello(file);
  if (end < 0 || fseeko(file, 0, SEEK_SET) != 0) return EmdError::ReadError;
  const uint64_t fileSize = uint64_t(end);
  uint8_t fixed[FixedFieldBytes];
  if (std::fread(fixed, 1, FixedFieldBytes, file) != FixedFieldBytes) return EmdError::ReadError;
  uint32_t length = 0;
  if (const EmdError error = CheckFixedFields(fixed, fileSize, length); error != EmdError::None) return error;
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(length);
  } catch (const std::bad_alloc&) {
    return EmdError::OutOfMemory;
  }
  std::memcpy(bytes.data(), fixed, FixedFieldBytes);
  // The size was checked, so a short read means the file changed under us;
  // registration reports that with the out-of-memory kind.
  if (std::fread(bytes.data() + FixedFieldBytes, 1, length - FixedFieldBytes, file) !=
      length - FixedFieldBytes)
    return EmdError::OutOfMemory;
  return ParseHeader(bytes.data(), fileSize, header);
}

}  // namespace emd
