// Splitting a protocol line into its words.
#pragma once
#include <string>
#include <vector>

// The words of a line: runs of characters between blanks, tabs and line ends.
// Empty when the line holds none.
std::vector<std::string> SplitWords(const std::string& line);
