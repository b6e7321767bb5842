// Protocol lines captured in-process (SetStdoutWriter(CaptureLine)) and the
// text of temporary log files.
#pragma once
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

inline std::vector<std::string> CapturedLines;
inline void CaptureLine(std::string_view line) { CapturedLines.emplace_back(line); }

inline bool Printed(const std::string& line) {
  for (const std::string& s : CapturedLines)
    if (s == line) return true;
  return false;
}

inline std::string ReadAll(std::FILE* f) {
  std::rewind(f);
  std::string s;
  char buf[512];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  return s;
}
