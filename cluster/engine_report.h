// What the cluster reads from an engine's "info" lines: the depth, the score
// (as text for the front end and as a number that orders mates beyond every
// centipawn score), the nodes and the variation.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace cluster {

struct EngineReport {
  int depth = 0;
  int order = 0;            // comparable score: centipawns, mates beyond MateOrder - 1000
  std::string scoreText;    // "cp 35" or "mate -4"
  uint64_t nodes = 0;
  int timeMs = 0;
  std::string pv;           // moves separated by blanks
  bool bound = false;       // a lowerbound or upperbound score: not a finished line
};

constexpr int MateOrder = 1'000'000;

// The report of an "info" line that carries a depth, a score and a variation;
// nothing for other lines (current move, depth alone, strings).
std::optional<EngineReport> ReadInfoLine(const std::string& line);
// The node count of any "info" line that has one (0 otherwise).
uint64_t NodesOfInfoLine(const std::string& line);
// The first and second move of a variation ("" where it has none).
std::string FirstMove(const std::string& pv);
std::string SecondMove(const std::string& pv);

}  // namespace cluster
