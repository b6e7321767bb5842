// What the search and the driver share: the limits of a "go", the root
// move table, the running counters of a search, and the calls between them.
#pragma once
#include <cstdint>
#include <string>
#include "board/position.h"

// Thrown to leave a running search at once ("stop", time or node limit);
// caught by the root search, which restores the position it saved.
struct SearchStopped {};

// Internal depth: D plies = 2 * (D + 3) units; units d = d / 2 - 3 plies.
constexpr int DepthUnitsOfPlies(int plies) { return 2 * (plies + 3); }
constexpr int PliesOfDepthUnits(int units) { return units / 2 - 3; }
constexpr uint64_t NoTimeLimit = 67108863;   // ms: "no clock"

struct SearchLimits {
  int32_t ownTime = 0;              // ms, side to move
  int32_t ownIncrement = 0;         // ms
  int32_t movesToGo = 0;
  int32_t contempt = 0;             // cp
  int32_t depthLimit = 2147483646;  // internal units
  uint64_t iterationNodeLimit = (uint64_t(1) << 63) - 1;
  uint64_t nodeLimit = (uint64_t(1) << 63) - 1;
  uint64_t moveTime = NoTimeLimit;  // ms
  uint64_t targetTime = NoTimeLimit;
  uint64_t maximumTime = NoTimeLimit;
  int32_t minScore = -64000;
  int32_t mate = 0;
  int32_t slaveLevel = 0;
  int32_t searchId = 0;
  Move searchMoves[257] = {};       // ended by 0
  int searchMoveCount = 0;
  bool playMode = false;
  bool silentMode = false;
};
extern SearchLimits Limits;

struct RootMove {
  Move move = 0;          // with the hash mark when it is the table's move
  int32_t depth = 0;      // iteration depth (internal units) of the score
  int32_t score = 0;      // root's view
  uint8_t lowerBound = 0;
  uint8_t upperBound = 0;
  uint64_t time = 1;      // ms from the search start when the score was obtained (at least 1)
  uint64_t nodes = 0;
  uint64_t tbHits = 0;
  std::string pv;         // coordinate moves separated by blanks
};
constexpr int MaxRootMoves = 256;

// Running state of the search of one "go" (engine-wide).
struct SearchState {
  RootMove rootMoves[MaxRootMoves + 1];   // best first; a zero move ends the table
  int rootMoveCount = 0;
  uint64_t nodes = 0;              // made moves of this search (this process)
  uint64_t tbHits = 0;
  uint64_t startTime = 0;          // ms tick of the search start
  int64_t countdown = 4096;        // made moves to the next periodic check
  uint64_t lastInfoTime = 0;       // tick of the last "info time" line
  int iterationDepth = 0;          // internal units of the iteration being searched
  int rootMoveIndex = -1;          // index of the root move being searched (0 = the current best)
  int rootScore = 0;               // best score so far (root's view)
  int rootResearchBound = 0;       // bound of the re-search of the current best move, when one runs
  bool rootResearchingBest = false;
  bool ponderHit = false;          // "ponderhit" arrived during this search
  // Best-move state of the reports.
  Move bestMove = 0;
  bool bestMoveAllowed = false;
  uint64_t expectedReplyKey = 0;
  uint64_t expectedReplyTime = 0;
  int processCount = 1;            // processes of the group (node counts are reported times this)
};
extern SearchState Search;

// Narration of the root search asked for by the protocol dialects: "info
// sample" lines (kvx5, from iteration depth 22 on) and "info allmoves" (hqz5).
extern bool RootSampleReports;
extern bool RootAllMovesReports;

// Randomizer: a 2^25-bit map of positions already played (absent = off).
extern uint8_t* RandomizerBitmap;
extern int RandomizerThreshold;
inline bool RandomizerBit(uint64_t key) { return RandomizerBitmap && ((RandomizerBitmap[(key >> 3) & 0x3FFFFF] >> (key & 7)) & 1); }
inline void SetRandomizerBit(uint64_t key, bool on) {
  if (!RandomizerBitmap) return;
  uint8_t& byte = RandomizerBitmap[(key >> 3) & 0x3FFFFF];
  byte = on ? uint8_t(byte | (1u << (key & 7))) : uint8_t(byte & ~(1u << (key & 7)));
}

// --- Provided by the search ---------------------------------------------
// Margins blended by the material on the board; once per "go".
void SetPhaseParameters(const Position& p);
// Iterative deepening for the side to move of `p` under `Limits`: fills the
// root move table and Search.bestMove. Returns when a limit ends the search
// or a stop unwinds it (the position is then restored).
void RootSearch(Position& p);
// Forgets what the search learned in this game (ordering tables, gains).
void NewGameSearchReset();

// --- Provided by the driver ---------------------------------------------
// Every 4096 made moves: reload the countdown, poll the input, apply the
// time, node and stop rules. May throw SearchStopped.
void PeriodicCheck();
// Score text of the reports: "cp 31", "mate 2".
std::string FormatScore(int score);
// One principal-variation line of the report.
void ReportPvLine(int index, bool useCurrentCounters, const RootMove& rm);
// The root's best move failed low (the HTML log shows such lines).
void ReportRootFailLow(const RootMove& rm);
// Milliseconds since the search started.
uint64_t ElapsedMs();
// Handles every waiting command line (may throw SearchStopped or quit).
void PollInput();
// A "go ponder" or "go infinite" waits for the front end: time does not end it.
bool PonderOrInfinitePending();
