// The block cache of the tablebase files: recently used 8192-byte blocks of
// every table, in one buffer of fixed size, evicted strictly least recently
// used first. A block of a table side lives in that side's bucket list of
// its block number modulo 32.
#pragma once
#include <cstdint>

namespace tb {

constexpr int BlockBytes = 8192;
constexpr int CacheEntryBytes = 8260;     // what one cached block costs
constexpr int32_t UnknownValue = 32767;   // "no value" of a read

// Sizes the cache: megabytes * 2^20 / 8260 entries (none below 32 bytes).
// Forgets every cached block.
void SetTablebaseCache(int megabytes);
int TablebaseCacheEntries();
// Forgets every cached block and closes the files (a new registration).
void ResetTablebaseCache();

// Byte `offset` of block `block` of a table side (table 1..440, side 0/1),
// read through the cache; UnknownValue when it cannot be read. A read error
// drops the extent's registration, so that it is not tried again.
int32_t ReadTableByte(int table, int side, uint64_t block, int offset);

// For tests: the cache's blocks from most to least recently used, as
// (table, side, block) triples packed into one number each.
uint64_t CacheKey(int table, int side, uint64_t block);
int CachedKeys(uint64_t* keys, int capacity);

}  // namespace tb
