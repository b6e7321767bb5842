// The static evaluation: one walk over the pieces of both sides that builds
// their attack maps and sums every positional term, then material, the
// phase blend and the endgame scaling. Scores are White's view, centipawns.
#pragma once
#include <cstdint>
#include <string>
#include "board/position.h"

struct EvalInfo {
  Bitboard attacks[2];   // squares each side attacks (pieces, pawns, king)
  int sideSign;          // +1 White to move, -1 Black to move
  int positional;        // last score minus material / 10
};

// "Rook Endgame Scaling" option in percent, read at every evaluation.
extern int RookEndgameScaling;

// Full evaluation; stores the result in the evaluation cache.
Score Evaluate(const Position& p, EvalInfo& ei);
// Full evaluation without reading or writing any cache (tests, tools).
Score EvaluateUncached(const Position& p, EvalInfo& ei);
// Material value in centipawns as the evaluation adds it (material / 10).
int MaterialCentipawns(const Position& p);

// Sets up the evaluation's tables; call once at start-up.
void InitEvaluation();

// The main terms of the evaluation of the position as text lines, ending
// with "Total evaluation: N" (White's view, centipawns).
std::string EvaluationReport(const Position& p);
