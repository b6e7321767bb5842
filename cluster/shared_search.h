// One search shared among the ranks. Each rank searches its share of the
// root moves; its lines are kept by depth. The best move is the one whose
// line scores highest at the deepest depth that every rank with a line has
// finished (lines of different depths are not compared), and the front end
// sees each line that is the best so far at its depth or deeper.
#pragma once
#include <climits>
#include <cstdint>
#include <map>
#include <string>
#include <vector>
#include "cluster/engine_report.h"

namespace cluster {

class SharedSearch {
 public:
  void Begin(int ranks);
  // A rank's line; true when the front end should see it.
  bool Record(int rank, const EngineReport& r);
  // The node count a rank's running search has reached.
  void RecordNodes(int rank, uint64_t nodes);
  // A rank's search ends early (its engine died, or it starts over with more
  // moves): its nodes so far still count, its lines stay.
  void BankNodes(int rank);
  uint64_t Nodes() const;
  uint64_t NodesOf(int rank) const;

  struct Choice {
    bool found = false;
    int rank = -1, depth = 0;
    std::string move, ponder;
    EngineReport line;
  };
  Choice Best() const;

 private:
  struct RankLines {
    std::map<int, EngineReport> byDepth;
    uint64_t nodes = 0, banked = 0;
  };
  std::vector<RankLines> ranks_;
  int shownDepth_ = 0, shownOrder_ = INT_MIN;
};

}  // namespace cluster
