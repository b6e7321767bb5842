// Transposition table: entry fields, replacement, aging, marked bounds, and a
// random stress run that checks the replacement rules after every store.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include "board/move.h"
#include "group/hash_memory.h"
#include "search/hash_table.h"
#include "tests/support/hash_probe.h"

namespace {
constexpr uint64_t Bucket = 4000;   // a bucket of the 1 MB table (entry index 32000)

// A key of the test bucket; `id` picks the check bits (bits 5-31 of the high half).
PositionKey KeyOf(uint32_t id, uint64_t bucket = Bucket) { return (uint64_t(id << 5) << 32) | (bucket * 8); }
constexpr Move MoveE2E4 = Move(E4) | (Move(E2) << 10);

class HashTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PreserveAnalysis = false;
    ASSERT_TRUE(AllocateHashTable(1));
  }
  void TearDown() override { PreserveAnalysis = false; }
  HashEntry* bucket() { return BucketOf(KeyOf(0)); }
  // The slot of the bucket holding key `id` at depth `depth`, or -1.
  int SlotOf(uint32_t id, int depth) {
    for (int i = 0; i < 4; ++i)
      if (EntryMatches(bucket()[i], KeyOf(id)) && EntryDepth(bucket()[i]) == depth) return i;
    return -1;
  }
  int CopiesOf(uint32_t id) {
    int n = 0;
    for (int i = 0; i < 4; ++i) n += EntryMatches(bucket()[i], KeyOf(id)) && EntryDepth(bucket()[i]) > 0;
    return n;
  }
};
}  // namespace

TEST_F(HashTableTest, SizeMaskAndClear) {
  EXPECT_EQ(Hash.entryCount, 131072u);
  EXPECT_EQ(Hash.indexMask, 131064u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(Hash.entries) % 64, 0u);
  EXPECT_EQ(BucketOf(~0ull) - Hash.entries, 131064);
  StoreExact(KeyOf(1), MoveE2E4, 20, 55);
  NewSearchGeneration(3);
  // A failed allocation keeps the table that is there.
  HashEntry* before = Hash.entries;
  EXPECT_FALSE(AllocateHashTable(0));
  EXPECT_EQ(Hash.entries, before);
  ASSERT_NE(DeepestSlot(KeyOf(1)), nullptr);
  ClearHashTable();
  EXPECT_EQ(HashGeneration(), 0);
  EXPECT_EQ(DeepestSlot(KeyOf(1)), nullptr);
  EXPECT_EQ(bucket()[0].word0 | bucket()[7].word1, 0u);   // evaluation-cache half cleared too
  // A size that is not a power of two (a loaded file) still indexes inside the table.
  ASSERT_TRUE(AllocateHashTable(3));
  EXPECT_EQ(Hash.entryCount, 3u * 131072);
  for (uint64_t key : {~0ull, 0x123456789abcdefull, 0xfffffff8ull}) {
    const int64_t index = BucketOf(key) - Hash.entries;
    EXPECT_EQ(index % 8, 0);
    EXPECT_LE(index + 8, int64_t(Hash.entryCount));
  }
}

TEST_F(HashTableTest, EntryFieldsRoundTrip) {
  NewSearchGeneration(2);
  // Only the two squares of a move are kept; class, flags and promotion bits are not.
  const Move full = MoveE2E4 | (3u << 6) | (1u << 17) | (Move(PromoQueenHigh) << 32);
  StoreLower(KeyOf(7), full, 37, -1234);
  const HashEntry* e = DeepestSlot(KeyOf(7));
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(EntryDepth(*e), 37);
  EXPECT_EQ(EntryGeneration(*e), 128u);
  EXPECT_EQ(EntryMoveLow(*e), uint32_t(MoveE2E4));
  EXPECT_TRUE(EntryHasMove(*e));
  EXPECT_EQ(EntryScore(*e), -1234);
  EXPECT_TRUE(EntryHasLower(*e));
  EXPECT_FALSE(EntryHasUpper(*e) || EntryIsExact(*e) || EntryHasMark(*e));
  StoreUpper(KeyOf(8), 0, 5, 7);
  e = DeepestSlot(KeyOf(8));
  ASSERT_NE(e, nullptr);
  EXPECT_FALSE(EntryHasMove(*e));
  EXPECT_TRUE(EntryHasUpper(*e) && !EntryHasLower(*e));
  // A key that differs only in bits 0-4 of its high half is the same entry;
  // one that differs in bit 5 is another position.
  EXPECT_EQ(DeepestSlot(KeyOf(8) | (31ull << 32)), e);
  EXPECT_EQ(DeepestSlot(KeyOf(8) ^ (1ull << 37)), nullptr);
}

