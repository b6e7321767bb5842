// tolvo-tb-check: compares generated tables with the Gaviota tables on
// every legal position (win, draw or loss and the distance to mate).
// Usage: tolvo-tb-check GAVIOTA_DIR TABLE_DIR [TABLE ...]   (default: every 3- and 4-man table)
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>
#include "board/position.h"
#include "tools/tb_check/oracle_compare.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: tolvo-tb-check GAVIOTA_DIR TABLE_DIR [TABLE ...]\n");
    return 2;
  }
  InitBoard();
  tbcheck::GaviotaOracle oracle;
  if (!oracle.Open(argv[1])) {
    std::fprintf(stderr, "tolvo-tb-check: no Gaviota tables in %s\n", argv[1]);
    return 1;
  }
  std::vector<const nalimov::TableInfo*> tables;
  for (int i = 3; i < argc; ++i) {
    const nalimov::TableInfo* t = nalimov::TableByName(argv[i]);
    if (!t) {
      std::fprintf(stderr, "tolvo-tb-check: no table %s\n", argv[i]);
      return 2;
    }
    tables.push_back(t);
  }
  if (tables.empty())
    for (const nalimov::TableInfo& t : nalimov::Tables())
      if (t.men <= 4) tables.push_back(&t);
  tbgen::TableFiles ours(argv[2]);
  uint64_t positions = 0, mismatches = 0;
  const auto start = std::chrono::steady_clock::now();
  for (const nalimov::TableInfo* t : tables) {
    std::string error;
    if (!ours.Open(*t, &error)) {
      std::fprintf(stderr, "tolvo-tb-check: %s\n", error.c_str());
      return 1;
    }
    const tbcheck::CompareReport r = tbcheck::CompareWithOracle(*t, ours, oracle);
    std::printf("%-6s %10llu positions, %llu mismatches\n", t->name, (unsigned long long)r.positions,
                (unsigned long long)r.mismatches);
    for (const std::string& e : r.examples) std::printf("    %s\n", e.c_str());
    std::fflush(stdout);
    positions += r.positions;
    mismatches += r.mismatches;
    ours.CloseAll();
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%zu tables, %llu positions compared with Gaviota, %llu mismatches (%.0f s)\n", tables.size(),
              (unsigned long long)positions, (unsigned long long)mismatches, seconds);
  return mismatches ? 1 : 0;
}
