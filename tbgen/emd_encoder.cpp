#include "tbgen/emd_encoder.h"
#include <algorithm>
#include <cstdio>
#include <new>
#include "platform/termination.h"
#include "tablebase/emd_canonical_code.h"
#include "tablebase/emd_checksum.h"
#include "tablebase/emd_format.h"
#include "tbgen/emd_bit_writer.h"
#include "tbgen/emd_block_parser.h"
#include "tbgen/emd_code_lengths_writer.h"
#include "tbgen/emd_plan.h"

namespace emd {
namespace {

constexpr uint32_t BlockSize = TablebaseBlockSize;

void Emit(BitWriter& out, const std::vector<Token>& tokens, const uint8_t* lengths, const uint32_t* codes) {
  for (const Token& token : tokens) {
    const int symbol = TokenSymbol(token);
    out.Put(codes[symbol], lengths[symbol]);
    if (token.length) {
      const LengthCode length = EncodeMatchLength(token.length);
      out.Put(length.extra, length.extraBits);
    }
  }
}

void PutBigEndian32(uint8_t* p, uint32_t value) {
  p[0] = uint8_t(value >> 24), p[1] = uint8_t(value >> 16), p[2] = uint8_t(value >> 8), p[3] = uint8_t(value);
}

}  // namespace

bool CompressTable(const uint8_t* data, uint64_t bytes, const EmdSink& sink, std::string& error,
                   EncodeReport* report) {
  if (bytes == 0) {
    error = "empty table";
    return false;
  }
  const uint64_t blockCount = (bytes + BlockSize - 1) / BlockSize;
  if (blockCount > (uint64_t(1) << 28)) {
    error = "table too large for one compressed file";
    return false;
  }
  const TableView table{data, bytes, BlockSize, uint32_t(blockCount)};
  const FilePlan plan = PlanFile(table);
  const Distances& distances = plan.distances;
  const uint8_t* lengths = plan.lengths;
  // Blocks are coded with exactly the file's code: symbols it lacks cannot be used.
  SymbolCosts costs;
  for (int s = 0; s < SymbolCount; ++s) costs.bits[s] = lengths[s] ? lengths[s] : SymbolCosts::Unusable;
  BlockParser parser(distances.data());
  uint32_t codes[SymbolCount];
  AssignCanonicalCodes(lengths, SymbolCount, codes);

  std::vector<uint8_t> lengthStream;
  {
    BitWriter out(lengthStream);
    WriteCodeLengths(out, lengths);
    out.Flush();
  }
  const uint64_t packedStart = FixedFieldBytes + uint64_t(BlockWordBytes) * table.blocks;
  const uint64_t packedBytes =
      (uint64_t(TablebaseLog2BlockSize) * (table.blocks + 1 + DistanceCount) + 7) / 8;
  const uint64_t headerLength = packedStart + packedBytes + lengthStream.size() + ChecksumBytes;

  // The blocks, each coded or stored as it is.
  std::vector<uint32_t> stored(table.blocks);
  std::vector<Token> tokens;
  std::vector<uint8_t> coded;
  uint64_t offset = headerLength;
  uint32_t storedBlocks = 0;
  for (uint32_t block = 0; block < table.blocks; ++block) {
    const uint32_t length = table.Length(block);
    tokens.clear();
    coded.clear();
    if (parser.Parse(table.Block(block), length, costs, tokens) < SymbolCosts::Unusable) {
      BitWriter out(coded);
      Emit(out, tokens, lengths, codes);
      out.Flush();
    }
    const bool keep = coded.empty() || coded.size() >= length;
    const uint8_t* bytesOut = keep ? table.Block(block) : coded.data();
    stored[block] = keep ? length : uint32_t(coded.size());
    storedBlocks += keep;
    if (!sink(offset, bytesOut, stored[block])) {
      error = "cannot write block " + std::to_string(block);
      return false;
    }
    offset += stored[block];
  }

  // The header.
  std::vector<uint8_t> header(packedStart, 0);
  std::copy(Banner, Banner + BannerBytes, header.begin());
  PutBigEndian32(&header[HeaderLengthOffset], uint32_t(headerLength));
  header[Log2BlockSizeOffset] = TablebaseLog2BlockSize;
  header[DistanceCountOffset] = DistanceCount;
  PutBigEndian32(&header[BlockCountOffset], table.blocks);
  PutBigEndian32(&header[FormatTagOffset], FormatTag);
  {
    BitWriter out(header);
    for (uint32_t size : stored) out.Put(size & (BlockSize - 1), TablebaseLog2BlockSize);
    out.Put(table.Length(table.blocks - 1) & (BlockSize - 1), TablebaseLog2BlockSize);
    for (uint32_t distance : distances) out.Put(distance, TablebaseLog2BlockSize);
    out.Flush();
  }
  header.insert(header.end(), lengthStream.begin(), lengthStream.end());
  header.resize(header.size() + ChecksumBytes);
  PutBigEndian32(&header[header.size() - ChecksumBytes],
                 HeaderChecksum(header.data(), header.size() - ChecksumBytes));
  if (header.size() != headerLength || !sink(0, header.data(), header.size())) {
    error = "cannot write the header";
    return false;
  }
  if (report) {
    report->inputBytes = bytes;
    report->outputBytes = offset;
    report->blocks = table.blocks;
    report->storedBlocks = storedBlocks;
    report->headerLength = uint32_t(headerLength);
    report->distances = distances;
  }
  return true;
}

bool WriteCompressedTable(const uint8_t* data, uint64_t bytes, const std::string& path, std::string& error,
                          EncodeReport* report) {
  const std::string partial = path + ".part";
  // An interrupted run removes the partial file (when the program has asked
  // for that: platform/termination.h).
  const int slot = platform::ListTemporaryFile(partial);
  std::FILE* file = std::fopen(partial.c_str(), "wb");
  if (!file) {
    platform::UnlistTemporaryFile(slot);
    error = "cannot create " + partial;
    return false;
  }
  uint64_t position = 0;
  const EmdSink sink = [&](uint64_t offset, const uint8_t* bytesOut, size_t size) {
    if (offset != position && fseeko(file, off_t(offset), SEEK_SET) != 0) return false;
    position = offset + size;
    return std::fwrite(bytesOut, 1, size, file) == size;
  };
  bool ok = CompressTable(data, bytes, sink, error, report);
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    error = "cannot write " + partial;
  }
  if (ok && std::rename(partial.c_str(), path.c_str()) != 0) {
    ok = false;
    error = "cannot rename " + partial + " to " + path;
  }
  if (!ok) std::remove(partial.c_str());
  platform::UnlistTemporaryFile(slot);
  return ok;
}

