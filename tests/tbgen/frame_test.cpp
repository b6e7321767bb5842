// The generator's own numbering: one index per position up to the board's
// symmetries (all eight without pawns, the left-right mirror with them),
// like men as a set; and the tables an endgame leads into.
#include <gtest/gtest.h>
#include <algorithm>
#include <set>
#include "board/position.h"
#include "tbgen/endgame.h"
#include "tbgen/frame.h"

namespace {

using tbgen::Frame;
using tbgen::MaxFrameMen;

Square Image(Square s, int symmetry) {
  s ^= (symmetry & 1 ? 7 : 0) ^ (symmetry & 2 ? 56 : 0);
  return symmetry & 4 ? Square(((s & 7) << 3) | (s >> 3)) : s;
}

uint64_t HeldIndices(const Frame& f) {
  uint64_t held = 0;
  for (uint64_t i = 0; i < f.size; ++i) held += f.Holds(i);
  return held;
}

}  // namespace

// Each class of positions under the symmetries holds exactly one index
// (Burnside's count: positions plus those fixed by a diagonal reflection,
// over eight; with pawns no position is its own mirror image).
TEST(TbgenFrame, OneIndexPerPositionUpToSymmetry) {
  const struct {
    const char* table;
    uint64_t classes;
  } rows[] = {
      {"kqk", (64ull * 63 * 62 + 2 * 8 * 7 * 6) / 8},
      {"kpk", 48ull * 63 * 62 / 2},
      {"kbnk", (64ull * 63 * 62 * 61 + 2 * 8 * 7 * 6 * 5) / 8},
      {"knnk", (64ull * 63 * 62 * 61 / 2 + 2 * 8 * 7 * (15 + 28)) / 8},
      {"kppk", 48ull * 47 / 2 * 62 * 61 / 2},
  };
  for (const auto& r : rows) EXPECT_EQ(HeldIndices(Frame(tbgen::MaterialOfName(r.table))), r.classes) << r.table;
}

TEST(TbgenFrame, EveryImageOfAPositionHasItsIndex) {
  for (const char* table : {"kqkr", "krrk", "krpkr", "kppkp"}) {
    const Frame f(tbgen::MaterialOfName(table));
    const int symmetries = f.pawns ? 2 : 8;
    int checked = 0;
    for (uint64_t i = 0; i < f.size; i += 7919) {
      if (!f.Holds(i)) continue;
      Square sq[MaxFrameMen];
      f.Decode(i, sq);
      for (int t = 0; t < symmetries; ++t) {
        Square image[MaxFrameMen];
        for (int m = 0; m < f.men; ++m) image[m] = Image(sq[m], t);
        // Like men in the other order are the same position.
        for (int m = 2; m + 1 < f.men; ++m)
          if (f.groupSize[m] > 1 && f.groupStart[m] == f.groupStart[m + 1]) std::swap(image[m], image[m + 1]);
        ASSERT_EQ(f.Encode(image), i) << table << " index " << i << " symmetry " << t;
      }
      ++checked;
    }
    EXPECT_GT(checked, 50) << table;
  }
}

TEST(TbgenEndgame, CapturesAndPromotionsLeadIntoTheListedTables) {
  auto names = [](const char* table) {
    std::set<std::string> set;
    for (const nalimov::TableInfo* t : tbgen::SuccessorTables(*nalimov::TableByName(table))) set.insert(t->name);
    return set;
  };
  EXPECT_EQ(names("krpkr"), (std::set<std::string>{"krkr", "krpk", "krkp", "kqrkr", "krrkr", "krbkr", "krnkr", "kqrk",
                                                   "krrk", "krbk", "krnk"}));
  EXPECT_EQ(names("kpk"), (std::set<std::string>{"kqk", "krk", "kbk", "knk"}));
  // Black's promotions (taking the queen or not) and both sides' captures.
  EXPECT_EQ(names("kqkp"),
            (std::set<std::string>{"kqk", "kpk", "kqkq", "kqkr", "kqkb", "kqkn", "krk", "kbk", "knk"}));
  EXPECT_EQ(names("knk"), std::set<std::string>{});
}

TEST(TbgenEndgame, TablesComeAfterEverythingTheyLeadInto) {
  const auto order = tbgen::BuildOrder({nalimov::TableByName("kqpkq"), nalimov::TableByName("kbnkn")});
  std::set<const nalimov::TableInfo*> done;
  for (const nalimov::TableInfo* t : order) {
    for (const nalimov::TableInfo* next : tbgen::SuccessorTables(*t))
      EXPECT_TRUE(done.count(next)) << t->name << " before " << next->name;
    EXPECT_TRUE(done.insert(t).second) << t->name << " twice";
  }
  EXPECT_TRUE(done.count(nalimov::TableByName("kqqkq")));
  EXPECT_TRUE(done.count(nalimov::TableByName("knk")));
  EXPECT_FALSE(done.count(nalimov::TableByName("krpkr")));
}
