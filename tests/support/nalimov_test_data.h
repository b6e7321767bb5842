// The reference numbers of the Nalimov files (tests/data/nalimov): the table
// list with every file's length, and positions with the index the files give.
// A missing or short file fails the calling test.
#pragma once
#include <gtest/gtest.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// The tab-separated fields of each line after the header.
inline std::vector<std::vector<std::string>> ReadNalimovTsv(const std::string& name, size_t fields, size_t lines) {
  std::vector<std::vector<std::string>> rows;
  const std::string path = std::string(TOLVO_TEST_DATA_DIR) + "/nalimov/" + name;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    rows.emplace_back();
    std::istringstream split(line);
    for (std::string f; std::getline(split, f, '\t');) rows.back().push_back(f);
    if (rows.back().size() != fields) rows.pop_back();
  }
  EXPECT_EQ(rows.size(), lines) << "lines of " << fields << " fields in " << path;
  return rows;
}

// num, table, men, wtm_count, btm_count, symmetric, bits, split, wtm_ep_base, btm_ep_base
inline std::vector<std::vector<std::string>> LoadCounts() { return ReadNalimovTsv("counts.tsv", 10, 440); }
// table, num, side (w/b), flag (- or x = colours exchanged), file, fen, index
inline std::vector<std::vector<std::string>> LoadVectors() { return ReadNalimovTsv("vectors.tsv", 7, 5860); }
