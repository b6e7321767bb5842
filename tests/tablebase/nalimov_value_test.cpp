// The values of the Nalimov files both ways: every byte, the 16-bit scale
// a reader widens bytes to, what cannot be stored, and the deep kppkp entries.
#include <gtest/gtest.h>
#include "tablebase/nalimov_value.h"

using nalimov::TableValue;

// Every byte reads back as itself, and widened to the 16-bit scale (as a
// reader does, or as the value is written in a word) it means the same.
TEST(NalimovValue, EveryByteReadsBackAsItselfAndWidens) {
  for (int b = -128; b <= 127; ++b) {
    const TableValue v = nalimov::FromByte(int8_t(b));
    EXPECT_EQ(nalimov::ToByte(v), int8_t(b)) << b << " read as " << v.Text();
    EXPECT_EQ(v.outcome == nalimov::Outcome::Unknown, b == nalimov::BrokenByte) << b;
    if (b == nalimov::BrokenByte) continue;
    EXPECT_EQ(nalimov::FromWord(nalimov::WidenByte(int8_t(b))), v) << b;
    EXPECT_EQ(nalimov::ToWord(v), nalimov::WidenByte(int8_t(b))) << b;
  }
}

TEST(NalimovValue, BytesOfTheFormat) {
  const struct {
    int8_t byte;
    TableValue value;
    int16_t wide;
  } rows[] = {
      {0, TableValue::Draw(), 0},
      {126, TableValue::MateIn(1), 32766},
      {123, TableValue::MateIn(4), 32763},
      {1, TableValue::MateIn(126), 32641},
      {-128, TableValue::MateIn(127), 32640},
      {-126, TableValue::MatedIn(0), -32766},
      {-120, TableValue::MatedIn(6), -32760},
      {-1, TableValue::MatedIn(125), -32641},
      {-127, TableValue::MatedIn(126), -32640},
      {127, TableValue::Unknown(), 32767},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(nalimov::FromByte(r.byte), r.value) << int(r.byte);
    EXPECT_EQ(nalimov::WidenByte(r.byte), r.wide) << int(r.byte);
  }
}

// Words span their whole range both ways; what fits neither a byte nor a
// word is stored as the broken mark.
TEST(NalimovValue, WordsSpanTheirRangeAndWhatDoesNotFitIsBroken) {
  for (int n : {1, 2, 127, 128, 1000, nalimov::WordMaxMate})
    EXPECT_EQ(nalimov::FromWord(nalimov::ToWord(TableValue::MateIn(n))), TableValue::MateIn(n)) << n;
  for (int n : {0, 1, 126, 127, 1000, nalimov::WordMaxMated})
    EXPECT_EQ(nalimov::FromWord(nalimov::ToWord(TableValue::MatedIn(n))), TableValue::MatedIn(n)) << n;
  EXPECT_EQ(nalimov::FromWord(nalimov::BrokenWord), TableValue::Unknown());
  EXPECT_EQ(nalimov::FromWord(-32768), TableValue::Unknown());
  for (const TableValue& v :
       {TableValue::MateIn(128), TableValue::MatedIn(127), TableValue::MateIn(0), TableValue::Unknown()})
    EXPECT_EQ(nalimov::ToByte(v), nalimov::BrokenByte) << v.Text();
  EXPECT_EQ(nalimov::ToWord(TableValue::MateIn(32767)), nalimov::BrokenWord);
  EXPECT_EQ(nalimov::ToWord(TableValue::MatedIn(32766)), nalimov::BrokenWord);
}

// Moves and plies, and the value one move earlier.
TEST(NalimovValue, PliesAndTheMoveBefore) {
  EXPECT_EQ(TableValue::MateIn(3).Plies(), 5);
  EXPECT_EQ(TableValue::MatedIn(3).Plies(), 6);
  for (int plies = 0; plies < 300; ++plies) EXPECT_EQ(TableValue::FromPlies(plies).Plies(), plies);
  EXPECT_EQ(TableValue::MatedIn(0).Before(), TableValue::MateIn(1));
  EXPECT_EQ(TableValue::MateIn(1).Before(), TableValue::MatedIn(1));
  EXPECT_EQ(TableValue::MatedIn(7).Before(), TableValue::MateIn(8));
  EXPECT_EQ(TableValue::Draw().Before(), TableValue::Draw());
  // Faster wins, then draws, then slower losses.
  EXPECT_GT(TableValue::MateIn(2).Goodness(), TableValue::MateIn(3).Goodness());
  EXPECT_GT(TableValue::MateIn(127).Goodness(), TableValue::Draw().Goodness());
  EXPECT_GT(TableValue::Draw().Goodness(), TableValue::MatedIn(126).Goodness());
  EXPECT_GT(TableValue::MatedIn(5).Goodness(), TableValue::MatedIn(4).Goodness());
}

TEST(NalimovValue, DeepEntriesAreTheSevenOfKppkpBlackToMove) {
  constexpr int Kppkp = 36;
  const uint64_t deep[] = {56802428, 56811076, 56849992, 56858640, 59592489, 67775659, 71071628};
  for (uint64_t i : deep) {
    EXPECT_TRUE(nalimov::IsDeepEntry(Kppkp, Black, i)) << i;
    EXPECT_FALSE(nalimov::IsDeepEntry(Kppkp, White, i)) << i;
    EXPECT_FALSE(nalimov::IsDeepEntry(Kppkp + 1, Black, i)) << i;
    EXPECT_FALSE(nalimov::IsDeepEntry(Kppkp, Black, i + 1)) << i;
  }
  EXPECT_EQ(nalimov::DeepEntryValue, TableValue::MatedIn(127));
}
