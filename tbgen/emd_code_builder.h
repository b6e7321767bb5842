// Code lengths for the writer: a Huffman code of the symbol counts, limited
// to maxLength bits, always usable by the reader (complete, with at least two
// symbols so that every symbol costs at least one bit).
#pragma once
#include <cstdint>

namespace emd {

// lengths[s] = 0 for symbols with count 0 (except the one or two symbols
// given a length to make the code complete). symbols must be at least 2 and
// at most 2^maxLength.
void BuildCodeLengths(const uint64_t* counts, int symbols, int maxLength, uint8_t* lengths);

}  // namespace emd
