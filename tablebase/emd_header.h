// The header of a compressed tablebase file, read and checked once when the
// file is registered, and the block table it gives the reader. Every field is
// checked against the bytes the file really holds: a header that claims more
// blocks, a longer header or more data than the file has is "file broken",
// and nothing is read or allocated beyond the file's size.
#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>
#include "tablebase/emd_canonical_code.h"
#include "tablebase/emd_error.h"
#include "tablebase/emd_format.h"

namespace emd {

struct EmdHeader {
  uint32_t headerLength = 0;    // H: the blocks start here
  uint32_t log2BlockSize = 0;
  uint32_t blockSize = 0;
  uint32_t blockCount = 0;
  uint32_t lastBlockSize = 0;   // uncompressed bytes of the last block
  uint32_t distances[DistanceCount] = {};
  CanonicalDecoder code;        // the block symbols' code
  // Block table: the file offset of every 16th block and each block's stored
  // size less one (sizes run 1 .. block size).
  std::vector<uint64_t> groupOffsets;
  std::vector<uint16_t> storedMinusOne;

  uint64_t UncompressedSize() const { return uint64_t(blockCount - 1) * blockSize + lastBlockSize; }
  uint32_t BlockLength(uint32_t block) const { return block + 1 == blockCount ? lastBlockSize : blockSize; }
  uint32_t StoredLength(uint32_t block) const { return uint32_t(storedMinusOne[block]) + 1; }
  bool StoredRaw(uint32_t block) const { return StoredLength(block) == BlockLength(block); }
  uint64_t BlockOffset(uint32_t block) const;
};

// The fixed fields (the first 80 bytes) of a file of fileSize bytes: a wrong
// banner is a read error, any other bad field (or a header longer than the
// file) is broken. Gives the header length H.
EmdError CheckFixedFields(const uint8_t* bytes, uint64_t fileSize, uint32_t& headerLength);

// The whole header: its first H bytes (H from CheckFixedFields) of a file of
// fileSize bytes.
EmdError ParseHeader(const uint8_t* bytes, uint64_t fileSize, EmdHeader& header);

// Reads and parses the header of an open file (binary mode).
EmdError ReadHeader(std::FILE* file, EmdHeader& header);

}  // namespace emd
