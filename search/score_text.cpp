// Score text of the search reports.
#include <cstdio>
#include "search/search.h"

std::string FormatScore(int score) {
  char text[32];
  if (score >= -MaxOrdinaryScore && score <= MaxOrdinaryScore) {
    std::snprintf(text, sizeof text, "cp %d", score);
    return text;
  }
  int n;
  if (score == -MateScore) {
    n = -1;   // mated now
  } else if (score > MaxOrdinaryScore) {
    n = (MateScore - score) / 2 + 1;
  } else {
    n = (-MateScore - score) / 2 + 1;
    if (n <= 0) --n;
  }
  std::snprintf(text, sizeof text, "mate %d", n);
  return text;
}
