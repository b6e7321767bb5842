// An option whose effect lies beyond its confirmation: Preserve Analysis
// rebuilds the replacement priorities of the table at once.
#include <gtest/gtest.h>
#include "common/output.h"
#include "driver/options.h"
#include "group/hash_memory.h"
#include "search/hash_table.h"

TEST(Options, PreserveAnalysisRebuildsTheReplacementPriorities) {
  ASSERT_TRUE(AllocateHashTable(1));
  SetStdoutWriter([](std::string_view) {});
  NewSearchGeneration(1);
  const int deepOld = 3 * 64 + 30, shallowNew = 1 * 64 + 4;   // generation << 6 | stored depth
  EXPECT_GT(Hash.priority[deepOld], Hash.priority[shallowNew]);   // the old entry goes first
  HandleSetOption("Preserve Analysis value true");
  EXPECT_LT(Hash.priority[deepOld], Hash.priority[shallowNew]);   // now it stays
  EXPECT_EQ(HashGeneration(), 1);
  HandleSetOption("preserve analysis value false");
  EXPECT_GT(Hash.priority[deepOld], Hash.priority[shallowNew]);
  SetStdoutWriter(nullptr);
}
