#include "tools/tbgen/compress.h"

namespace tbgen {

bool CompressionAvailable() { return false; }

bool CompressTable(const std::string&, const nalimov::TableInfo& table, std::string* error) {
  if (error) *error = std::string(table.name) + ": compression is not available yet (the .emd block compressor is not in this build)";
  return false;
}

}  // namespace tbgen
