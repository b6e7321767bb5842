// One record of the search stack: what a node keeps for itself and shows
// its children (evaluation, moves, killers, the line found).
#pragma once
#include <cstdint>
#include "board/move.h"
#include "eval/evaluate.h"

constexpr int MaxPly = 250;          // no node deeper than this

// The move a record shows as played to its child when that was the null
// move: below the root no other move is ever zero, so a child reads it as
// "my position is my parent's with the other side to move".
constexpr Move NullMovePlayed = 0;

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
