// The table catalogue against the published file lengths, and the index
// space of every layout against the files it numbers.
#include <gtest/gtest.h>
#include "tablebase/nalimov_index.h"
#include "tests/support/nalimov_test_data.h"

TEST(NalimovCatalogue, EveryTableMatchesThePublishedList) {
  const auto rows = LoadCounts();
  ASSERT_EQ(nalimov::Tables().size(), rows.size());
  for (const auto& f : rows) {
    const nalimov::TableInfo* t = nalimov::TableByName(f[1]);
    ASSERT_NE(t, nullptr) << f[1];
    const std::string listed = f[0] + " " + f[2] + " " + f[3] + " " + f[4] + " " + f[5] + " " + f[6] + " " + f[7] +
                               " " + f[8] + " " + f[9];
    auto ep = [](uint64_t start) { return start ? std::to_string(start) : std::string("-"); };
    const std::string ours = std::to_string(t->number) + " " + std::to_string(t->men) + " " +
                             std::to_string(t->entries[White]) + " " + std::to_string(t->entries[Black]) + " " +
                             std::to_string(t->symmetric) + " " + std::to_string(t->bits) + " " +
                             std::to_string(t->split) + " " + ep(t->listedEpStart[White]) + " " +
                             ep(t->listedEpStart[Black]);
    EXPECT_EQ(ours, listed) << f[1];
    EXPECT_EQ(t, nalimov::TableByNumber(t->number));
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
