// Writing the code lengths of the 1024 block symbols in the two-level form
// that a file's header stores (tablebase/emd_code_lengths.h describes it).
#pragma once
#include <cstdint>
#include "tbgen/emd_bit_writer.h"

namespace emd {

// Writes 1024 lengths (each <= 31).
void WriteCodeLengths(BitWriter& out, const uint8_t* lengths);

}  // namespace emd
