// The transposition table: 8-byte entries in buckets of four, one bucket per
// 64-byte group whose other half holds evaluation-cache words. Shared by all
// processes of a group without locks; every read checks the key bits first.
#pragma once
#include <atomic>
#include <climits>
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
inline int32_t EntryStoredScore(const HashEntry& e) {
  return int32_t((e.word0 >> 20) | ((e.word1 & 3) << 12));
}
// The score as the search reads it: bias removed, mates clamped to just
// beyond the ordinary scores.
inline Score EntryScore(const HashEntry& e) {
  const int32_t s = EntryStoredScore(e) - HashScoreBias;
  return s > ClampedEntryScore ? ClampedEntryScore : s < -ClampedEntryScore ? -ClampedEntryScore : s;
}
inline bool EntryMatches(const HashEntry& e, uint64_t key) {
  return ((e.word1 ^ uint32_t(key >> 32)) & ~31u) == 0;
}
inline HashEntry* BucketOf(uint64_t key) { return Hash.entries + (key & Hash.indexMask); }

// The slots of the table are read and written by every process of a group
// at once, without locks: each word is one atomic access, and an entry read
// while another process writes it may mix two entries. The key check, and
// the legality check of a stored move, are what tolerate that. The second
// word (key bits) is written last and read first, so that a reader that sees
// a writer's key bits sees its first word too (x86 orders these for free).
inline HashEntry LoadEntry(const HashEntry& slot) {
  HashEntry e;
  e.word1 = std::atomic_ref<uint32_t>(const_cast<uint32_t&>(slot.word1)).load(std::memory_order_acquire);
  e.word0 = std::atomic_ref<uint32_t>(const_cast<uint32_t&>(slot.word0)).load(std::memory_order_relaxed);
  return e;
}
inline void StoreEntry(HashEntry& slot, uint32_t word0, uint32_t word1) {
  std::atomic_ref<uint32_t>(slot.word0).store(word0, std::memory_order_relaxed);
  std::atomic_ref<uint32_t>(slot.word1).store(word1, std::memory_order_release);
}

// Option "Preserve Analysis": entries of stored depth 22 or more keep a
// priority below every other entry, whatever their age. Read when the
// replacement priorities are rebuilt (NewSearchGeneration).
extern bool PreserveAnalysis;

// The table's memory comes from its owner (the hash memory of the process
// group), which attaches it here: `entryCount` 8-byte entries at `base`,
// 64-byte aligned (nullptr: no table). The evaluation cache shares it.
void AttachHashTable(void* base, uint64_t entryCount);
// Generation 0, priorities rebuilt, every word of the table zeroed (the
// evaluation-cache halves of the groups included).
void ClearHashTable();
// Sets the generation (taken mod 4) and rebuilds the replacement priorities.
// Called with (HashGeneration() + 1) & 3 at every search start, with 0 at start-up.
void NewSearchGeneration(int generation);
inline int HashGeneration() { return int(Hash.generationWord >> 6); }

// Scores a stored score field can hold (field 0..16383).
constexpr Score MinStorableScore = -HashScoreBias;
constexpr Score MaxStorableScore = 16383 - HashScoreBias;

// Flag and move tests.
inline bool EntryIsExact(const HashEntry& e) { return (e.word1 & HashExactFlags) == HashExactFlags; }
inline bool EntryHasLower(const HashEntry& e) { return (e.word1 & HashLowerFlag) != 0; }
inline bool EntryHasUpper(const HashEntry& e) { return (e.word1 & HashUpperFlag) != 0; }
inline bool EntryHasMark(const HashEntry& e) { return (e.word1 & HashMarkFlag) != 0; }
inline bool EntryHasMove(const HashEntry& e) { return (e.word0 & 0xFFF00u) != 0; }

// The hit of deepest stored depth in the key's bucket (the first of equal
// depths); entries of stored depth 0 never count. False when none.
inline bool ProbeDeepest(PositionKey key, HashEntry& found) {
  const HashEntry* bucket = BucketOf(key);
  int bestDepth = 0;
  for (int i = 0; i < 4; ++i) {
    const HashEntry e = LoadEntry(bucket[i]);
    if (EntryMatches(e, key) && EntryDepth(e) > bestDepth) {
      bestDepth = EntryDepth(e);
      found = e;
    }
  }
  return bestDepth > 0;
}

// Re-stamps an entry found again in this search (read as `seen`) with the
// current generation so that the replacement treats it as current.
inline void Touch(HashEntry& slot, const HashEntry& seen) {
  if ((seen.word0 & 0xC0u) != Hash.generationWord)
    std::atomic_ref<uint32_t>(slot.word0)
        .store((seen.word0 & ~0xC0u) | Hash.generationWord, std::memory_order_relaxed);
}

