#include "common/words.h"

std::vector<std::string> SplitWords(const std::string& line) {
  static constexpr const char* Blanks = " \t\r\n";
  std::vector<std::string> words;
  size_t i = line.find_first_not_of(Blanks);
  while (i != std::string::npos) {
    size_t end = line.find_first_of(Blanks, i);
    if (end == std::string::npos) end = line.size();
    words.push_back(line.substr(i, end - i));
    i = line.find_first_not_of(Blanks, end);
  }
  return words;
}
