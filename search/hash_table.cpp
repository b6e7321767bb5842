// The transposition table's memory, size, generation and replacement priorities.
#include "search/hash_table.h"
#include <cstring>
#include "search/hash_memory.h"

HashTable Hash;
bool PreserveAnalysis = false;

namespace {
bool MapTable(uint64_t megabytes) {
  const uint64_t entryCount = megabytes * 131072;
  void* base = AcquireHashMemory(entryCount * sizeof(HashEntry));
  if (!base) return false;
  Hash.entries = static_cast<HashEntry*>(base);
  Hash.entryCount = entryCount;
  // Keeps the low three bits clear, so a bucket always starts a 64-byte group;
  // for a size that is not a power of two it still keeps indices in range.
  Hash.indexMask = entryCount - 8;
  return true;
}
}  // namespace

bool AllocateHashTable(int megabytes) {
  if (megabytes < 1) return false;
  const uint64_t previousMegabytes = Hash.entryCount / 131072;
  // The old table goes first: the new one may need the same huge pages, and
  // two large tables at once may not fit in memory.
  if (Hash.entries) ReleaseHashMemory(Hash.entries, Hash.entryCount * sizeof(HashEntry));
  Hash.entries = nullptr;
  Hash.entryCount = Hash.indexMask = 0;
  const bool sized = MapTable(uint64_t(megabytes));
  // Without memory for that size the search still needs a table.
  if (!sized && !(previousMegabytes > 0 && MapTable(previousMegabytes))) MapTable(1);
  ClearHashTable();
  return sized;
}

void ClearHashTable() {
  NewSearchGeneration(0);
  if (Hash.entries) std::memset(static_cast<void*>(Hash.entries), 0, Hash.entryCount * sizeof(HashEntry));
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
