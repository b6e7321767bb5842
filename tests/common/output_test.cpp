// Routing of the output operations: what reaches the front end, what only the log.
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include <vector>
#include "common/output.h"
#include "platform/platform.h"
#include "tests/support/captured_output.h"

namespace {
std::vector<std::string>& out = CapturedLines;

}  // namespace

TEST(Output, SilentSlaveAndChildRouting) {
  out.clear();
  SetStdoutWriter(CaptureLine);
  std::FILE* log = std::tmpfile();
  Output.textLog = log;
  Output.textLogOpenTick = platform::NowMs();
  Output.lastLogSecond = -1;
  Send("bestmove e2e4");
  InfoString("hello %d", 5);
  Reply("readyok");
  Output.silentMode = true;
  Send("info depth 3");
  InfoString("quiet");
  Reply("readyok");   // answers even in silent mode
  Output.silentMode = false;
  Output.isChild = true;
  Reply("readyok");
  Output.isChild = false;
  Log("only in the log\n");
  Output.textLog = nullptr;
  SetStdoutWriter(nullptr);
  std::vector<std::string> expected = {"bestmove e2e4", "info string hello 5", "readyok", "readyok"};
  EXPECT_EQ(out, expected);
  const std::string text = ReadAll(log);
  std::fclose(log);
  // The first line carries the second number, lines within the same second do not.
  EXPECT_EQ(text.substr(0, 25), "   0  <<-- bestmove e2e4\n");
  EXPECT_NE(text.find("\n                hello 5\n"), std::string::npos);
  EXPECT_NE(text.find("      <<-- info depth 3\n"), std::string::npos);
  EXPECT_NE(text.find("           !!!! readyok\n"), std::string::npos);
  EXPECT_NE(text.find("           only in the log\n"), std::string::npos);
  EXPECT_EQ(text.find("only in the log\n\n"), std::string::npos);   // trailing line feed removed
}

// A line of every move of a long game (or every root move with its score)
// reaches the front end and the log whole, not cut at a buffer size.
TEST(Output, LongLinesStayWhole) {
  out.clear();
  SetStdoutWriter(CaptureLine);
  std::FILE* log = std::tmpfile();
  Output.textLog = log;
  Output.lastLogSecond = -1;
  const std::string moves(20000, 'e');
  Send("info allmoves %s", moves.c_str());
  Output.textLog = nullptr;
  SetStdoutWriter(nullptr);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0], "info allmoves " + moves);
  const std::string text = ReadAll(log);
  std::fclose(log);
  EXPECT_NE(text.find("<<-- info allmoves " + moves + "\n"), std::string::npos);
}
