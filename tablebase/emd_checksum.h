// Checksum of a compressed file's header. It is a CRC-like sum whose table
// applies the polynomial 0xEDB88320 when the low bit is 0 (the reverse of the
// usual CRC-32 table), starts from 0 and is not inverted at the end. Files
// are checked against exactly this rule, so a header summed with the usual
// CRC-32 is refused.
#pragma once
#include <cstddef>
#include <cstdint>

namespace emd {

uint32_t HeaderChecksum(const uint8_t* data, size_t size);

}  // namespace emd
