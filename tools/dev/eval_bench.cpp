// Evaluation speed: full evaluations per second over the positions of the
// given EPD files, with the pawn cache cleared before every pass (cold).
// Usage: tolvo_evalbench file.epd [file.epd ...]
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>
#include "board/position.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"

int main(int argc, char** argv) {
  InitBoard();
  InitEvaluation();
  std::vector<Position> positions;
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i]);
    std::string line;
    while (std::getline(in, line)) {
      std::string fen = line.substr(0, line.find(';'));
      Position p;
      if (!fen.empty() && SetPositionFromFen(p, fen.c_str()) && CheckPositionConsistency(p)) positions.push_back(p);
    }
  }
  if (positions.empty()) return 1;
  const int passes = 2000;
  long long checksum = 0, evaluations = 0;
  auto start = std::chrono::steady_clock::now();
  for (int pass = 0; pass < passes; ++pass) {
    ClearPawnCache();
    for (const Position& p : positions) {
      EvalInfo ei{};
      ei.sideSign = p.sideToMove == White ? 1 : -1;
      checksum += EvaluateUncached(p, ei);
      ++evaluations;
    }
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("positions: %zu  evaluations: %lld  checksum: %lld\n", positions.size(), evaluations, checksum);
  std::printf("evaluations/second (cold pawn cache): %.0f\n", evaluations / seconds);
}
