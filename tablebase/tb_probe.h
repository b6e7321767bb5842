// The value of a position in the registered tablebases, as a score from the
// side to move's view.
#pragma once
#include <cstdint>
#include "board/position.h"

namespace tb {

constexpr int32_t UnknownTableValue = 32767;

// A file's entry in the common 16-bit scale: an 8-bit table's signed byte
// widened (127 and values out of range are unknown).
int32_t WidenByte(int32_t stored);
// The score of a 16-bit table value: 0 a draw, positive the side to move
// mates, negative it is mated (7908 .. 8158 and -7910 .. -8160 for the
// distances an 8-bit table holds).
Score ScoreOfTableValue(int32_t value);

// The position's score from the registered tables; false when no registered
// table covers its material or the entry cannot be read (unknown).
bool ProbeTablebase(const Position& p, Score& score);

}  // namespace tb
