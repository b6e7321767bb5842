// Turning a written table into its block-compressed .emd files. The block
// compressor is not part of the tool yet; this is where it plugs in.
#pragma once
#include <string>
#include "tablebase/nalimov_catalogue.h"

namespace tbgen {

// Is compression available in this build?
bool CompressionAvailable();
// Compresses the table's files in dir; false with a message on failure.
bool CompressTable(const std::string& dir, const nalimov::TableInfo& table, std::string* error);

}  // namespace tbgen
