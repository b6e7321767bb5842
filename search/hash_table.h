// The transposition table: 8-byte entries in buckets of four, one bucket per
// 64-byte group whose other half holds evaluation-cache words. Shared by all
// processes of a group without locks; every read checks the key bits first.
#pragma once
#include <cstddef>
#include <cstdint>
#include "common/types.h"

// Two little-endian words. First: depth 0-5, generation 6-7, move squares
// 8-13 and 14-19, score bits 0-11 in 20-31. Second: score bits 12-13 in 0-1,
// lower-bound flag 2, upper-bound flag 3 (both = exact), node-type mark 4,
// key check bits 5-31 (bits 5-31 of the key's high half).
struct HashEntry {
  uint32_t word0;
  uint32_t word1;
};
static_assert(sizeof(HashEntry) == 8);

constexpr uint32_t HashLowerFlag = 4, HashUpperFlag = 8, HashExactFlags = 12, HashMarkFlag = 16;
constexpr int32_t HashScoreBias = 8190;      // stored score = score + 8190, 14 bits

struct HashTable {
  HashEntry* entries = nullptr;   // first entry; 64-byte aligned
  uint64_t entryCount = 0;        // bytes / 8
  uint64_t indexMask = 0;         // entryCount - 8: one bucket per 64-byte group
  uint32_t generationWord = 0;    // current generation (0..3) << 6
  int32_t priority[256] = {};     // replacement priority by an entry's low byte
};
extern HashTable Hash;

// Field access.
inline int EntryDepth(const HashEntry& e) { return int(e.word0 & 63); }
inline uint32_t EntryGeneration(const HashEntry& e) { return e.word0 & 0xC0; }
inline uint32_t EntryMoveLow(const HashEntry& e) {   // move bits 0-5 and 10-15 as in a Move's low word
  return ((e.word0 >> 8) & 63) | (((e.word0 >> 14) & 63) << 10);
}
inline int32_t EntryStoredScore(const HashEntry& e) { return int32_t((e.word0 >> 20) | ((e.word1 & 3) << 12)); }
// The score as the search reads it: bias removed, clamped to +-8001.
inline Score EntryScore(const HashEntry& e) {
  int32_t s = EntryStoredScore(e) - HashScoreBias;
  return s > 8001 ? 8001 : s < -8001 ? -8001 : s;
}
inline bool EntryMatches(const HashEntry& e, uint64_t key) { return ((e.word1 ^ uint32_t(key >> 32)) & ~31u) == 0; }
inline HashEntry* BucketOf(uint64_t key) { return Hash.entries + (key & Hash.indexMask); }
