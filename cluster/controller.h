// Rank 0 of the cluster: the UCI engine the front end talks to. It deals the
// root moves of each search among the ranks' engines, passes deep results of
// one engine ("posting") to the others ("posted"), shows the front end one
// stream of lines with the nodes of all ranks, and answers one best move on
// the front end's clock: the engines run with that clock and the engine's
// own time rules, and the first of them whose time is up ("taking", or its
// best move) ends the search for all.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "cluster/cluster_options.h"
#include "cluster/go_request.h"
#include "cluster/local_engine.h"
#include "cluster/rank_link.h"
#include "cluster/shared_search.h"
#include "board/position.h"

namespace cluster {

class Controller {
 public:
  Controller(RankLink& link, const ClusterOptions& options);
  // Runs the dialogue until "quit" or the end of the input; the exit code.
  int Run();

 private:
  struct Member {
    bool usable = false;          // its engine runs and answers
    bool searching = false;       // in the current search, not answered yet
    bool stopping = false;        // told to stop so that it starts over with more moves
    std::vector<std::string> share;
    std::string bestMoveLine;
    // Searches it was left out of: its lines up to the best move of each
    // belong to them, not to the search now running.
    int lateAnswers = 0;
    int lines = 0;                // lines it sent in the current search (the log reports them)
    bool readyAwaited = false;    // "isready" sent, "readyok" not yet back
  };

  // Lines to and from the ranks' engines (rank 0's own engine directly).
  void SendTo(int rank, const std::string& line);
  void SendToAll(const std::string& line);
  void OnEngineLine(int rank, const std::string& line);
  void OnControl(int rank, const std::string& word);
  bool PollRanks();

  // The front end.
  void OnFrontEnd(const std::string& line);
  void Out(const std::string& line);
  void Log(const std::string& line);

  // The search.
  void StartClock(uint64_t nowMs);
  void StartSearch(const std::string& goLine);
  std::string GoLineFor(const std::vector<std::string>& share) const;
  void EndSearchSoon();
  void CheckSearchEnd();
  void CheckReady();
  void Answer();
  void HandOverShare(int deadRank);
  std::vector<std::string> RootMoves(const std::vector<std::string>& restrict) const;

  RankLink& link_;
  ClusterOptions options_;
  LocalEngine engine_;
  std::vector<Member> members_;
  std::string position_ = "position startpos";
  Position root_;                 // position_ read once: the root of the next search
  bool rootKnown_ = false;
  std::string authorLine_;
  bool quit_ = false;
  int readyOwed_ = 0;             // "readyok" lines owed to the front end
  uint64_t readyDeadline_ = 0;    // ... by then at the latest

  // The running search.
  bool searching_ = false;
  GoRequest go_;
  bool ending_ = false;           // the first engine's time is up: the others are told to stop
  int job_ = 0;
  uint64_t startMs_ = 0, endDeadline_ = 0, hardDeadline_ = 0;
  uint64_t clockStartMs_ = 0;     // the "go", or the "ponderhit" of a ponder search
  int ranksWithMoves_ = 1;
  SharedSearch search_;
  int shownLines_ = 0;
};

}  // namespace cluster
