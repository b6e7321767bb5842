// The driver's side of a search: the "go" line and its limits, the time
// budget, the checks the search runs between its moves, and the reports.
#pragma once
#include <cstdint>
#include <string>
#include "driver/options.h"

// What "go" hands to the search start besides the limits in `Search.limits`.
struct GoRequest {
  int movesToGo = 0;
  int ownTime = 0;          // ms
  int ownIncrement = 0;     // ms
  int contempt = 0;
  bool clockGiven = false;  // the line carried the side to move's clock
  uint64_t receivedTick = 0;  // when the command arrived; its time counts as used
  bool alone = false;       // the children do not search along (bench: a count that depends on nothing else)
};

// "go ..." / "goe ...": reads the line into `Search.limits`, then searches.
void ParseGo(const std::string& line);
// Only the reading part of ParseGo: resets `Search.limits` and the output flags of
// the previous "go" and reads every keyword.
GoRequest ReadGoLine(const std::string& line);
// Time budget, set-up, the search of Engine.position, and its reports.
// Engine.searching is false again when it returns.
void StartSearch(const GoRequest& request);

// Time allocation from the clock. All values in ms.
struct ClockState {
  int64_t ownTime = 0;
  int64_t ownIncrement = 0;
  int64_t movesToGo = 0;
  uint64_t largestOwnTime = 0;   // of this game, own time included
  bool unexpectedReply = true;   // the position is not the one predicted by the last ponder move
};
struct TimeBudget {
  uint64_t target = 0;
  uint64_t maximum = 0;
  bool hardMoveDepth = false;    // own time below the hard buffer: depth is limited too
};
TimeBudget AllocateTime(const ClockState& clock, const EngineOptions& options);
// Steps of the search start that turn the clock into `Search.limits` (target,
// maximum, depth, play mode) and log the result.
void ApplyClock(const GoRequest& request);
// Search depth (internal units) of the limited-strength mode at this Elo.
int LimitedStrengthDepth(int elo);

// The time, node and stop rules of the periodic check; throws SearchStopped.
void TimeCheck();

// One principal-variation line of the report (`useCurrentCounters`: time
// and nodes of now rather than those of the line), and the root's best move
// failing low (the HTML log shows such lines).
void ReportPvLine(int index, bool useCurrentCounters, const RootMove& rm);
void ReportRootFailLow(const RootMove& rm);
// The "bestmove" line (or the silent-mode report) of the current root result.
void ReportBestMove();

// The dialogue with a controller that shares work: "posted" stores a result
// in the table; "deny" removes a root move and "take" keeps only one, during
// a search (false when the line does not apply now).
void HandlePosted(const std::string& line);
bool HandleDeny(const std::string& line);
bool HandleTake(const std::string& line);
// A controlled search whose own clock says the move is due tells the
// controller which move it takes ("taking J <move>") and searches only that
// one from then on; the rest of a group does the same. Once per search (it
// leaves one root move); nothing outside a controlled search of one line.
void TakeBestRootMove();

// Command rows.
void HandleStopCommand();
void HandlePonderHit();
// "tt [N]": three fixed searches of N - 1 plies (7 without N).
void HandleTestSearches(const std::string& line);
// "bench [depth]": fixed searches of a set of positions, node count and speed.
void HandleBench(const std::string& line);
