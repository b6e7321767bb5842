// Reference data shared by the tests.
#pragma once
#include <gtest/gtest.h>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>
#include "board/position.h"

// A data file of tests/data; a test that cannot find its data, or finds
// nothing in it, must fail, never pass on an empty list.
inline std::string TestDataPath(const std::string& name) {
  const std::string path = std::string(TOLVO_TEST_DATA_DIR) + "/" + name;
  if (!std::ifstream(path)) throw std::runtime_error("test data missing: " + path);
  return path;
}

struct PerftCase {
  std::string fen;
  std::vector<uint64_t> counts;   // counts[d - 1] = perft d
};

inline std::vector<PerftCase> LoadPerftCases() {
  std::vector<PerftCase> cases;
  std::ifstream in(TestDataPath("perft.epd"));
  std::string line;
  while (std::getline(in, line)) {
    size_t semi = line.find(';');
    if (semi == std::string::npos) continue;
    PerftCase c;
    c.fen = line.substr(0, semi);
    std::istringstream rest(line.substr(semi));
    std::string tag;
    uint64_t n;
    while (rest >> tag >> n) c.counts.push_back(n);
    cases.push_back(c);
  }
  if (cases.empty()) throw std::runtime_error("no perft cases in perft.epd");
  return cases;
}

inline std::vector<std::string> LoadOpeningFens() {
  std::vector<std::string> fens;
  std::ifstream in(TestDataPath("openings.epd"));
  std::string line;
  while (std::getline(in, line))
    if (!line.empty()) fens.push_back(line);
  if (fens.empty()) throw std::runtime_error("no positions in openings.epd");
  return fens;
}

// A position that must read; a FEN the test cannot read fails it.
inline Position FromFen(const std::string& fen) {
  Position p;
  EXPECT_TRUE(SetPositionFromFen(p, fen.c_str())) << fen;
  return p;
}

// Sanitizer builds run the same tests on smaller budgets.
inline bool Sanitized() { return std::getenv("TOLVO_SANITIZED") != nullptr; }
