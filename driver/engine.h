// Engine-wide state of the driver: the game position, the saved position
// text and the flags the command loop reads and changes.
#pragma once
#include <deque>
#include <string>
#include "board/position.h"
#include "platform/platform.h"
#include "search/search.h"

struct EngineState {
  Position position;
  std::string savedPositionText = StartFen;  // last "position" text, extended by "play" moves
  int gamePlies = 0;                         // moves played since the position's FEN
  bool searching = false;                    // a search started by "go" (or a long perft) runs
  // Dialects the front end has asked for: "uci3" (other option types for the
  // tablebase and hash-file options), "kvx5" (the randomizer's options and
  // "info sample" narration of the root) and "hqz5" ("info allmoves" lists).
  bool uci3 = false, kvx5 = false, hqz5 = false;
  uint64_t largestOwnTime = 0;               // ms: largest own clock seen since the last new game
  // A command that runs for a while without being a search (perft, bench):
  // a "quit" that arrives meanwhile waits until it has printed its result.
  bool commandRunning = false;
  // Lines read while perft or bench ran, answered in order once it has ended.
  std::deque<std::string> heldLines;
  bool stopRequested = false;                // "stop" arrived during the current search
  // The position the children of the group were last given, and the group
  // start it was given to (a restarted group begins at the start position).
  std::string positionOfChildren = StartFen;
  int positionOfChildrenStart = 1;
  // Reports of the current search.
  uint64_t lastInfoTime = 0;                 // tick of the last "info time" line
  bool ponderHit = false;                    // "ponderhit" arrived during this search
  bool bestMoveAllowed = false;              // its best move has not gone out yet
  uint64_t expectedReplyKey = 0;             // position after the best move and the ponder move
};
extern EngineState Engine;
// The search of this process: limits, settings, results and its working state.
extern SearchContext Search;
// A search runs, or its best move waits for "stop" or "ponderhit".
inline bool SearchInProgress() { return Engine.searching || Search.limits.ponderOrInfinite; }
extern platform::LineReader Input;


// Reads and handles exactly one command line.
void ProcessCommandLine();
// Handles one command line that has already been read (also used by tests).
void DispatchCommand(const std::string& line);
// Handles every complete command line that is waiting; never blocks. The
// end of the input ends the engine at once (nobody can stop it any more).
void PollInput();
// The shutdown path: closes what is open and exits with code 0.
[[noreturn]] void Quit();

// The engine's name for "id name", built from the command line.
std::string BuildEngineName(const std::string& commandLine);
// The engine's own word, in any case, at position i of a command line.
bool WordTolvoAt(const std::string& s, size_t i);
void HandleUci();
void HandlePositionCommand(std::string line);
// Reads "[startpos | fen <fen>] [moves ...]" into p (the start position when
// no FEN is given or it is invalid); returns the number of moves played.
int ReadPositionText(Position& p, const std::string& text);
// "probe <position>": the deepest transposition-table entry of the position.
void HandleHashProbe(const std::string& line);
// "write <score> <position>": stores an exact entry for the position.
void HandleHashWrite(const std::string& line);
void HandlePerft(const std::string& line);
void HandleDisplay();
void HandleEvalCommand();
#ifdef TOLVO_TUNING
// "params FILE" (tuning builds): loads evaluation weights and starts a new game.
void HandleParamsCommand(const std::string& line);
#endif
// Sets the start position and the related state (start-up, tests).
void ResetToStartPosition();
// Gives the children the game's position when theirs differs ("play" and
// "goe" move on without a "position" line; a restarted group starts afresh).
void BringChildrenToPosition();
// Forgets the game: clock history, root records, search tables, pawn cache,
// hash table (not in a child) and its generation ("ucinewgame", "Clear Hash").
void NewGameReset();
