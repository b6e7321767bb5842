// The score scale and the bounds the engine compares scores against.
#pragma once
#include <cstdint>

using Score = int32_t;   // centipawns, from the side to move's view unless said otherwise

// Mate scores: a side that mates in n plies scores MateScore - n, a side
// mated in n plies -(MateScore - n); -MateScore is "mated now". Everything
// within MaxOrdinaryScore is an ordinary evaluation.
constexpr Score MateScore = 8160;
constexpr Score MaxOrdinaryScore = 8000;
// A table entry's score as the search reads it: any mate is "more than ordinary".
constexpr Score ClampedEntryScore = MaxOrdinaryScore + 1;
// Tablebase values beyond this are mates (nearer mates than 300 plies lie
// beyond it; the tables' ordinary values are draws), so that the search can
// move them by the node's distance from the root.
constexpr Score TablebaseMateBound = MateScore - 300;
// "go minscore": the default lies below every score, so nothing is cut off.
constexpr Score NoMinimumScore = -64000;
// MultiPV_cp: a margin no two scores can differ by, so every line is shown.
constexpr int EveryLineMargin = 20000;
