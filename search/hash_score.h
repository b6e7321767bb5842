// Scores as the table stores them: mates relative to the node, so that the
// distance to mate stays exact wherever the position is met again.
#pragma once
#include "common/score.h"
#include "search/hash_table.h"

inline int ScoreToHash(int score, int ply) {
  return score > MaxOrdinaryScore ? score + ply : score < -MaxOrdinaryScore ? score - ply : score;
}
inline int ScoreFromHash(const HashEntry& e, int ply) {
  const int s = EntryStoredScore(e) - HashScoreBias;
  return s > MaxOrdinaryScore ? s - ply : s < -MaxOrdinaryScore ? s + ply : s;
}
inline int MatedIn(int ply) { return -(MateScore - (ply - 1)); }   // ply index: root's children are 2
