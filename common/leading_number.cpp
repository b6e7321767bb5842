#include "common/leading_number.h"

#include <climits>

int LeadingNumber(const std::string& text, size_t from) {
  size_t i = from;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    if (value <= INT_MAX) value = value * 10 + (text[i] - '0');
  if (negative) value = -value;
  return int(value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : value);
}
