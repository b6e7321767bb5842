// The Gaviota tablebases as an independent oracle for the generated tables:
// win, draw or loss and the distance to mate of a position, through Debian's
// Gaviota probing library.
#pragma once
#include <string>
#include "common/types.h"
#include "tablebase/nalimov_value.h"

namespace tbcheck {

// Men of a position, as square lists per colour with their kinds
// (nalimov::ManKind numbering, kings as kind 5).
struct Men {
  int count[2] = {};
  Square square[2][6] = {};
  int kind[2][6] = {};
  void Add(Color c, int k, Square s) {
    square[c][count[c]] = s;
    kind[c][count[c]++] = k;
  }
};
constexpr int KingKindNumber = 5;

class GaviotaOracle {
 public:
  // Opens the Gaviota files (compression scheme 4) of a directory; false
  // when the library finds none there.
  bool Open(const std::string& dir);
  ~GaviotaOracle();
  // Value for the side to move; Unknown when Gaviota has no answer.
  // ep: en-passant target square or -1.
  nalimov::TableValue Probe(const Men& men, Color stm, Square ep) const;

 private:
  const char** paths_ = nullptr;
  bool open_ = false;
};

}  // namespace tbcheck