TEST_F(HashTableTest, EveryScoreFieldReadsBackClamped) {
  // Fields split over the two words: 12 bits in the first, 2 in the second.
  for (int32_t field = 0; field < 16384; ++field) {
    const Score score = field - HashScoreBias;
    StoreExact(KeyOf(1), MoveE2E4, 10, score);
    const HashEntry& e = bucket()[SlotOf(1, 10)];
    ASSERT_EQ(EntryStoredScore(e), field);
    ASSERT_EQ(EntryScore(e), score > 8001 ? 8001 : score < -8001 ? -8001 : score);
    ASSERT_EQ(EntryMoveLow(e), uint32_t(MoveE2E4));
    ASSERT_TRUE(EntryMatches(e, KeyOf(1)) && EntryIsExact(e));
  }
  EXPECT_EQ(CopiesOf(1), 1);
}

TEST_F(HashTableTest, PriorityTable) {
  NewSearchGeneration(1);
  // Indexed by the low byte of the first word: generation << 6 | depth.
  EXPECT_EQ(Hash.priority[1 * 64 + 10], 500);   // current: 510 - d
  EXPECT_EQ(Hash.priority[0 * 64 + 10], 502);   // previous search: 512 - d
  EXPECT_EQ(Hash.priority[3 * 64 + 0], 768);    // two searches back
  EXPECT_EQ(Hash.priority[2 * 64 + 63], 961);   // three searches back
  // A current entry counts two depth units deeper than one of the previous search.
  EXPECT_EQ(Hash.priority[1 * 64 + 12], Hash.priority[0 * 64 + 14]);
  PreserveAnalysis = true;
  NewSearchGeneration(1);
  EXPECT_EQ(Hash.priority[2 * 64 + 22], 234);
  EXPECT_EQ(Hash.priority[1 * 64 + 63], 193);
  EXPECT_EQ(Hash.priority[1 * 64 + 21], 489);   // the deepest entry still replaced normally
  int32_t lowestOrdinary = 1 << 30, highestPreserved = 0;
  for (int i = 0; i < 256; ++i) {
    if ((i & 63) >= 22)
      highestPreserved = std::max(highestPreserved, Hash.priority[i]);
    else
      lowestOrdinary = std::min(lowestOrdinary, Hash.priority[i]);
  }
  EXPECT_LT(highestPreserved, 256);
  EXPECT_GT(lowestOrdinary, highestPreserved);
}

TEST_F(HashTableTest, EmptyBucketFillsFromTheLastSlot) {
  // Equal priorities: the later slot wins.
  for (uint32_t id = 1; id <= 4; ++id) StoreExact(KeyOf(id), 0, 10, 0);
  for (uint32_t id = 1; id <= 4; ++id) EXPECT_EQ(SlotOf(id, 10), 4 - int(id));
  // Full bucket: the shallowest current entry goes, the later of equals.
  StoreExact(KeyOf(3), 0, 30, 0);    // overwrites its own slot
  EXPECT_EQ(SlotOf(3, 30), 1);
  StoreExact(KeyOf(5), 0, 12, 0);
  EXPECT_EQ(SlotOf(5, 12), 3);
  EXPECT_EQ(CopiesOf(1), 0);
  EXPECT_EQ(CopiesOf(3), 1);
}

TEST_F(HashTableTest, SameKeyTwiceLeavesOneCopy) {
  // Copies left by other processes: key 1 at depth 10 in slots 0 and 2, deeper in slot 3.
  StoreExact(KeyOf(1), 0, 40, 0);   // slot 3
  HashEntry shallow = bucket()[3];
  shallow.word0 = (shallow.word0 & ~63u) | 10;
  bucket()[0] = shallow;
  bucket()[2] = shallow;
  StoreLower(KeyOf(2), 0, 10, 0);   // slot 1 (the only empty one has the top priority)
  ASSERT_EQ(SlotOf(2, 10), 1);
  StoreExact(KeyOf(1), MoveE2E4, 10, 99);
  EXPECT_EQ(SlotOf(1, 10), 0);
  EXPECT_EQ(EntryScore(bucket()[0]), 99);
  EXPECT_EQ(bucket()[2].word0 | bucket()[2].word1, 0u);   // the later copy emptied
  EXPECT_EQ(SlotOf(1, 40), 3);                            // the deeper copy stays
  EXPECT_EQ(SlotOf(2, 10), 1);
  // The probe prefers the deeper copy; the first of equal depths.
  EXPECT_EQ(DeepestSlot(KeyOf(1)), bucket() + 3);
}

