// What a move usually does to the positional part of the evaluation, learned
// from the full evaluations the search makes. The search uses it to estimate
// a child's evaluation without computing it (lazy evaluation) and to judge
// whether a quiet move can lift a node to its bound (futility).
#pragma once
#include <cstdint>
#include "board/move.h"
#include "board/piece.h"

struct LearnedGains {
  // Per mover colour, indexed by target square, mover class and origin
  // square (move bits 0-7 and 10-15): the change of the mover's positional
  // part, in centipawns, -127..127.
  int8_t move[2][1 << 14];
  // Per mover colour, by captured class x 64 + target square: the part of a
  // capture's positional change that comes from removing that piece there.
  int16_t capture[2][8 * 64];
};

// Kept for the life of the process; only a benchmark forgets them, so that
// its node count does not depend on what was searched before.
void ForgetLearnedGains(LearnedGains& gains);

inline int MoveGainIndex(Move m) { return int(m & 0xFF) | int(((m >> 10) & 0x3F) << 8); }
inline int CaptureGainIndex(Move m) { return VictimClass(m) * 64 + ToSquare(m); }

// Expected change of the mover's positional part.
template <Color C> inline int ExpectedGain(const LearnedGains& gains, Move m) {
  int gain = gains.move[C][MoveGainIndex(m)];
  if (IsCapture(m)) gain += gains.capture[C][CaptureGainIndex(m)];
  return gain;
}

// Learns from the observed change of the mover's positional part.
template <Color C> inline void LearnGain(LearnedGains& gains, Move m, int change) {
  int8_t& moveGain = gains.move[C][MoveGainIndex(m)];
  if (IsCapture(m) && MoverClass(m) != PawnClass) {
    int16_t& captureGain = gains.capture[C][CaptureGainIndex(m)];
    int learned = (captureGain + change - moveGain) / 2;
    captureGain = int16_t(learned < -16000 ? -16000 : learned > 16000 ? 16000 : learned);
    return;
  }
  if (IsCapture(m)) change -= gains.capture[C][CaptureGainIndex(m)];
  int learned = moveGain + (change - moveGain) / 2;
  moveGain = int8_t(learned < -127 ? -127 : learned > 127 ? 127 : learned);
}
