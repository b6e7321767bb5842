// What a controller's lines may have done to a running search. The engine
// reads "deny", "take" and MultiPV lines in order, but at moments the fuzzer
// does not see: a line sent during a search may be read while it runs (and
// change its root moves) or after it has ended (and be refused). So every
// state the search may be in is kept: one per number of lines read so far,
// and per way a line whose effect is not known may have gone. An answer is
// judged against all of them; a line is owed only when every state owes it.
#pragma once
#include <string>
#include <vector>
#include "board/position.h"

namespace fuzz {

// A move as "deny" and "take" read it: squares and promotion only, file
// letters in either case, a fifth character other than q, r, b or n
// ignored. Empty when the text names no move.
std::string ControllerMoveKey(const std::string& text);

struct RootState {
  int read = 0;                 // controller lines of this search the engine has read
  int multiPv = 1;              // -1: not known
  std::vector<Move> moves;      // root entries the search may hold
  int count = 0;                // entries it holds (1 after a take, when `moves` may list more); -1: not known
  bool took = false;            // it has written "taking"
  bool operator==(const RootState& o) const;
};

class RootControl {
 public:
  // A search starts. `rootMoves`: its root moves, or null when they are not
  // known; `multiPv`: the MultiPV it starts with (-1: not known); `slave`:
  // the N of "go ... slave N".
  void Start(const std::vector<Move>* rootMoves, int multiPv, int slave);

  // Lines sent to the engine while the search may run (in the order sent).
  void Deny(const std::string& moveText);
  void Take(const std::string& moveText);
  void MultiPv(int value);   // -1: not known
  // "stop" sent: the lines after it are read once the search has ended.
  void Close();
  int Sent() const { return int(lines_.size()); }

  // The engine has read at least `lines` lines during the search.
  void ReadAtLeast(int lines);
  // "taking <move>" written: false when no state allows it.
  bool Taking(const std::string& moveText);
  // Some state holds this root move (always true when the moves are not known).
  bool MayHold(Move m) const;
  // Every state owes a "taking" once the clock ends the search: MultiPV 1,
  // at least two root moves, none taken yet.
  bool TakingOwed() const;
  // The MultiPV once the search has ended and every line sent has been read: -1 when it depends.
  int MultiPvAfter() const;
  // The root moves some state may still hold (all of them when not known).
  std::vector<Move> Candidates() const;
  bool Known() const { return known_ && !lost_; }
  int Slave() const { return slave_; }
  bool TakingSeen() const { return takingSeen_; }
  // Lines every state has read (those known to have been read during the search).
  int SurelyRead() const;
  // What the states hold, for a fault report.
  std::string Describe() const;

 private:
  enum class Kind { Deny, Take, MultiPv };
  struct Line {
    Kind kind;
    std::string key;   // (deny, take) the move as the engine reads it
    int value = 0;     // (MultiPV)
  };
  // The states `s` may reach by reading line `index`.
  void Advance(const RootState& s, const Line& line, std::vector<RootState>& out) const;
  // Every state reachable from the kept ones by reading further lines during the search.
  std::vector<RootState> Expanded() const;
  int SearchLines() const { return closedAt_ < 0 ? int(lines_.size()) : closedAt_; }
  void Keep(std::vector<RootState> states);

  bool known_ = false;
  bool lost_ = false;            // too many states: nothing is judged any more
  int slave_ = 0;
  bool takingSeen_ = false;
  int closedAt_ = -1;
  std::vector<Line> lines_;
  std::vector<RootState> states_;
};

}  // namespace fuzz