TEST_F(HashTableTest, DeeperCopyIsKeptUnlessItIsTheBestVictim) {
  NewSearchGeneration(0);
  StoreExact(KeyOf(1), 0, 20, 1);   // slot 3, generation 0
  NewSearchGeneration(2);
  for (uint32_t id = 2; id <= 4; ++id) StoreExact(KeyOf(id), 0, 30, 0);
  // Key 1 is two searches old and shallow: the new, shallower copy replaces it.
  StoreExact(KeyOf(1), 0, 8, 2);
  EXPECT_EQ(CopiesOf(1), 1);
  EXPECT_EQ(SlotOf(1, 8), 3);
  // Now the deeper copy is current and a shallower store goes elsewhere.
  StoreExact(KeyOf(1), 0, 40, 3);
  StoreExact(KeyOf(1), 0, 6, 4);
  EXPECT_EQ(CopiesOf(1), 2);
  EXPECT_EQ(SlotOf(1, 40), 3);
  EXPECT_NE(SlotOf(1, 6), -1);
  EXPECT_EQ(EntryDepth(*DeepestSlot(KeyOf(1))), 40);
}

TEST_F(HashTableTest, PreserveAnalysisKeepsDeepEntries) {
  PreserveAnalysis = true;
  NewSearchGeneration(0);
  StoreExact(KeyOf(1), 0, 24, 0);   // slot 3
  NewSearchGeneration(1);
  NewSearchGeneration(2);
  for (uint32_t id = 2; id <= 4; ++id) StoreExact(KeyOf(id), 0, 10, 0);
  // Old and deep, yet current shallow entries go first.
  for (uint32_t id = 5; id <= 20; ++id) StoreExact(KeyOf(id), 0, 12 + id % 8, 0);
  EXPECT_EQ(SlotOf(1, 24), 3);
  // The same position stored at least as deep still overwrites it.
  StoreLower(KeyOf(1), 0, 24, 5);
  EXPECT_EQ(SlotOf(1, 24), 3);
  EXPECT_EQ(EntryScore(bucket()[3]), 5);
  // When every slot is preserved the shallowest of them goes.
  for (uint32_t id = 30; id <= 32; ++id) StoreExact(KeyOf(id), 0, int(id), 0);
  StoreExact(KeyOf(40), 0, 50, 0);
  EXPECT_EQ(SlotOf(1, 24), -1);
  EXPECT_EQ(SlotOf(40, 50), 3);
}

TEST_F(HashTableTest, TouchRestampsOnlyTheGeneration) {
  StoreUpper(KeyOf(1), MoveE2E4, 33, -50);
  const HashEntry before = bucket()[3];
  Touch(bucket()[3], bucket()[3]);
  EXPECT_EQ(bucket()[3].word0, before.word0);
  NewSearchGeneration(3);
  Touch(bucket()[3], bucket()[3]);
  EXPECT_EQ(EntryGeneration(bucket()[3]), 192u);
  EXPECT_EQ(bucket()[3].word0 & ~0xC0u, before.word0 & ~0xC0u);
  EXPECT_EQ(bucket()[3].word1, before.word1);
}

TEST_F(HashTableTest, DepthBeyondTheFieldSpillsIntoTheGeneration) {
  // The "write" command's depth 120: every copy of the key is replaced.
  StoreExact(KeyOf(1), 0, 63, 0);
  StoreLower(KeyOf(1), MoveE2E4, 62, 0);
  StoreExact(KeyOf(1), 0, 120, 77);
  EXPECT_EQ(CopiesOf(1), 1);
  const HashEntry* e = DeepestSlot(KeyOf(1));
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(EntryDepth(*e), 56);
  EXPECT_EQ(EntryGeneration(*e), 64u);
  EXPECT_EQ(EntryMoveLow(*e), 0u);
  EXPECT_TRUE(EntryIsExact(*e));
  NewSearchGeneration(2);
  StoreExact(KeyOf(2), 0, 120, 77);
  EXPECT_EQ(EntryGeneration(*DeepestSlot(KeyOf(2))), 192u);
}

