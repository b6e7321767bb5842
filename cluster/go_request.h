// The front end's "go" as the ranks' engines get it. It keeps the limits the
// line names (its searchmoves aside: the controller deals the moves) and
// writes each rank's line: the limits, "slave 1 id JOB" and the rank's moves.
// An engine that starts over in the middle of a search gets the time already
// spent taken off its clock, and a node limit is the whole cluster's, split
// among the ranks that search.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace cluster {

class GoRequest {
 public:
  GoRequest() = default;
  GoRequest(const std::string& goLine, bool whiteToMove);

  bool Ponder() const { return ponder_; }
  bool Infinite() const { return infinite_; }
  // Ended by the clock or a move time, not by depth or nodes alone.
  bool Timed() const { return timed_; }
  // Should no engine answer, the search ends this long after the clock
  // starts: a third of the mover's time, or the move time and half a second.
  // 0: no such limit.
  uint64_t LastResortMs() const;
  const std::vector<std::string>& SearchMoves() const { return searchMoves_; }

  // "ponderhit": a normal search from now on. "stop": ends it now.
  void PonderHit() { ponder_ = false; }
  void Stop() { ponder_ = infinite_ = false; }

  std::string LineFor(const std::vector<std::string>& share, uint64_t elapsedMs, int searchingRanks, int job) const;

 private:
  std::vector<std::string> words_;   // the limits, in the front end's order
  std::vector<std::string> searchMoves_;
  bool whiteToMove_ = true;
  bool ponder_ = false, infinite_ = false, timed_ = false;
  int64_t ownTimeMs_ = 0, moveTimeMs_ = 0;
};

}  // namespace cluster
