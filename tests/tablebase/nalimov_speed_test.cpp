// How many index calls a second a table generator can expect; prints the
// rate per table and guards against a slow path creeping into the routine.
#include <gtest/gtest.h>
#include <chrono>
#include <cstdio>
#include <vector>
#include "tests/support/test_data.h"
#include "tests/tablebase/nalimov_positions.h"

TEST(NalimovSpeed, IndexCallsPerSecond) {
  std::mt19937_64 rng(31);
  for (auto [name, stm] : {std::pair{"kqkr", White}, {"kppkp", Black}, {"krpkp", White}, {"kbnpk", Black},
                           {"kqrkr", White}, {"kqrbkn", White}, {"krpknp", Black}}) {
    const int number = nalimov::TableByName(name)->number;
    const nalimov::IndexLayout& layout = nalimov::Layout(number, stm);
    std::vector<TablePosition> positions;
    for (int i = 0; i < 512; ++i) positions.push_back(RandomLegal(name, stm, rng));
    const int rounds = Sanitized() ? 40 : 4000;
    uint64_t sum = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < rounds; ++r)
      for (const TablePosition& p : positions)
        sum += layout.Index(p.men[White].slots, p.men[Black].slots, nalimov::NoEnPassant, false);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double rate = rounds * positions.size() / seconds;
    std::printf("  %-7s %s to move: %6.1f million index calls per second\n", name, stm == White ? "white" : "black",
                rate / 1e6);
    EXPECT_NE(sum, 0u);   // uses the results, so the calls cannot be left out
    if (!Sanitized()) {
      EXPECT_GT(rate, 5e6) << name;
    }
  }
}
