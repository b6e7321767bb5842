// Symmetries the index must respect: the left-right mirror with pawns, all
// eight board symmetries without (save the diagonal case), and the order of
// like men.
#include <gtest/gtest.h>
#include <algorithm>
#include "tests/support/test_data.h"
#include "tests/tablebase/nalimov_positions.h"

namespace {

bool HasPawns(const nalimov::TableInfo& t) { return std::string_view(t.name).find('p') != std::string_view::npos; }
int Samples(int perSide) { return Sanitized() ? perSide / 4 : perSide; }

}  // namespace

// Like men in any order; with pawns, a position and its left-right mirror
// image; without, all eight images unless both kings share a long diagonal
// (next test).
TEST(NalimovSymmetry, ImagesAndLikeMenOrdersShareTheEntry) {
  std::mt19937_64 rng(11);
  for (const nalimov::TableInfo& t : nalimov::Tables())
    for (Color stm : {White, Black})
      for (int i = 0; i < Samples(40); ++i) {
        const TablePosition p = RandomLegal(t.name, stm, rng);
        const uint64_t index = p.Index(t.number);
        for (int c = 0; c < 2; ++c)
          for (int k = 0; k < ManKinds; ++k) {
            TablePosition q = p;
            Square* first = q.men[c].slots + 3 * k;
            std::sort(first, first + p.men[c].count[k]);
            while (std::next_permutation(first, first + p.men[c].count[k])) ASSERT_EQ(index, q.Index(t.number)) << t.name;
          }
        const Square wk = p.men[White].slots[KingSlot], bk = p.men[Black].slots[KingSlot];
        const bool diagonalKings = (FileOf(wk) == RankOf(wk) && FileOf(bk) == RankOf(bk)) ||
                                   (FileOf(wk) + RankOf(wk) == 7 && FileOf(bk) + RankOf(bk) == 7);
        if (!HasPawns(t) && diagonalKings) continue;
        for (int image : HasPawns(t) ? std::vector<int>{1} : std::vector<int>{1, 2, 3, 4, 5, 6, 7})
          ASSERT_EQ(index, p.Mapped([image](Square s) { return Symmetric(image, s); }).Index(t.number))
              << t.name << " image " << image;
      }
}

// With both kings on the a1-h8 diagonal the men are not reflected further: a
// position and its reflection in that diagonal are two entries, unless the
// position is its own reflection. The half turn still shares the entry.
TEST(NalimovSymmetry, KingsOnTheLongDiagonalKeepTwoEntries) {
  std::mt19937_64 rng(13);
  int distinct = 0;
  for (const char* name : {"kqk", "krkn", "kbnk", "kqrkr", "krrkbn"}) {
    const int number = nalimov::TableByName(name)->number;
    for (int i = 0; i < Samples(400); ++i) {
      TablePosition p = RandomLegal(name, Color(i & 1), rng);
      p.men[White].slots[KingSlot] = Square(9 * (rng() % 8));
      p.men[Black].slots[KingSlot] = Square(9 * (rng() % 8));
      if (!IsLegal(p)) continue;
      const TablePosition reflected = p.Mapped([](Square s) { return Symmetric(4, s); });
      const uint64_t index = p.Index(number), other = reflected.Index(number);
      EXPECT_EQ(index, p.Mapped([](Square s) { return Symmetric(3, s); }).Index(number)) << name;
      if (Code(p, 0) != Code(reflected, 0)) {
        EXPECT_NE(index, other) << name;
        ++distinct;
      } else {
        EXPECT_EQ(index, other) << name;
      }
    }
  }
  EXPECT_GT(distinct, Samples(400));
}
