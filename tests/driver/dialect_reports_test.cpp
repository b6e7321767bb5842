// The root narration of the dialects: "info allmoves" after hqz5 and
// "info sample" after kvx5, each only where the dialect asked for it.
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include "tests/support/engine_process.h"

TEST(DialectReports, AllMovesAfterHqz5AndDeepSamplesAfterKvx5) {
  EngineProcess e;
  e.Send("position startpos");
  e.Send("go depth 9");
  std::vector<std::string> lines = e.ReadUntil("bestmove");   // neither asked for
  EXPECT_EQ(CountPrefix(lines, "info sample") + CountPrefix(lines, "info allmoves"), 0);
  e.Send("hqz5");
  e.WaitFor("hqz5ok");
  e.Send("kvx5");
  e.WaitFor("kvx5ok");
  e.Send("ucinewgame");   // the searches start from an empty table
  e.Send("position startpos");
  e.Send("go depth 6");   // internal depth 18: too shallow for samples
  lines = e.ReadUntil("bestmove");
  EXPECT_EQ(CountPrefix(lines, "info sample"), 0);
  // Iterations below internal depth 14 list nothing, deeper ones all 20 moves.
  EXPECT_GE(CountPrefix(lines, "info allmoves"), 4);
  bool empty = false, full = false;
  for (const std::string& l : lines) {
    empty = empty || l == "info allmoves";
    full = full || (l.rfind("info allmoves ", 0) == 0 && std::count(l.begin(), l.end(), ' ') == 21);
  }
  EXPECT_TRUE(empty);
  EXPECT_TRUE(full);
  e.Send("go depth 9");   // internal depth 24
  lines = e.ReadUntil("bestmove");
  EXPECT_GE(CountPrefix(lines, "info sample"), 1);
  bool searching = false, worse = false;
  for (const std::string& l : lines) {
    searching = searching || (l.rfind("info sample ", 0) == 0 && l.find(" issearching") != std::string::npos);
    worse = worse || l.rfind("info sample isworse ", 0) == 0;
  }
  EXPECT_TRUE(searching);
  EXPECT_TRUE(worse);
  e.Quit();
}
