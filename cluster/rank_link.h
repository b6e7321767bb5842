// How the ranks of the cluster reach each other: text lines, each tagged
// with what it is. Rank 0 talks to the front end and leads; every rank
// drives one engine. The MPI job provides the link (mpi/mpi_link.h); the
// tests provide their own.
#pragma once
#include <string>

namespace cluster {

enum class Tag : int {
  ForEngine = 1,    // rank 0 -> rank: a line to write to the rank's engine
  FromEngine = 2,   // rank -> rank 0: a line the rank's engine wrote
  Control = 3,      // "ready PID", "restarted PID", "gone", "quit", "bye"
};

class RankLink {
 public:
  virtual ~RankLink() = default;
  virtual int Rank() const = 0;
  virtual int Size() const = 0;
  virtual void Send(int to, Tag tag, const std::string& text) = 0;
  // A waiting message from any rank, without blocking.
  virtual bool Poll(int& from, Tag& tag, std::string& text) = 0;
};

}  // namespace cluster
