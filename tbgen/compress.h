// Turning a written table into its block-compressed .emd files.
#pragma once
#include <string>
#include "tablebase/nalimov_catalogue.h"

namespace tbgen {

// Is compression available in this build?
bool CompressionAvailable();
// Writes kqkr.nbw.emd (and .nbb.emd, and one per extent) next to each
// uncompressed file of the table in dir, and decodes every block of the new
// file again to check it against its input. The uncompressed files stay: the
// generator reads them when it builds larger tables, and a reader that finds
// both uses the uncompressed one. False with a message on failure (no
// partial .emd file is left).
bool CompressTable(const std::string& dir, const nalimov::TableInfo& table, std::string* error);

}  // namespace tbgen
