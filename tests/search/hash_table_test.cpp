// Transposition table: size and clearing, score fields, aging, and a random
// run of stores (all depths up to the "write" command's 120, both marks) that
// checks every field and the replacement rules (slot, copies) after each one.
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
  // Buckets are whole 64-byte groups inside the table, also for a size that
  // is not a power of two (a loaded file).
  for (int mb : {1, 3}) {
    ASSERT_TRUE(AllocateHashTable(mb));
    EXPECT_EQ(Hash.entryCount, uint64_t(mb) * 131072);
    for (uint64_t key : {~0ull, 0x123456789abcdefull, 0xfffffff8ull, 0ull}) {
      const uintptr_t at = reinterpret_cast<uintptr_t>(BucketOf(key));
      EXPECT_EQ(at % 64, 0u);
      EXPECT_LE(BucketOf(key) + 8, Hash.entries + Hash.entryCount);
    }
  }
}

TEST_F(HashTableTest, EveryScoreFieldReadsBackClamped) {
  // Fields split over the two words: 12 bits in the first, 2 in the second.
  for (int32_t field = 0; field < 16384; ++field) {
    const Score score = field - HashScoreBias;
    StoreExact(KeyOf(1), MoveE2E4, 10, score);
    const HashEntry& e = bucket()[SlotOf(1, 10)];
    ASSERT_EQ(EntryStoredScore(e), field);
    ASSERT_EQ(EntryScore(e), std::clamp(score, -ClampedEntryScore, ClampedEntryScore));
    ASSERT_EQ(EntryMoveLow(e), uint32_t(MoveE2E4));
    ASSERT_TRUE(EntryMatches(e, KeyOf(1)) && EntryIsExact(e));
  }
  EXPECT_EQ(CopiesOf(1), 1);
}

TEST_F(HashTableTest, PriorityOrder) {
  // Indexed by the low byte of the first word (generation << 6 | depth); the
  // higher priority is replaced first: the shallower of two entries of one
  // age, the older of two of one depth. Deep entries kept across searches
  // stay below every other entry, whatever their age.
  for (bool preserve : {false, true}) {
    PreserveAnalysis = preserve;
    for (int g = 0; g < 4; ++g) {
      NewSearchGeneration(g);
      auto priority = [g](int age, int depth) { return Hash.priority[((g - age) & 3) << 6 | depth]; };
      for (int age = 0; age < 4; ++age)
        for (int depth = 0; depth < 64; ++depth) {
          SCOPED_TRACE(::testing::Message() << "generation " << g << " age " << age << " depth " << depth);
          const bool kept = preserve && depth >= 22;
          const int32_t here = priority(age, depth);
          EXPECT_TRUE(depth == 0 || here < priority(age, depth - 1));
          EXPECT_TRUE(age == 0 || kept || here > priority(age - 1, depth));
          EXPECT_TRUE(!kept || here < priority(0, 21));   // the lowest entry not kept
        }
    }
  }
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
             EntryMoveLow(e) == (uint32_t(move) & SquareBits) && EntryStoredScore(e) == score + HashScoreBias &&
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
      ASSERT_LE(std::abs(EntryScore(*found)), ClampedEntryScore);
    }
  }
}
