// Search margins blended between their full-material and bare-board values
// by the material on the board, once per "go" (centipawns).
#pragma once
#include "board/position.h"

struct PhaseParameters {
  int phase;                   // knights + bishops + 2 rooks + 4 queens (24 at the start)
  int lazyMargin;              // lazy evaluation keeps an estimate this far beyond the bound
  // Zero-window nodes by i = depth / 2 + 10 T (T = 1 for expected cut nodes):
  // with the evaluation this far below the bound only tactical moves are
  // tried, and quiet checks join them while it is less than the second
  // threshold below.
  int tacticalOnlyMargin[20];
  int quietCheckMargin[20];
  static constexpr int BandIndex(int depth, bool cutNode) { return depth / 2 + 10 * int(cutNode); }
  // Quiescence delta pruning: this far below alpha, pawns, then minors, then
  // rooks are no longer worth capturing.
  int deltaPawns, deltaMinors, deltaRooks;
  int evasionMargin;           // in-check quiescence: all promotions among the evasions this close to alpha
  // Margins of the shallow zero-window nodes by depth (internal units, the
  // index is the depth): the static cut-off reads entries 2 to 8. Entries 0
  // and 1 keep the index equal to the depth: a node shallower than one ply
  // is a depth-0 node, which has rules of its own.
  int lowBand[9];
};

// Blends one parameter: trunc(full * x + bare * (1 - x)), x = phase / 24.
int BlendParameter(int full, int bare, int phase);
// Every parameter for the material of the position.
PhaseParameters ComputePhaseParameters(const Position& p);
