// The table catalogue against the published file lengths, and the index
// space of every layout against the files it numbers.
#include <gtest/gtest.h>
#include "tablebase/nalimov_index.h"
#include "tests/tablebase/nalimov_test_data.h"

TEST(NalimovCatalogue, EveryTableMatchesThePublishedList) {
  const auto rows = LoadCounts();
  ASSERT_EQ(nalimov::Tables().size(), rows.size());
  for (const CountsRow& row : rows) {
    const nalimov::TableInfo* t = nalimov::TableByName(row.name);
    ASSERT_NE(t, nullptr) << row.name;
    EXPECT_EQ(t, nalimov::TableByNumber(row.number)) << row.name;
    EXPECT_EQ(t->men, row.men) << row.name;
    EXPECT_EQ(t->entries[White], row.entries[0]) << row.name;
    EXPECT_EQ(t->entries[Black], row.entries[1]) << row.name;
    EXPECT_EQ(t->symmetric, row.symmetric) << row.name;
    EXPECT_EQ(t->bits, row.bits) << row.name;
    EXPECT_EQ(t->split, row.split) << row.name;
    for (int side = 0; side < 2; ++side)
      EXPECT_EQ(t->listedEpStart[side], row.epStart[side] == "-" ? 0 : std::stoull(row.epStart[side])) << row.name;
  }
  EXPECT_EQ(nalimov::TableByNumber(0), nullptr);
  EXPECT_EQ(nalimov::TableByNumber(441), nullptr);
  EXPECT_EQ(nalimov::TableByName("kk"), nullptr);
}

// Every file is its layout's index space less at most a thin tail of
// unreachable entries (the largest cut is under 0.1%); the en-passant section
// starts where the format lists it, and only tables with pawns of both
// colours have one. A wrong radix or base anywhere shows up here.
TEST(NalimovCatalogue, IndexSpacesMatchFileLengths) {
  for (const nalimov::TableInfo& t : nalimov::Tables())
    for (Color side : {White, Black}) {
      const nalimov::IndexLayout& layout = nalimov::Layout(t.number, side);
      const uint64_t entries = t.entries[side];
      const std::string name = std::string(t.name) + (side == White ? " wtm" : " btm");
      EXPECT_GE(layout.Size(), entries) << name;
      EXPECT_LE(layout.Size() - entries, layout.Size() / 1000) << name;
      const std::string_view n(t.name);
      const bool bothPawns = n.find('p') < n.rfind('k') && n.find('p', n.rfind('k')) != std::string_view::npos;
      EXPECT_EQ(layout.epSize > 0, bothPawns) << name;
      if (bothPawns) {
        EXPECT_LT(layout.ordinarySize, entries) << name;
      }
      if (t.listedEpStart[side]) {
        EXPECT_EQ(layout.ordinarySize, t.listedEpStart[side]) << name;
      }
    }
}
