#include "tablebase/emd_encoder.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include "tablebase/emd_bits.h"
#include "tablebase/emd_block_parser.h"
#include "tablebase/emd_canonical_code.h"
#include "tablebase/emd_checksum.h"
#include "tablebase/emd_code_builder.h"
#include "tablebase/emd_code_lengths.h"
#include "tablebase/emd_format.h"

namespace emd {
namespace {

constexpr uint32_t BlockSize = TablebaseBlockSize;
constexpr int MaxBlockCodeLength = 16;
constexpr uint32_t CostSampleBlocks = 64;
constexpr int CostRounds = 2;
// Guessed costs before any code exists, and for symbols a code lacks while
// the code is still being settled.
constexpr uint32_t GuessedMatchCost = 7;
constexpr uint32_t MissingSymbolCost = MaxBlockCodeLength + 2;

struct Table {
  const uint8_t* data;
  uint64_t bytes;
  uint32_t blocks;
  const uint8_t* Block(uint32_t block) const { return data + uint64_t(block) * BlockSize; }
  uint32_t Length(uint32_t block) const {
    return uint32_t(std::min<uint64_t>(BlockSize, bytes - uint64_t(block) * BlockSize));
  }
};

using SymbolCounts = std::vector<uint64_t>;

// Literals cost what their share of the sample says, matches a guess.
SymbolCosts GuessedCosts(const Table& table, const std::vector<uint32_t>& sample) {
  uint64_t counts[LiteralCount] = {}, total = 0;
  for (uint32_t block : sample) {
    const uint8_t* bytes = table.Block(block);
    for (uint32_t i = 0, n = table.Length(block); i < n; ++i) ++counts[bytes[i]];
    total += table.Length(block);
  }
  SymbolCosts costs;
  for (int s = 0; s < LiteralCount; ++s) {
    const double bits = counts[s] ? -std::log2(double(counts[s]) / double(total)) : MaxBlockCodeLength;
    costs.bits[s] = uint32_t(std::clamp(std::lround(bits), 1L, long(MaxBlockCodeLength)));
  }
  for (int s = LiteralCount; s < SymbolCount; ++s) costs.bits[s] = GuessedMatchCost;
  return costs;
}

SymbolCosts CostsOfCode(const uint8_t* lengths, uint32_t missingCost) {
  SymbolCosts costs;
  for (int s = 0; s < SymbolCount; ++s) costs.bits[s] = lengths[s] ? lengths[s] : missingCost;
  return costs;
}

SymbolCounts CountSymbols(BlockParser& parser, const Table& table, const std::vector<uint32_t>& blocks,
                          const SymbolCosts& costs) {
  SymbolCounts counts(SymbolCount, 0);
  std::vector<Token> tokens;
  for (uint32_t block : blocks) {
    tokens.clear();
    parser.Parse(table.Block(block), table.Length(block), costs, tokens);
    for (const Token& token : tokens) ++counts[TokenSymbol(token)];
  }
  return counts;
}

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
  const Table table{data, bytes, uint32_t(blockCount)};
  std::vector<uint32_t> everyBlock(table.blocks), sample;
  for (uint32_t b = 0; b < table.blocks; ++b) everyBlock[b] = b;
  const uint32_t sampled = std::min(table.blocks, CostSampleBlocks);
  for (uint32_t i = 0; i < sampled; ++i) sample.push_back(uint32_t(uint64_t(i) * table.blocks / sampled));

  // Distances, then the code: settle the costs on the sample, count the
  // symbols of every block under them, and fit the code to those counts.
  const Distances distances = ChooseDistances(data, bytes, BlockSize);
  BlockParser parser(distances.data());
  uint8_t lengths[SymbolCount];
  SymbolCosts costs = GuessedCosts(table, sample);
  for (int round = 0; round < CostRounds; ++round) {
    const SymbolCounts counts = CountSymbols(parser, table, sample, costs);
    BuildCodeLengths(counts.data(), SymbolCount, MaxBlockCodeLength, lengths);
    costs = CostsOfCode(lengths, MissingSymbolCost);
  }
  const SymbolCounts counts = CountSymbols(parser, table, everyBlock, costs);
  BuildCodeLengths(counts.data(), SymbolCount, MaxBlockCodeLength, lengths);
  costs = CostsOfCode(lengths, SymbolCosts::Unusable);
  uint32_t codes[SymbolCount];
  AssignCanonicalCodes(lengths, SymbolCount, codes);

  std::vector<uint8_t> lengthStream;
  {
    BitWriter out(lengthStream);
    WriteCodeLengths(out, lengths);
    out.Flush();
  }
  const uint64_t packedStart = FixedFieldBytes + uint64_t(BlockWordBytes) * table.blocks;
  const uint64_t packedBytes = (uint64_t(TablebaseLog2BlockSize) * (table.blocks + 1 + DistanceCount) + 7) / 8;
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
  PutBigEndian32(&header[header.size() - ChecksumBytes], HeaderChecksum(header.data(), header.size() - ChecksumBytes));
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
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    error = "cannot create " + path;
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
    error = "cannot write " + path;
  }
  if (!ok) std::remove(path.c_str());
  return ok;
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
