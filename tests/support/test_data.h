// Reference data shared by the tests.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct PerftCase {
  std::string fen;
  std::vector<uint64_t> counts;   // counts[d - 1] = perft d
};

inline std::vector<PerftCase> LoadPerftCases() {
  std::vector<PerftCase> cases;
  std::ifstream in(std::string(TOLVO_DATA_DIR) + "/perft.epd");
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
  return cases;
}

inline std::vector<std::string> LoadOpeningFens() {
  std::vector<std::string> fens;
  std::ifstream in(std::string(TOLVO_DATA_DIR) + "/openings.epd");
  std::string line;
  while (std::getline(in, line))
    if (!line.empty()) fens.push_back(line);
  return fens;
}

// Sanitizer builds run the same tests on smaller budgets.
inline bool Sanitized() { return std::getenv("TOLVO_SANITIZED") != nullptr; }
