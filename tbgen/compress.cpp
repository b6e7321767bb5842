#include "tbgen/compress.h"
#include <cstdio>
#include <cstring>
#include <vector>
#include "tablebase/emd_file.h"
#include "tbgen/emd_encoder.h"
#include "tbgen/table_files.h"

namespace tbgen {

bool CompressionAvailable() { return true; }

namespace {

// Every block of the written file decodes to the bytes it was made from.
bool RoundTrip(const std::string& path, const platform::MappedFile& input, std::string* error) {
  emd::EmdFile file;
  emd::EmdError e = file.Open(path);
  if (e == emd::EmdError::None && file.UncompressedSize() != input.size()) e = emd::EmdError::FileBroken;
  std::vector<uint8_t> block(file.BlockSize() ? file.BlockSize() : 1);
  for (uint32_t b = 0; e == emd::EmdError::None && b < file.BlockCount(); ++b) {
    e = file.ReadBlock(b, block.data());
    const uint64_t at = uint64_t(b) * file.BlockSize();
    if (e == emd::EmdError::None && std::memcmp(block.data(), input.data() + at, file.BlockLength(b)) != 0) {
      *error = path + ": block " + std::to_string(b) + " does not decode to its input";
      return false;
    }
  }
  if (e != emd::EmdError::None) {
    *error = path + ": " + emd::ErrorText(e) + " when read back";
    return false;
  }
  return true;
}

}  // namespace

bool CompressTable(const std::string& dir, const nalimov::TableInfo& table, std::string* error) {
  std::string message;
  for (Color side : {White, Black}) {
    if (side == Black && table.symmetric) break;
    for (const std::string& name : TableFileNames(table, side)) {
      const std::string plain = dir + "/" + name, packed = plain + ".emd";
      auto input = MapFile(plain, &message);
      if (!input) {
        *error = message;
        return false;
      }
      emd::EncodeReport report;
      if (!emd::WriteCompressedTable(input->data(), input->size(), packed, message, &report)) {
        *error = packed + ": " + message;
        return false;
      }
      if (!RoundTrip(packed, *input, error)) {
        std::remove(packed.c_str());
        return false;
      }
      std::printf("%s: %llu bytes, %u blocks (%u stored)\n", (name + ".emd").c_str(),
                  (unsigned long long)report.outputBytes, report.blocks, report.storedBlocks);
    }
  }
  return true;
}

}  // namespace tbgen
