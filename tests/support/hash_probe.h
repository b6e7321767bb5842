// The slot of the deepest matching table entry, for tests that compare places.
#pragma once
#include "search/hash_table.h"

inline const HashEntry* DeepestSlot(PositionKey key) {
  const HashEntry* bucket = BucketOf(key);
  const HashEntry* found = nullptr;
  int bestDepth = 0;
  for (int i = 0; i < 4; ++i) {
    const HashEntry e = LoadEntry(bucket[i]);
    if (EntryMatches(e, key) && EntryDepth(e) > bestDepth) {
      bestDepth = EntryDepth(e);
      found = bucket + i;
    }
  }
  return found;
}
