// Search margins blended between their full-material and bare-board values
// by the material on the board, once per "go".
#pragma once
#include "board/position.h"

struct PhaseParameters {
  int phase;                // knights + bishops + 2 rooks + 4 queens (24 at the start)
  int phaseClass;           // phase / 6, at most 3
  int lazyMargin;           // P: lazy evaluation accepts an estimate this far from the bound
  int moveSetA[20];         // below bound - E < A[i] every move is searched (i = depth / 2 + 10 T)
  int quietCheckB[20];      // below it quiet checks join the captures
  int delta1, delta2, delta3;  // quiescence delta margins (pawns, minors, rooks dropped as targets)
  int evasionMargin;        // in-check quiescence: all evasions when E + M >= alpha
  int lowBand[10];          // further margins of the low zero-window band
  int depthZero[2];         // margins of the depth-0 zero-window node
};
extern PhaseParameters Phase;

// Blends one parameter: trunc(full * x + bare * (1 - x)), x = phase / 24.
int BlendParameter(int full, int bare, int phase);
