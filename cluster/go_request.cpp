#include "cluster/go_request.h"

#include <algorithm>
#include <cstdlib>
#include "common/words.h"

namespace cluster {

namespace {
// Limits whose value follows them.
bool TakesValue(const std::string& w) {
  return w == "wtime" || w == "btime" || w == "winc" || w == "binc" || w == "movestogo" || w == "movetime" ||
         w == "depth" || w == "nodes" || w == "mate";
}
}  // namespace

GoRequest::GoRequest(const std::string& goLine, bool whiteToMove) : whiteToMove_(whiteToMove) {
  const std::vector<std::string> words = SplitWords(goLine);
  bool inSearchMoves = false;
  for (size_t i = 1; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (w == "searchmoves") {
      inSearchMoves = true;
    } else if (TakesValue(w) && i + 1 < words.size()) {
      inSearchMoves = false;
      words_.push_back(w);
      words_.push_back(words[++i]);
      if (w == (whiteToMove ? "wtime" : "btime")) ownTimeMs_ = std::atoll(words[i].c_str()), timed_ = true;
      if (w == "movetime") moveTimeMs_ = std::atoll(words[i].c_str()), timed_ = true;
    } else if (w == "ponder" || w == "infinite") {
      inSearchMoves = false;
      words_.push_back(w);
      (w == "ponder" ? ponder_ : infinite_) = true;
    } else if (inSearchMoves) {
      searchMoves_.push_back(w);
    }
  }
}

uint64_t GoRequest::LastResortMs() const {
  if (ownTimeMs_ > 0) return uint64_t(std::max<int64_t>(ownTimeMs_ / 3, 20));
  if (moveTimeMs_ > 0) return uint64_t(moveTimeMs_) + 500;
  return 0;
}

std::string GoRequest::LineFor(const std::vector<std::string>& share, uint64_t elapsedMs, int searchingRanks,
                               int job) const {
  std::vector<std::string> words{"go"};
  for (size_t i = 0; i < words_.size(); ++i) {
    const std::string& w = words_[i];
    // After "ponderhit" an engine that starts over searches normally.
    if ((w == "ponder" && !ponder_) || (w == "infinite" && !infinite_)) continue;
    words.push_back(w);
    if (TakesValue(w) && i + 1 < words_.size()) {
      long long v = std::atoll(words_[++i].c_str());
      if (w == (whiteToMove_ ? "wtime" : "btime") || w == "movetime") v = std::max(1LL, v - (long long)elapsedMs);
      if (w == "nodes") v = std::max(1LL, v / std::max(1LL, (long long)searchingRanks));
      words.push_back(std::to_string(v));
    }
  }
  words.insert(words.end(), {"slave", "1", "id", std::to_string(job)});
  words.insert(words.end(), share.begin(), share.end());
  std::string line;
  for (const std::string& w : words) line.append(line.empty() ? "" : " ").append(w);
  return line;
}

}  // namespace cluster
