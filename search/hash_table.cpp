// The transposition table's memory, size, generation and replacement priorities.
#include "search/hash_table.h"

#include <cstring>
#include "eval/eval_cache.h"

HashTable Hash;
bool PreserveAnalysis = false;

void AttachHashTable(void* base, uint64_t entryCount) {
  Hash.entries = static_cast<HashEntry*>(base);
  Hash.entryCount = base ? entryCount : 0;
  // Keeps the low three bits clear, so a bucket always starts a 64-byte group;
  // for a size that is not a power of two it still keeps indices in range.
  Hash.indexMask = base ? entryCount - 8 : 0;
  AttachEvalCache(base, Hash.entryCount);
}

void ClearHashTable() {
  NewSearchGeneration(0);
  // Word by word: another process may still be finishing a search on it.
  for (uint64_t i = 0; i < Hash.entryCount; ++i) StoreEntry(Hash.entries[i], 0, 0);
}

void NewSearchGeneration(int generation) {
  const int g = generation & 3;
  Hash.generationWord = uint32_t(g) << 6;
  // Higher replaces first: older generations before newer, shallow before
  // deep; a current entry counts one ply deeper than one of the previous search.
  for (int a = 0; a < 4; ++a) {
    const int age = (g - a) & 3;
    for (int d = 0; d < 64; ++d) {
      int32_t priority = (age + 1) * 256 - d;
      if (a == g) priority += 254;
      if (PreserveAnalysis && d >= 22) priority = 256 - d;
      Hash.priority[a * 64 + d] = priority;
    }
  }
}
