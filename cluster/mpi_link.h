// The ranks of the MPI job and the text lines they send each other. Rank 0
// talks to the front end and leads; every rank drives one engine. Lines go
// to rank 0 tagged with what they are; rank 0 sends lines for an engine and
// control words.
#pragma once
#include <string>

namespace cluster {

enum class Tag : int {
  ForEngine = 1,    // rank 0 -> rank: a line to write to the rank's engine
  FromEngine = 2,   // rank -> rank 0: a line the rank's engine wrote
  Control = 3,      // either way: "quit", "restarted", "gone", "ready"
};

class MpiLink {
 public:
  MpiLink(int* argc, char*** argv);
  ~MpiLink();
  MpiLink(const MpiLink&) = delete;
  MpiLink& operator=(const MpiLink&) = delete;
  int Rank() const { return rank_; }
  int Size() const { return size_; }
  void Send(int to, Tag tag, const std::string& text);
  // A waiting message from any rank, without blocking.
  bool Poll(int& from, Tag& tag, std::string& text);

 private:
  int rank_ = 0, size_ = 1;
};

}  // namespace cluster