namespace hash_detail {
inline void Put(HashEntry& e, uint32_t word0, uint32_t word1) { StoreEntry(e, word0, word1); }

// The first word's low byte is the generation word OR the depth as given, so
// a depth above 63 spills into the generation bits (the "write" command's
// depth 120 reads back as 56 with the low generation bit set).
inline uint32_t FirstWord(Move move, int depth, Score score) {
  const uint32_t field = uint32_t(score + HashScoreBias);
  return (field << 20) | ((uint32_t(move) & 63) << 8) | (((uint32_t(move) >> 10) & 63) << 14) |
         Hash.generationWord | uint32_t(depth);
}
inline uint32_t SecondWord(PositionKey key, Score score, uint32_t flags) {
  const uint32_t field = uint32_t(score + HashScoreBias);
  return ((field >> 12) & 3) | flags | (uint32_t(key >> 32) & ~31u);
}

// The one replacement scheme of every store. The first hit that may be
// overwritten (stored depth not above the new one, and `mayOverwrite`) takes
// the entry and every later such hit is emptied; without one, the slot of
// highest replacement priority (the later one on ties) takes it.
template <class MayOverwrite>
inline void Store(PositionKey key, int depth, uint32_t word0, uint32_t word1, MayOverwrite mayOverwrite) {
  HashEntry* bucket = BucketOf(key);
  HashEntry* victim = bucket;
  int32_t victimPriority = INT32_MIN;
  for (int i = 0; i < 4; ++i) {
    const HashEntry e = LoadEntry(bucket[i]);
    if (EntryMatches(e, key) && EntryDepth(e) <= depth && mayOverwrite(e)) {
      Put(bucket[i], word0, word1);
      for (int j = i + 1; j < 4; ++j) {
        const HashEntry later = LoadEntry(bucket[j]);
        if (EntryMatches(later, key) && EntryDepth(later) <= depth && mayOverwrite(later))
          Put(bucket[j], 0, 0);
      }
      return;
    }
    const int32_t priority = Hash.priority[e.word0 & 255];
    if (priority >= victimPriority) {
      victimPriority = priority;
      victim = &bucket[i];
    }
  }
  Put(*victim, word0, word1);
}

template <uint32_t Flag, uint32_t OtherFlag>
inline void StoreMarked(PositionKey key, Move move, int depth, Score score, int mark) {
  const uint32_t markBit = mark ? HashMarkFlag : 0;
  // A bound never overwrites an entry that holds the other bound (exact
  // entries included); a marked bound never overwrites an unmarked one.
  Store(
      key, depth, FirstWord(move, depth, score), SecondWord(key, score, Flag | markBit),
      [markBit](const HashEntry& e) { return (e.word1 & OtherFlag) == 0 && (e.word1 & markBit) == markBit; });
}
}  // namespace hash_detail

// The stores of the search. `score` is the score itself (within
// MinStorableScore..MaxStorableScore; the bias is added here), `depth` the
// remaining depth in half plies (0..63), `move` a Move whose two squares are
// kept (0 for none).
inline void StoreExact(PositionKey key, Move move, int depth, Score score) {
  using namespace hash_detail;
  Store(key, depth, FirstWord(move, depth, score), SecondWord(key, score, HashExactFlags),
        [](const HashEntry&) { return true; });
}
inline void StoreLower(PositionKey key, Move move, int depth, Score score) {
  using namespace hash_detail;
  Store(key, depth, FirstWord(move, depth, score), SecondWord(key, score, HashLowerFlag),
        [](const HashEntry&) { return true; });
}
inline void StoreUpper(PositionKey key, Move move, int depth, Score score) {
  using namespace hash_detail;
  Store(key, depth, FirstWord(move, depth, score), SecondWord(key, score, HashUpperFlag),
        [](const HashEntry&) { return true; });
}
// Bounds of the zero-window searches. mark = 1 - T for a lower bound and T
// for an upper bound, T being the storing node's type (1 expected cut node,
// 0 expected all node; 0 for nodes without a type). A marked lower bound
// serves only nodes of type 0, a marked upper bound only nodes of type 1.
inline void StoreLowerMarked(PositionKey key, Move move, int depth, Score score, int mark) {
  hash_detail::StoreMarked<HashLowerFlag, HashUpperFlag>(key, move, depth, score, mark);
}
inline void StoreUpperMarked(PositionKey key, Move move, int depth, Score score, int mark) {
  hash_detail::StoreMarked<HashUpperFlag, HashLowerFlag>(key, move, depth, score, mark);
}
