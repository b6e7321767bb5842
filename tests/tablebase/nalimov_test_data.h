// The reference numbers of the Nalimov files (tests/data/nalimov): the table
// list with every file's length, and positions with the index the files give.
#pragma once
#include <gtest/gtest.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct CountsRow {
  int number, men;
  std::string name, epStart[2];
  uint64_t entries[2];
  bool symmetric, split;
  int bits;
};

struct VectorRow {
  std::string table, file, fen;
  int number;
  char side, flag;   // side 'w'/'b' of the table's files; flag 'x' = colours exchanged
  uint64_t index;
};

// Splits the tab-separated lines of a data file after its header; a missing
// file fails the calling test.
inline std::vector<std::vector<std::string>> ReadNalimovTsv(const std::string& name) {
  std::vector<std::vector<std::string>> rows;
  std::string path = std::string(TOLVO_TEST_DATA_DIR) + "/nalimov/" + name;
  std::ifstream in(path);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string f; std::getline(split, f, '\t');) fields.push_back(f);
    rows.push_back(fields);
  }
  return rows;
}

inline std::vector<CountsRow> LoadCounts() {
  std::vector<CountsRow> rows;
  for (const auto& f : ReadNalimovTsv("counts.tsv")) {
    EXPECT_EQ(f.size(), 10u);
    if (f.size() != 10) continue;
    rows.push_back({std::stoi(f[0]), std::stoi(f[2]), f[1], {f[8], f[9]},
                    {std::stoull(f[3]), std::stoull(f[4])}, f[5] == "1", f[7] == "1", std::stoi(f[6])});
  }
  EXPECT_EQ(rows.size(), 440u);
  return rows;
}

inline std::vector<VectorRow> LoadVectors() {
  std::vector<VectorRow> rows;
  for (const auto& f : ReadNalimovTsv("vectors.tsv")) {
    EXPECT_EQ(f.size(), 7u);
    if (f.size() != 7) continue;
    rows.push_back({f[0], f[4], f[5], std::stoi(f[1]), f[2][0], f[3][0], std::stoull(f[6])});
  }
  EXPECT_EQ(rows.size(), 5860u);
  return rows;
}
