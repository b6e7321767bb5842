// Running tolvo-tbgen from the tests, and the tables it writes.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>
#include "tests/support/engine_process.h"

struct ToolRun {
  int exitCode = -1;
  std::vector<std::string> lines;   // standard output
};

// Runs the tool with the arguments, feeds it the input lines, and waits for it.
inline ToolRun RunTbgen(const std::vector<std::string>& args, const std::vector<std::string>& input = {},
                        int timeoutMs = 600000) {
  EngineProcess tool(args, TOLVO_TBGEN_BINARY);
  EXPECT_TRUE(tool.Started());
  // Input goes in while the answers come out: neither pipe may fill up.
  std::thread feeder([&] {
    for (const std::string& line : input) tool.Send(line);
    tool.CloseInput();
  });
  ToolRun run;
  run.lines = tool.ReadAll(timeoutMs);
  feeder.join();
  run.exitCode = tool.Wait(timeoutMs);
  return run;
}

// Generates the tables (and what they lead into) into dir; fails the test unless all went well.
inline void GenerateTables(const std::string& dir, const std::vector<std::string>& tables,
                           const std::vector<std::string>& extra = {}) {
  std::vector<std::string> args{"-q", "--threads", "2", "-o", dir};
  args.insert(args.end(), extra.begin(), extra.end());
  args.insert(args.end(), tables.begin(), tables.end());
  const ToolRun run = RunTbgen(args);
  ASSERT_EQ(run.exitCode, 0) << ::testing::PrintToString(run.lines);
}
