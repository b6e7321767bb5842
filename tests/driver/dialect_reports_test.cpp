// The root narration of the dialects: "info allmoves" after hqz5 and
// "info sample" after kvx5, each only where the dialect asked for it.
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include "tests/support/engine_process.h"


TEST(DialectReports, AllMovesListsTheRootMovesFromDepthFourteen) {
  EngineProcess e;
  e.Send("hqz5");
  e.WaitFor("hqz5ok");
  e.Send("position startpos");
  e.Send("go depth 6");
  const auto lines = e.ReadUntil("bestmove");
  // Iterations below internal depth 14 list nothing, deeper ones all 20 moves.
  EXPECT_GE(CountPrefix(lines, "info allmoves"), 4);
  bool empty = false, full = false;
  for (const std::string& l : lines) {
    if (l == "info allmoves") empty = true;
    if (l.rfind("info allmoves ", 0) == 0) full = full || std::count(l.begin(), l.end(), ' ') == 21;
  }
  EXPECT_TRUE(empty);
  EXPECT_TRUE(full);
  e.Send("quit");
}

TEST(DialectReports, SamplesOnlyWithKvx5AndOnlyDeep) {
  EngineProcess e;
  e.Send("position startpos");
  e.Send("go depth 9");
  EXPECT_EQ(CountPrefix(e.ReadUntil("bestmove"), "info sample"), 0);   // not asked for
  e.Send("kvx5");
  e.WaitFor("kvx5ok");
  e.Send("ucinewgame");   // the searches start from an empty table
  e.Send("position startpos");
  e.Send("go depth 6");   // internal depth 18: too shallow for samples
  EXPECT_EQ(CountPrefix(e.ReadUntil("bestmove"), "info sample"), 0);
  e.Send("go depth 9");   // internal depth 24
  const auto lines = e.ReadUntil("bestmove");
  EXPECT_GE(CountPrefix(lines, "info sample"), 1);
  bool searching = false, worse = false;
  for (const std::string& l : lines) {
    searching = searching || (l.rfind("info sample ", 0) == 0 && l.find(" issearching") != std::string::npos);
    worse = worse || l.rfind("info sample isworse ", 0) == 0;
  }
  EXPECT_TRUE(searching);
  EXPECT_TRUE(worse);
  e.Send("quit");
}
