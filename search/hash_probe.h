// Reading a node's entries from the table: every matching entry, the best
// move they offer, and the quiescence level's use of them.
#pragma once
#include "board/position.h"
#include "search/hash_score.h"
#include "search/hash_table.h"

// What the table holds for a node.
struct ProbeResult {
  HashEntry hit[4];     // the matching entries as read
  HashEntry* slot[4];   // where they were read
  int hits;
  Move hashMove;       // completed for the side to move, or 0
  int maxDepth;        // largest stored depth among hits
};
template <Color C> void ProbeHash(const Position& p, uint64_t key, ProbeResult& r);
// At the quiescence level any stored depth counts: an exact score, or a bound
// on the right side of the window (alpha, beta), decides the node.
inline bool HashDecidesWindow(const ProbeResult& probe, int alpha, int beta, int ply, int& score) {
  for (int i = 0; i < probe.hits; ++i) {
    const HashEntry& e = probe.hit[i];
    const int s = ScoreFromHash(e, ply);
    if (EntryIsExact(e) || (EntryHasLower(e) && s >= beta) || (EntryHasUpper(e) && s <= alpha)) {
      score = s;
      return true;
    }
  }
  return false;
}
