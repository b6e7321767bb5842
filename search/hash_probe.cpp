#include "search/hash_probe.h"

#include "search/move_tests.h"
#include "search/search_thresholds.h"

template <Color C> void ProbeHash(const Position& p, uint64_t key, ProbeResult& r) {
  r.hits = 0;
  r.hashMove = 0;
  r.maxDepth = 0;
  HashEntry* bucket = BucketOf(key);
  int bestMoveDepth = 0;
  uint32_t bestMoveLow = 0;
  for (int i = 0; i < 4; ++i) {
    const HashEntry e = LoadEntry(bucket[i]);
    if (!EntryMatches(e, key) || !(e.word0 | e.word1)) continue;
    r.slot[r.hits] = &bucket[i];
    r.hit[r.hits++] = e;
    if (EntryDepth(e) > r.maxDepth) r.maxDepth = EntryDepth(e);
    if (EntryHasMove(e)) {
      const int moveDepth = EntryHasLower(e) ? EntryDepth(e) : UnprovenMoveDepth;
      if (moveDepth > bestMoveDepth) {
        bestMoveDepth = moveDepth;
        bestMoveLow = EntryMoveLow(e);
      }
    }
  }
  if (bestMoveLow) {
    const Move m = CompleteStoredMove<C>(p, bestMoveLow, 0);
    if (m && IsPlayable<C>(p, m)) r.hashMove = m;
  }
}

template void ProbeHash<White>(const Position&, uint64_t, ProbeResult&);
template void ProbeHash<Black>(const Position&, uint64_t, ProbeResult&);
