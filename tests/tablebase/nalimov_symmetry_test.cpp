// Symmetries the index must respect: the left-right mirror with pawns, all
// eight board symmetries without (save the diagonal case), and the order of
// like men.
#include <gtest/gtest.h>
#include <algorithm>
#include "tests/support/test_data.h"
#include "tests/tablebase/nalimov_positions.h"

namespace {

bool HasPawns(const nalimov::TableInfo& t) { return std::string_view(t.name).find('p') != std::string_view::npos; }

Square FileMirror(Square s) { return s < 64 ? s ^ 7 : s; }
Square Diagonal(Square s) { return MakeSquare(RankOf(s), FileOf(s)); }
// The eight symmetries: XOR masks 0, 7, 56, 63, each with or without the diagonal reflection.
Square Image(int t, Square s) {
  constexpr int masks[4] = {0, 7, 56, 63};
  s ^= masks[t & 3];
  return t & 4 ? Diagonal(s) : s;
}
bool OnLongDiagonal(Square a, Square b) {
  return (FileOf(a) == RankOf(a) && FileOf(b) == RankOf(b)) ||
         (FileOf(a) + RankOf(a) == 7 && FileOf(b) + RankOf(b) == 7);
}
// Same men on the same squares, like men in any order.
bool SameMen(const TablePosition& a, const TablePosition& b) {
  for (int c = 0; c < 2; ++c)
    for (int k = 0; k < nalimov::ManKinds; ++k) {
      Bitboard x = 0, y = 0;
      for (int j = 0; j < a.men[c].count[k]; ++j) {
        x |= SquareBit(a.men[c].slots[3 * k + j]);
        y |= SquareBit(b.men[c].slots[3 * k + j]);
      }
      if (x != y) return false;
    }
  return a.men[0].slots[nalimov::KingSlot] == b.men[0].slots[nalimov::KingSlot] &&
         a.men[1].slots[nalimov::KingSlot] == b.men[1].slots[nalimov::KingSlot];
}
int Samples(int perTable) { return Sanitized() ? perTable / 4 : perTable; }

}  // namespace

TEST(NalimovSymmetry, PawnPositionsEqualTheirMirrorImages) {
  std::mt19937_64 rng(11);
  for (const nalimov::TableInfo& t : nalimov::Tables()) {
    if (!HasPawns(t)) continue;
    for (Color stm : {White, Black})
      for (int i = 0; i < Samples(40); ++i) {
        const TablePosition p = RandomLegal(t.name, stm, rng);
        ASSERT_EQ(p.Index(t.number), p.Mapped(FileMirror).Index(t.number)) << t.name << " " << i;
      }
  }
}

TEST(NalimovSymmetry, PawnlessPositionsEqualAllEightImagesOffTheDiagonal) {
  std::mt19937_64 rng(12);
  for (const nalimov::TableInfo& t : nalimov::Tables()) {
    if (HasPawns(t)) continue;
    for (Color stm : {White, Black})
      for (int i = 0; i < Samples(40); ++i) {
        const TablePosition p = RandomLegal(t.name, stm, rng);
        if (OnLongDiagonal(p.men[0].slots[nalimov::KingSlot], p.men[1].slots[nalimov::KingSlot])) continue;
        const uint64_t index = p.Index(t.number);
        for (int image = 1; image < 8; ++image)
          ASSERT_EQ(index, p.Mapped([image](Square s) { return Image(image, s); }).Index(t.number))
              << t.name << " image " << image;
      }
  }
}

// With both kings on one long diagonal the men are not reflected further: a
// position and its reflection in that diagonal are two entries, unless the
// position is its own reflection. The other symmetries still agree.
TEST(NalimovSymmetry, KingsOnTheLongDiagonalKeepTwoEntries) {
  std::mt19937_64 rng(13);
  int distinct = 0;
  for (const char* name : {"kqk", "krkn", "kbnk", "kqrkr", "krrkbn"}) {
    const int number = nalimov::TableByName(name)->number;
    for (int i = 0; i < Samples(400); ++i) {
      TablePosition p = RandomLegal(name, Color(i & 1), rng);
      const Square wk = MakeSquare(int(rng() % 8), 0), bk = MakeSquare(int(rng() % 8), 0);
      p.men[White].slots[nalimov::KingSlot] = Square(9 * FileOf(wk));
      p.men[Black].slots[nalimov::KingSlot] = Square(9 * FileOf(bk));
      if (!IsLegal(p)) continue;
      const TablePosition reflected = p.Mapped(Diagonal);
      const bool selfSymmetric = SameMen(p, reflected);
      const uint64_t index = p.Index(number), other = reflected.Index(number);
      EXPECT_EQ(index, p.Mapped([](Square s) { return Image(3, s); }).Index(number)) << name;
      EXPECT_EQ(other, reflected.Mapped([](Square s) { return Image(3, s); }).Index(number)) << name;
      if (!selfSymmetric) {
        EXPECT_NE(index, other) << name;
        ++distinct;
      }
    }
  }
  EXPECT_GT(distinct, Samples(400));
}

TEST(NalimovSymmetry, LikeMenInAnyOrderGiveOneIndex) {
  std::mt19937_64 rng(14);
  for (const nalimov::TableInfo& t : nalimov::Tables()) {
    int count[2][nalimov::ManKinds] = {};
    MaterialOfName(t.name, count);
    for (Color stm : {White, Black})
      for (int i = 0; i < Samples(20); ++i) {
        const TablePosition p = RandomLegal(t.name, stm, rng);
        const uint64_t index = p.Index(t.number);
        for (int c = 0; c < 2; ++c)
          for (int k = 0; k < nalimov::ManKinds; ++k) {
            if (count[c][k] < 2) continue;
            TablePosition q = p;
            Square* first = q.men[c].slots + 3 * k;
            std::sort(first, first + count[c][k]);
            while (std::next_permutation(first, first + count[c][k]))
              ASSERT_EQ(index, q.Index(t.number)) << t.name;
          }
      }
  }
}
