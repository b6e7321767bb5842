// One record of the search stack: what a node keeps for itself and shows
// its children (evaluation, moves, killers, the line found).
#pragma once
#include <cstdint>
#include "board/move.h"
#include "eval/evaluate.h"

constexpr int MaxPly = 250;          // no node deeper than this

struct PlyRecord {
  EvalInfo eval;
  Move bestMove;
  int staticEval;          // side to move's view
  int estimated;           // 1 when staticEval is an estimate, not a full evaluation
  bool positionalValid;    // eval.positional belongs to this node's position
  Move movePlayed;         // the move from this node to its child
  Move killers[2];
  bool attacksValid;
  int pvLength;
  Move pv[MaxPly + 2];
};
