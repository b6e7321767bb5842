// The code lengths of the 1024 block symbols as a file's header stores them,
// in two levels:
// 1. 128 lengths in a simple form: a 5-bit width W, then one W-bit length per
//    entry; a length 0 is followed by a 4-bit count of further zero entries.
//    The first 64 give code A, the last 64 code B.
// 2. The 1024 lengths as symbols v of code A: v < 32 is the next length;
//    v >= 32 repeats the length v - 32, as many times as the following
//    symbol r of code B says: r + 2 for r <= 31, otherwise 2^e + x + 33 with
//    e = r - 32 and x read from the next e bits.
#pragma once
#include <cstdint>
#include "tablebase/emd_bits.h"

namespace emd {

// The numbers of the form above, for the reader and the writer.
constexpr int SimpleLengthEntries = 128;
constexpr int LevelSymbols = 64;   // symbols of codes A and B
constexpr int RepeatBase = 32;     // A symbols from here repeat a length
constexpr int ShortRuns = 32;      // B symbols below this count r + 2 copies

// Reads the 1024 lengths; false when the stream is malformed or ran out
// (the file is broken). The generator's writer is
// tbgen/emd_code_lengths_writer.h.
bool ReadCodeLengths(BitReader& in, uint8_t* lengths);

}  // namespace emd
