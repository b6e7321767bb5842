// The search as the program that runs it sees it: the limits of a search,
// the root move table, the settings it reads, the calls it makes back to
// its host (the periodic check, reports), and one record that holds every
// piece of state one search works on.
#pragma once
#include <cstdint>
#include <string>
#include "board/position.h"
#include "search/ordering_tables.h"
#include "search/learned_gains.h"
#include "search/phase_parameters.h"
#include "search/ply_record.h"
#include "search/root_exchange.h"
#include "search/search_thresholds.h"

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
  int32_t minScore = NoMinimumScore;
  int32_t mate = 0;
  int32_t slaveLevel = 0;
  int32_t searchId = 0;
  Move searchMoves[257] = {};       // ended by 0
  int searchMoveCount = 0;
  bool playMode = false;
  bool silentMode = false;
  // "go ponder" / "go infinite": the best move waits for "stop" or
  // "ponderhit", and time does not end the search.
  bool ponderOrInfinite = false;
};

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
  // The move's last known value, for the time rule's gap between the best
  // move and its rivals: its last score above the root's alpha, or what its
  // search returned in the shallow first iterations, where every move gets a
  // value. NoRivalScore until the move has one.
  int32_t rivalScore = NoRivalScore;
  static constexpr int32_t NoRivalScore = INT32_MIN;
};
constexpr int MaxRootMoves = 256;

// What the search reads besides its limits; set by the options.
struct SearchSettings {
  int multiPv = 1;
  int multiPvCp = EveryLineMargin;
  bool alwaysScoreMainMove = false;
  bool displayUpperbounds = false;
  // Narration of the root search asked for by the protocol dialects: "info
  // sample" lines (from iteration depth 22 on) and "info allmoves".
  bool sampleReports = false;
  bool allMovesReports = false;
  // Child processes of a group order quiet moves randomly so that they
  // explore different parts of the tree.
  bool randomQuietOrdering = false;
  // "slave mode" of a controlling program: with 2 and two lines, the second
  // line is reported when the first is far ahead.
  int slaveMode = 0;
  // Randomizer: a 2^25-bit map of positions already played (null = off);
  // such positions look `randomizerThreshold` centipawns worse at the root.
  uint8_t* randomizerBitmap = nullptr;
  int randomizerThreshold = 8;
  // Remaining depth (half plies) from which the search probes tablebases:
  // frequently 6, normally 10, rarely 16, never 120 (the root always may).
  int tablebaseUsage = 16;
};

struct SearchContext;
// The calls a search makes to the program that runs it.
struct SearchHost {
  // Every MovesBetweenChecks made moves (the countdown is already reloaded): poll the
  // input and apply the time, node and stop rules. May throw SearchStopped.
  void (*periodicCheck)(SearchContext& s) = nullptr;
  // Between iterations: handle waiting command lines (may throw SearchStopped).
  void (*pollInput)() = nullptr;
  // One principal-variation line of the report (`current`: with the running
  // counters instead of those stored with the line).
  void (*reportPvLine)(const SearchContext& s, int index, bool current, const RootMove& rm) = nullptr;
  // The root's best move failed low.
  void (*reportRootFailLow)(const SearchContext& s, const RootMove& rm) = nullptr;
  // The time rule between iterations ends the search: the move is due.
  void (*clockEndsSearch)(SearchContext& s) = nullptr;
};

// Everything one search works on. One per process; tests make their own.
struct SearchContext {
  SearchLimits limits;
  SearchSettings settings;
  SearchHost host;
  Position* position = nullptr;    // the position being searched

  // Root move table and results.
  RootMove rootMoves[MaxRootMoves + 1];   // best first; a zero move ends the table
  int rootMoveCount = 0;
  Move bestMove = 0;
  int rootMoveIndex = -1;          // index of the root move being searched (0 = the current best)
  Move currentRootMove = 0;        // the root move being searched, 0 between moves
  // Set by a controller's "deny" or "take" before it stops the search: the
  // search starts again from the first iteration with the root moves it has.
  bool restartRequested = false;
  // "posting" lines of a controlled search: depth and time of the last one.
  int lastPostDepth = 0;
  uint64_t lastPostTime = 0;
  // Read by the time rule of a process group: the best score so far (root's
  // view) and, while the current best move is searched again after failing
  // low, the bound of that re-search.
  int rootScore = 0;
  int rootResearchBound = 0;
  bool rootResearchingBest = false;

  // Counters of the running search.
  uint64_t nodes = 0;              // made moves of this search (this process)
  uint64_t tbHits = 0;
  uint64_t startTime = 0;          // ms tick of the search start
  int64_t countdown = MovesBetweenChecks;   // made moves to the next periodic check

  // Root results published to the other processes of a group.
  RootExchange* exchange = &ownExchange;
  int processNumber = 0;
  int processCount = 1;            // processes of the group (node counts are reported times this)
  int groupSlots = 1;              // process numbers in use: the slots other processes publish in

  // Learned during a game, and the margins of this search.
  OrderingTables ordering;
  LearnedGains gains;
  PhaseParameters phase;
  uint32_t randomOrderingState = 1;
  PlyRecord stack[MaxPly + 8];     // index = ply index: the root uses 1

  RootExchange ownExchange;        // where a process on its own publishes
};

// Margins blended by the material on the board; once per "go".
void SetPhaseParameters(SearchContext& s, const Position& p);
// Iterative deepening for the side to move of `p` under s.limits: fills the
// root move table and s.bestMove. Returns when a limit ends the search or a
// stop unwinds it (the position is then restored). When a restart was
// requested the search begins again, keeping the root moves it has (a
// controller may have removed some), until it ends without one.
void RootSearch(SearchContext& s, Position& p);
// Removes every root move that is the same move as `m`; returns how many.
// Safe while the root searches a move: its result still lands on its own
// entry, and the pass goes on with the moves not yet searched.
int RemoveRootMove(SearchContext& s, Move m);
// Keeps only the first (best) root move, likewise safe during a pass.
void KeepOnlyFirstRootMove(SearchContext& s);
// Forgets what the search learned in this game (ordering tables, root records).
void NewGameSearchReset(SearchContext& s);
// The time rule's gap between the best root move and its nearest rival after
// an iteration: the best score less the highest last known value of any
// other move (RootMove::rivalScore). NoRivalGap when no other move has a value.
int RootScoreGap(const SearchContext& s);
// Milliseconds since the search started.
uint64_t ElapsedMs(const SearchContext& s);
// Score text of the reports: "cp 31", "mate 2", "mate -1".
std::string FormatScore(int score);

// Randomizer bitmap access (nothing happens without a bitmap).
inline bool RandomizerBit(const SearchSettings& s, uint64_t key) {
  return s.randomizerBitmap && ((s.randomizerBitmap[(key >> 3) & 0x3FFFFF] >> (key & 7)) & 1);
}
inline void SetRandomizerBit(SearchSettings& s, uint64_t key, bool on) {
  if (!s.randomizerBitmap) return;
  uint8_t& byte = s.randomizerBitmap[(key >> 3) & 0x3FFFFF];
  byte = on ? uint8_t(byte | (1u << (key & 7))) : uint8_t(byte & ~(1u << (key & 7)));
}
