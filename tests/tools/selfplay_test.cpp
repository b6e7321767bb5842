// The self-play data builder, run as the tuner's users run it: its lines must
// be positions the tuner can load, each with a game result, and a second run
// into the same file must add to it rather than replace it.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include "board/position.h"
#include "tests/support/engine_process.h"

namespace {
std::vector<std::string> RunSelfplay(const std::string& out, const std::string& seed) {
  EngineProcess tool({"--openings", TOLVO_TEST_DATA_DIR "/openings.epd", "--out", out, "--games", "3", "--nodes",
                      "400", "--seed", seed},
                     TOLVO_SELFPLAY_BINARY);
  EXPECT_TRUE(tool.Started());
  tool.CloseInput();
  std::vector<std::string> lines = tool.ReadAll(120000);
  EXPECT_EQ(tool.Wait(10000), 0);
  return lines;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}
}  // namespace

TEST(Selfplay, WritesLoadableLabelledPositionsAndAppends) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("tolvo-selfplay-" +
                                                                              std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string out = (dir / "games.txt").string();
  RunSelfplay(out, "1");
  const std::vector<std::string> first = ReadLines(out);
  ASSERT_GT(first.size(), 20u) << "three games leave more than a handful of quiet positions";
  Position p;
  for (const std::string& line : first) {
    const size_t semi = line.find(';');
    ASSERT_NE(semi, std::string::npos) << line;
    const std::string label = line.substr(semi + 1);
    EXPECT_TRUE(label == "1" || label == "0" || label == "0.5") << line;
    ASSERT_TRUE(SetPositionFromFen(p, line.substr(0, semi).c_str())) << line;
    EXPECT_TRUE(CheckPositionConsistency(p)) << line;
    EXPECT_FALSE(InCheck(p)) << "a position in check is not quiet: " << line;
  }
  RunSelfplay(out, "2");
  const std::vector<std::string> both = ReadLines(out);
  ASSERT_GT(both.size(), first.size());
  EXPECT_TRUE(std::equal(first.begin(), first.end(), both.begin())) << "the second run replaced the first's games";
  std::filesystem::remove_all(dir);
}
