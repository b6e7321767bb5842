// Win, draw and loss chances of a search score, for front ends that show
// them ("wdl W D L" in the score reports). The model is fitted on the
// engine's own games (tools/tune/wdl_fit.py): by the score and the material
// on the board, the chances of the side the score belongs to.
#pragma once
#include "board/position.h"

struct WinDrawLoss {
  int win = 0, draw = 0, loss = 0;   // per mille, summing to 1000
};

// The chances for a score (centipawns or a mate score, the side to move's
// view) with `material` on the board (pawn 1, minor 3, rook 5, queen 9, both
// sides). Mate scores are certain.
WinDrawLoss WdlOfScore(int score, int material);
// The material count the model reads.
int WdlMaterial(const Position& p);