TEST_F(HashTableTest, MarkedBounds) {
  // A marked lower bound never overwrites an entry with the upper-bound flag.
  StoreExact(KeyOf(1), 0, 10, 0);   // slot 3
  StoreLowerMarked(KeyOf(1), 0, 20, 5, 0);
  EXPECT_EQ(SlotOf(1, 10), 3);
  ASSERT_EQ(SlotOf(1, 20), 2);
  // Mark 1 skips an unmarked hit...
  StoreLowerMarked(KeyOf(1), 0, 25, 6, 1);
  EXPECT_EQ(SlotOf(1, 20), 2);
  ASSERT_EQ(SlotOf(1, 25), 1);
  EXPECT_TRUE(EntryHasMark(bucket()[1]) && EntryHasLower(bucket()[1]) && !EntryHasUpper(bucket()[1]));
  // ...and overwrites a marked one, keeping the mark.
  StoreLowerMarked(KeyOf(1), 0, 26, 7, 1);
  EXPECT_EQ(SlotOf(1, 26), 1);
  EXPECT_TRUE(EntryHasMark(bucket()[1]));
  // Mark 0 overwrites both and writes no mark; the later hit is emptied, the exact entry kept.
  StoreLowerMarked(KeyOf(1), 0, 30, 8, 0);
  EXPECT_EQ(SlotOf(1, 30), 1);
  EXPECT_FALSE(EntryHasMark(bucket()[1]));
  EXPECT_EQ(SlotOf(1, 20), -1);
  EXPECT_EQ(SlotOf(1, 10), 3);
  // The upper-bound store mirrors it: it leaves lower bounds alone.
  StoreUpperMarked(KeyOf(1), 0, 40, -8, 0);
  EXPECT_EQ(SlotOf(1, 30), 1);
  const int upper = SlotOf(1, 40);
  ASSERT_NE(upper, -1);
  EXPECT_TRUE(EntryHasUpper(bucket()[upper]) && !EntryHasLower(bucket()[upper]));
  StoreUpperMarked(KeyOf(1), 0, 41, -9, 1);
  EXPECT_EQ(SlotOf(1, 40), upper);   // unmarked: skipped
  // Plain stores overwrite any hit and clear the mark.
  StoreUpper(KeyOf(1), 0, 50, 0);
  EXPECT_EQ(CopiesOf(1), 1);
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(EntryHasMark(bucket()[i]));
}

namespace {
enum class Kind { Exact, Lower, Upper, LowerMarked, UpperMarked };

// Whether a store of this kind and mark may take the place of hit e.
bool Overwritable(Kind kind, int mark, const HashEntry& e) {
  if (kind == Kind::LowerMarked) return !EntryHasUpper(e) && (!mark || EntryHasMark(e));
  if (kind == Kind::UpperMarked) return !EntryHasLower(e) && (!mark || EntryHasMark(e));
  return true;
}
bool Same(const HashEntry& a, const HashEntry& b) { return a.word0 == b.word0 && a.word1 == b.word1; }
}  // namespace