bool CompressTableFile(const std::string& tablePath, const std::string& path, std::string& error,
                       EncodeReport* report) {
  std::FILE* file = std::fopen(tablePath.c_str(), "rb");
  if (!file) {
    error = "cannot open " + tablePath;
    return false;
  }
  std::vector<uint8_t> table;
  bool read = fseeko(file, 0, SEEK_END) == 0;
  const off_t size = read ? ftello(file) : -1;
  read = size >= 0 && fseeko(file, 0, SEEK_SET) == 0;
  if (read) {
    try {
      table.resize(size_t(size));
    } catch (const std::bad_alloc&) {
      std::fclose(file);
      error = "not enough memory to read " + tablePath;
      return false;
    }
    read = std::fread(table.data(), 1, table.size(), file) == table.size();
  }
  std::fclose(file);
  if (!read) {
    error = "cannot read " + tablePath;
    return false;
  }
  return WriteCompressedTable(table.data(), table.size(), path, error, report);
}

std::vector<uint8_t> CompressTableToMemory(const uint8_t* data, uint64_t bytes, EncodeReport* report) {
  std::vector<uint8_t> file;
  const EmdSink sink = [&](uint64_t offset, const uint8_t* bytesOut, size_t size) {
    if (file.size() < offset + size) file.resize(offset + size);
    std::copy(bytesOut, bytesOut + size, file.begin() + ptrdiff_t(offset));
    return true;
  };
  std::string error;
  if (!CompressTable(data, bytes, sink, error, report)) file.clear();
  return file;
}

}  // namespace emd
