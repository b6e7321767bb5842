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
#include "board/castling_setup.h"
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

// The perft files: the standard reference, the Chess960 reference and the
// Chess960 castling cases (counts from Stockfish; the king shielded by the
// castling rook, king and rook trading squares, a castling that mates...).
// The Chess960 files are read in Chess960 mode.
struct PerftFile {
  const char* name;
  bool chess960;
  size_t positions;
};
inline constexpr PerftFile PerftFiles[] = {
    {"perft.epd", false, 43}, {"perft960.epd", true, 26}, {"castling960.epd", true, 11}};

// Chess960 mode on (or off) for the life of a scope.
class Chess960Scope {
 public:
  explicit Chess960Scope(bool on) : saved_(Chess960Mode) { Chess960Mode = on; }
  ~Chess960Scope() { Chess960Mode = saved_; }
  Chess960Scope(const Chess960Scope&) = delete;
  Chess960Scope& operator=(const Chess960Scope&) = delete;

 private:
  bool saved_;
};

inline std::vector<PerftCase> LoadPerftCases(const std::string& name = "perft.epd") {
  std::vector<PerftCase> cases;
  std::ifstream in(TestDataPath(name));
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
  if (cases.empty()) throw std::runtime_error("no perft cases in " + name);
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