TEST_F(HashTableTest, RandomStoresKeepTheReplacementRules) {
  std::mt19937_64 rng(20240611);
  constexpr int Buckets = 6, Ids = 10;
  auto pick = [&](int n) { return int(rng() % uint64_t(n)); };
  for (int step = 0; step < 120000; ++step) {
    if (pick(500) == 0) NewSearchGeneration(pick(4));
    if (pick(3000) == 0) {
      PreserveAnalysis = !PreserveAnalysis;
      NewSearchGeneration(HashGeneration());
    }
    // Id 0 has check bits 0, which empty slots match as well.
    const PositionKey key = KeyOf(uint32_t(pick(Ids)), 100 + uint64_t(pick(Buckets))) | (rng() & 31ull << 32);
    HashEntry* b = BucketOf(key);
    if (pick(50) == 0) {
      // A torn entry: the slot's second word now carries another key's bits.
      const int slot = pick(4);
      const PositionKey own = (uint64_t(b[slot].word1 & ~31u) << 32) | (key & 0xffffffffu);
      ASSERT_TRUE(EntryMatches(b[slot], own));
      b[slot].word1 ^= 1u << (5 + pick(27));
      ASSERT_FALSE(EntryMatches(b[slot], own));
      ASSERT_NE(DeepestSlot(own), b + slot);
      continue;
    }
    if (pick(20) == 0) {
      {
        HashEntry& slot = b[pick(4)];
        Touch(slot, slot);
      }
      continue;
    }
    const Kind kind = Kind(pick(5));
    const int mark = pick(2);
    const int depth = pick(100) == 0 ? 120 : pick(64);
    const Score score = Score(pick(16384)) - HashScoreBias;
    const Move move = rng();
    HashEntry before[4];
    for (int i = 0; i < 4; ++i) before[i] = b[i];
    switch (kind) {
      case Kind::Exact: StoreExact(key, move, depth, score); break;
      case Kind::Lower: StoreLower(key, move, depth, score); break;
      case Kind::Upper: StoreUpper(key, move, depth, score); break;
      case Kind::LowerMarked: StoreLowerMarked(key, move, depth, score, mark); break;
      case Kind::UpperMarked: StoreUpperMarked(key, move, depth, score, mark); break;
    }
    const bool marked = kind == Kind::LowerMarked || kind == Kind::UpperMarked;
    const uint32_t flags = kind == Kind::Exact ? HashExactFlags
                         : kind == Kind::Lower || kind == Kind::LowerMarked ? HashLowerFlag : HashUpperFlag;
    auto isNewEntry = [&](const HashEntry& e) {
      return EntryMatches(e, key) && (e.word0 & 255) == ((Hash.generationWord | uint32_t(depth)) & 255) &&
             EntryMoveLow(e) == (uint32_t(move) & 0xFC3F) && EntryStoredScore(e) == score + HashScoreBias &&
             (e.word1 & 28) == (flags | (marked && mark ? HashMarkFlag : 0));
    };
    int first = -1;
    for (int i = 0; i < 4 && first < 0; ++i)
      if (EntryMatches(before[i], key) && EntryDepth(before[i]) <= depth && Overwritable(kind, mark, before[i]))
        first = i;
    if (first >= 0) {
      // The first overwritable hit takes it; later ones are emptied; nothing else moves.
      ASSERT_TRUE(isNewEntry(b[first])) << step;
      for (int j = 0; j < 4; ++j) {
        if (j == first) continue;
        const bool cleared = j > first && EntryMatches(before[j], key) && EntryDepth(before[j]) <= depth &&
                             Overwritable(kind, mark, before[j]);
        if (cleared) {
          ASSERT_EQ(b[j].word0 | b[j].word1, 0u) << step;
        } else {
          ASSERT_TRUE(Same(b[j], before[j])) << step;
        }
      }
    } else {
      // Exactly one slot changed, and it had the highest priority (the last of equals).
      int victim = -1, changed = 0;
      for (int i = 0; i < 4; ++i)
        if (!Same(b[i], before[i])) {
          victim = i;
          ++changed;
        }
      ASSERT_EQ(changed, 1) << step;
      ASSERT_TRUE(isNewEntry(b[victim])) << step;
      const int32_t pv = Hash.priority[before[victim].word0 & 255];
      for (int i = 0; i < 4; ++i) {
        const int32_t p = Hash.priority[before[i].word0 & 255];
        if (i != victim) {
          ASSERT_TRUE(i < victim ? p <= pv : p < pv) << step;
        }
      }
    }
    // After a plain store the new entry is the only copy of the key that is
    // not deeper, so a probe never prefers a stale shallower result.
    if (!marked) {
      for (int i = 0; i < 4; ++i) {
        // (An emptied slot matches the keys whose check bits are all 0.)
        if (!isNewEntry(b[i]) && EntryMatches(b[i], key) && (b[i].word0 | b[i].word1) != 0) {
          ASSERT_GT(EntryDepth(b[i]), depth) << step;
        }
      }
    }
    const HashEntry* found = DeepestSlot(key);
    if (depth > 0 && depth < 64) {
      ASSERT_NE(found, nullptr);
      ASSERT_GE(EntryDepth(*found), depth);
    }
    if (found) {
      ASSERT_LE(std::abs(EntryScore(*found)), 8001);
    }
  }
}
