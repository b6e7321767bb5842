// The prober's entry point: which table, which file, or no table at all.
#include <gtest/gtest.h>
#include "tablebase/nalimov_locate.h"

namespace {

std::optional<nalimov::TableEntry> Locate(const char* fen) {
  Position p;
  EXPECT_TRUE(SetPositionFromFen(p, fen)) << fen;
  return nalimov::LocateEntry(p);
}

}  // namespace

TEST(NalimovLocate, MaterialsWithoutTableAreRefused) {
  EXPECT_FALSE(Locate("8/8/8/3k4/8/8/3K4/8 w - - 0 1"));                // bare kings
  EXPECT_FALSE(Locate("8/8/8/3k4/8/8/NNNK4/N7 w - - 0 1"));             // four like men
  EXPECT_FALSE(Locate("8/8/8/3k4/8/8/1NBK4/RQ6 w - - 0 1"));            // five men on one side
  EXPECT_FALSE(Locate("8/5pp1/8/3k4/8/8/2PK4/RQ6 w - - 0 1"));          // seven men
  nalimov::Army white(4), black(60);
  for (int i = 0; i < 4; ++i) white.Add(nalimov::KnightMan, 8 + i);
  EXPECT_FALSE(nalimov::LocateEntry(white, black, White, nalimov::NoEnPassant));
}

TEST(NalimovLocate, SixManTablesAsNamedOrExchanged) {
  // White K+N against K+Q+Q+N reads kqqnkn with colours exchanged: white to move reads its .nbb.
  auto e = Locate("8/2q5/8/3k4/8/5q2/1N1K4/6n1 w - - 0 1");
  ASSERT_TRUE(e);
  EXPECT_STREQ(e->table->name, "kqqnkn");
  EXPECT_TRUE(e->coloursExchanged);
  EXPECT_EQ(e->FileName(), "kqqnkn.nbb");
  EXPECT_LT(e->index, e->table->entries[Black]);

  // A symmetric table with pawns: black to move reads the .nbw file at the
  // white-to-move entry of the colour-reversed board.
  auto btm = Locate("8/3n4/8/2kp4/8/2PK4/8/6N1 b - - 0 1");
  auto reversed = Locate("6n1/8/2pk4/8/2KP4/8/3N4/8 w - - 0 1");
  ASSERT_TRUE(btm && reversed);
  EXPECT_EQ(btm->FileName(), "knpknp.nbw");
  EXPECT_EQ(reversed->FileName(), "knpknp.nbw");
  EXPECT_EQ(btm->index, reversed->index);
  EXPECT_LT(btm->index, btm->table->entries[White]);
}
