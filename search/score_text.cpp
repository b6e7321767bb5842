// Score text of the search reports.
#include <cstdio>
#include "search/search.h"

std::string FormatScore(int score) {
  char text[32];
  if (score >= -8000 && score <= 8000) {
    std::snprintf(text, sizeof text, "cp %d", score);
    return text;
  }
  int n;
  if (score == -8160) {
    n = -1;   // mated now
  } else if (score > 8000) {
    n = (8160 - score) / 2 + 1;
  } else {
    n = (-8160 - score) / 2 + 1;
    if (n <= 0) --n;
  }
  std::snprintf(text, sizeof text, "mate %d", n);
  return text;
}
