// Decoding one block of a compressed tablebase file. Whatever the bits say,
// the decoder writes only the block's uncompressed bytes and reads only its
// stored bytes; a block whose bits run out, name a match before the start of
// the block or use a symbol the code lacks is broken.
#pragma once
#include <cstdint>
#include <cstdio>
#include "tablebase/emd_error.h"
#include "tablebase/emd_header.h"

namespace emd {

// Decodes the stored bytes in[0 .. inSize) into exactly outSize bytes of out.
bool DecodeBlock(const EmdHeader& header, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize);

// Reads block `block` of an open file into out (room for
// header.BlockLength(block) bytes), with `work` (room for header.blockSize
// bytes) holding the stored bytes. Read error or file broken.
EmdError ReadBlock(std::FILE* file, const EmdHeader& header, uint32_t block, uint8_t* work, uint8_t* out);

}  // namespace emd
