// Tables for the compressed-file tests: random bytes, constant bytes, repeats
// at fixed strides, and a table that looks like a real one (a king and rook
// against a king, indexed like the files: one man per 6 bits).
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>
#include <unistd.h>
#include <gtest/gtest.h>
#include "tablebase/emd_file.h"

inline std::vector<uint8_t> RandomTable(size_t bytes, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> table(bytes);
  for (uint8_t& b : table) b = uint8_t(random());
  return table;
}

// Rows of 64 entries that mostly repeat the row 64 or 62 * 64 entries earlier,
// with a few changes, runs of one value and a scattering of noise.
inline std::vector<uint8_t> StridedTable(size_t bytes, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> table(bytes);
  for (size_t i = 0; i < bytes; ++i) {
    const uint32_t r = random() % 100;
    if (i >= 62 * 64 && r < 45) table[i] = table[i - 62 * 64];
    else if (i >= 64 && r < 80) table[i] = table[i - 64];
    else if (i >= 1 && r < 90) table[i] = table[i - 1];
    else table[i] = uint8_t(r < 97 ? 0 : random() % 20 + 100);
  }
  return table;
}

// Entries of "king and rook against king", white to move, indexed
// (white king, black king, rook) with 6 bits each: 127 for impossible
// placements, a draw when the rook hangs, otherwise a mate distance that
// grows with the black king's distance from the edge and from the white king.
inline std::vector<uint8_t> RookEndingTable(size_t bytes) {
  auto file = [](int s) { return s & 7; };
  auto rank = [](int s) { return s >> 3; };
  auto distance = [&](int a, int b) { return std::max(std::abs(file(a) - file(b)), std::abs(rank(a) - rank(b))); };
  std::vector<uint8_t> table(bytes);
  for (size_t index = 0; index < bytes; ++index) {
    const int whiteKing = int(index >> 12) & 63, blackKing = int(index >> 6) & 63, rook = int(index) & 63;
    uint8_t value;
    if (whiteKing == blackKing || rook == whiteKing || rook == blackKing || distance(whiteKing, blackKing) < 2) {
      value = 127;
    } else if (distance(rook, blackKing) == 1 && distance(rook, whiteKing) > 1) {
      value = 0;
    } else {
      const int edge = std::min({file(blackKing), 7 - file(blackKing), rank(blackKing), 7 - rank(blackKing)});
      value = uint8_t(127 - (2 * edge + distance(whiteKing, blackKing) + (file(rook) == file(blackKing))));
    }
    table[index] = value;
  }
  return table;
}

// A larger table laid out like a five-man file (two kings and three men,
// 6 bits each, the last man fastest): impossible placements 127, draws where
// a man of the weaker side stands next to the black king, otherwise mate
// distances from the kings' distance and the black king's edge distance,
// shifted by the men's ranks.
inline std::vector<uint8_t> FiveMenLikeTable(size_t bytes) {
  auto distance = [](int a, int b) { return std::max(std::abs((a & 7) - (b & 7)), std::abs((a >> 3) - (b >> 3))); };
  std::vector<uint8_t> table(bytes);
  for (size_t index = 0; index < bytes; ++index) {
    int sq[5];
    for (int m = 0; m < 5; ++m) sq[m] = int(index >> (6 * (4 - m))) & 63;
    bool impossible = distance(sq[0], sq[1]) < 2;
    for (int a = 0; a < 5 && !impossible; ++a)
      for (int b = a + 1; b < 5; ++b) impossible |= sq[a] == sq[b];
    uint8_t value;
    if (impossible) {
      value = 127;
    } else if (distance(sq[4], sq[1]) == 1 && (sq[2] >> 3) < 3) {
      value = 0;
    } else {
      const int bk = sq[1];
      const int edge = std::min({bk & 7, 7 - (bk & 7), bk >> 3, 7 - (bk >> 3)});
      value = uint8_t(126 - (3 * edge + distance(sq[0], bk) + (sq[3] >> 4) + ((sq[2] & 7) == (bk & 7))));
    }
    table[index] = value;
  }
  return table;
}

// The same values as 16-bit entries, low byte first.
inline std::vector<uint8_t> Widened(const std::vector<uint8_t>& table) {
  std::vector<uint8_t> wide;
  for (uint8_t b : table) {
    const int8_t v = int8_t(b);
    const int16_t w = v == 127 ? 32767 : v > 0 ? int16_t(v + 32640) : v < 0 ? int16_t(v - 32640) : 0;
    wide.push_back(uint8_t(w & 255));
    wide.push_back(uint8_t(uint16_t(w) >> 8));
  }
  return wide;
}

// Every block of an opened file, decoded and joined; fails the test at the
// first block that does not decode.
inline std::vector<uint8_t> DecodeAll(emd::EmdFile& file) {
  std::vector<uint8_t> joined;
  for (uint32_t block = 0; block < file.BlockCount(); ++block) {
    std::vector<uint8_t> out(file.BlockLength(block));
    const emd::EmdError error = file.ReadBlock(block, out.data());
    EXPECT_EQ(error, emd::EmdError::None) << "block " << block;
    if (error != emd::EmdError::None) return {};
    joined.insert(joined.end(), out.begin(), out.end());
  }
  return joined;
}

inline std::string EmdTempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/tolvo_emd_" + std::to_string(::getpid()) + "_" + name;
}
