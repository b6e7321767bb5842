// Work split over threads with a progress line on standard error: table,
// pass, percentage and positions per second.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace tbgen {

class Progress {
 public:
  explicit Progress(bool enabled) : enabled_(enabled) {}
  void SetTable(const std::string& table) { table_ = table; }
  // Runs body(begin, end) over [0, count) in chunks on `threads` threads,
  // showing `pass` with its progress until all chunks are done.
  void Run(const std::string& pass, uint64_t count, int threads,
           const std::function<void(uint64_t, uint64_t)>& body);
  // Ends the line of the current table with a closing note.
  void Finish(const std::string& note);

 private:
  void Show(const std::string& pass, uint64_t done, uint64_t count, double seconds, bool final);
  bool enabled_;
  std::string table_;
  bool lineOpen_ = false;
};

}  // namespace tbgen
