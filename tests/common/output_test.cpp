// Routing of the output operations: what reaches the front end, what only the
// log, and long lines kept whole in both.
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include <vector>
#include "common/output.h"
#include "platform/platform.h"
#include "tests/support/captured_output.h"

namespace {
class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CapturedLines.clear();
    SetStdoutWriter(CaptureLine);
    Output.textLog = log_;
    Output.textLogOpenTick = platform::NowMs();
    Output.lastLogSecond = -1;
  }
  void TearDown() override {
    Output.textLog = nullptr;
    SetStdoutWriter(nullptr);
    std::fclose(log_);
  }
  std::string LogText() { return ReadAll(log_); }
  std::FILE* log_ = std::tmpfile();
};
}  // namespace

TEST_F(OutputTest, SilentSlaveAndChildRouting) {
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
  EXPECT_EQ(CapturedLines,
            (std::vector<std::string>{"bestmove e2e4", "info string hello 5", "readyok", "readyok"}));
  const std::string text = LogText();
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
TEST_F(OutputTest, LongLinesStayWhole) {
  const std::string moves(20000, 'e');
  Send("info allmoves %s", moves.c_str());
  EXPECT_EQ(CapturedLines, std::vector<std::string>{"info allmoves " + moves});
  EXPECT_NE(LogText().find("<<-- info allmoves " + moves + "\n"), std::string::npos);
}
