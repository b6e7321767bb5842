// Writes a table (the uncompressed bytes of an .nbw/.nbb file: 8-bit entries,
// or 16-bit entries low byte first) as a compressed tablebase file with
// 8192-byte blocks.
//
// How the file is made:
// - the 24 match distances and the block symbols' code are fitted to the
//   table first (emd_plan.h);
// - then every block is coded with that code (emd_block_parser.h), or stored
//   unchanged when coding would not make it smaller;
// - the per-block words of the header are written as zeros.
// The output is streamed: the blocks are written as they are coded and the
// header, whose length is known before the second pass, last.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "tbgen/emd_distances.h"

namespace emd {

struct EncodeReport {
  uint64_t inputBytes = 0;
  uint64_t outputBytes = 0;
  uint32_t blocks = 0;
  uint32_t storedBlocks = 0;   // blocks kept unchanged
  uint32_t headerLength = 0;
  Distances distances{};
};

// Receives the file's bytes at their offsets: blocks in order, then the
// header at offset 0. False stops the writing.
using EmdSink = std::function<bool(uint64_t offset, const uint8_t* bytes, size_t size)>;

bool CompressTable(const uint8_t* data, uint64_t bytes, const EmdSink& sink, std::string& error,
                   EncodeReport* report = nullptr);

// The whole file at `path`. It is written under `path` + ".part" and renamed
// when complete, so `path` holds a whole file or none (an older file there is
// replaced only by a complete new one).
bool WriteCompressedTable(const uint8_t* data, uint64_t bytes, const std::string& path, std::string& error,
                          EncodeReport* report = nullptr);

// The uncompressed table file at `tablePath` compressed to `path` as above
// (for example kqkr.nbw to kqkr.nbw.emd).
bool CompressTableFile(const std::string& tablePath, const std::string& path, std::string& error,
                       EncodeReport* report = nullptr);

// The whole file in memory (empty on failure).
std::vector<uint8_t> CompressTableToMemory(const uint8_t* data, uint64_t bytes,
                                           EncodeReport* report = nullptr);

}  // namespace emd
