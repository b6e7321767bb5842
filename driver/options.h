// The engine's options: the values that belong to the driver itself, the
// lines "uci" and the dialects announce, and the handler of "setoption name
// ..." lines. Every option is a row of one table (option_table.h); the
// values of options that other parts of the engine read live there (search
// settings, hash memory, evaluation) and the rows point at them.
#pragma once
#include <string>
#include <vector>
#include "common/leading_number.h"

inline constexpr const char* EngineAuthor = "the Tolvo developers";
inline constexpr const char* EngineAboutAddress = "https://tolvo-chess.invalid/";

struct EngineOptions {
  int cpuUsage = 100;           // percent
  std::string tablebasePath;
  int tablebaseCacheMb = 1;
  int mainPriority = 3;         // 0 normal, 1 below normal, 2 low, 3 inherit
  std::string hashFile;
  bool ponder = false;
  int tcBuffer = 3;             // seconds
  int tcHardBuffer = 250;       // ms
  int tcHardMoveTime = 5;       // ms
  int tcHardMoveDepth = 5;      // plies
  int tcNormalMoveTime = 80;    // percent
  int tcMaxMoveTime = 100;      // percent
  // White/Black Pawn, Knight, King Bishop, Queen Bishop, Rook, Queen (cp).
  int materialAdjust[12] = {};
  bool limitStrength = false;
  int elo = 1200;
  bool showWdl = false;         // "info ... score" lines also carry "wdl W D L"
};
extern EngineOptions Options;

// Writes the option lines of "uci", "uci3" and "kvx5".
void AnnounceOptions();
void AnnounceUci3Options();
void AnnounceKvx5Options();
// Handles the text after "setoption name ": the first option keyword that
// begins the text (letter case ignored) acts and confirms with "info string".
// Runs also during a search; what would replace or rewrite the whole hash
// table then waits for the search to end (ApplyDeferredOptions).
void HandleSetOption(const std::string& text);
// Changes that replace or rewrite the whole hash table (or the root records
// with it) would pull the memory from under a running search: during a
// search they wait for its end and then run in the order they were asked for.
enum class TableWork { RestartGroup, ClearHash, SaveHash, LoadHash };
void TableWorkWhenIdle(TableWork work);
// Runs the table changes that options asked for during a search. Called by
// the command loop once no search runs any more.
void ApplyDeferredOptions();
// The settings lines of the text-log head, without the closing empty line.
std::vector<std::string> SettingsSummary();
// What new children are told at every start of the group: one line for
// each setting that changes what they search or store and differs from its
// start value, in a fixed order.
std::vector<std::string> ChildSettingsLines();
// Sends them.
void ForwardSettingsToChildren();

// The randomizer bitmap (2^25 bits): created and cleared, cleared, released.
void EnableRandomizer();
void ResetRandomizer();
void DisableRandomizer();

// Priority of this process: 0 normal, 1 below normal, 2 low, 3 inherit (no
// change). A failure is written to the log; it is not fatal.
void ApplyMainProcessPriority(int level);
// Nice value of a priority level (0, 10, 19).
int NiceOfPriority(int level);
