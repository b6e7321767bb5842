// The engine's options: their values, the lines "uci" announces, and the
// handler of "setoption name ..." lines.
#pragma once
#include <string>

inline constexpr const char* EngineAuthor = "the Tolvo developers";
inline constexpr const char* EngineAboutAddress = "https://tolvo-chess.invalid/";

struct EngineOptions {
  int hashMb = 32;              // a power of two
  bool logOn = false, htmlLogOn = false;
  int maxCpus = 2048;
  int cpuUsage = 100;           // percent
  std::string tablebasePath;
  int tablebaseCacheMb = 1;
  int tablebaseUsage = 16;      // frequently 6, normally 10, rarely 16, never 120
  int mainPriority = 3;         // 0 normal, 1 below normal, 2 low, 3 inherit
  int childPriority = 1;        // 0 normal, 1 below normal, 2 low
  bool useLargePages = false;
  bool alwaysScoreMainMove = false;
  bool displayUpperbounds = false;
  bool preserveAnalysis = false;
  std::string hashFile;
  bool ponder = false;
  int multiPv = 1;
  int multiPvCp = 20000;
  int tcBuffer = 3;             // seconds
  int tcHardBuffer = 250;       // ms
  int tcHardMoveTime = 5;       // ms
  int tcHardMoveDepth = 5;      // plies
  int tcNormalMoveTime = 80;    // percent
  int tcMaxMoveTime = 100;      // percent
  // White/Black Pawn, Knight, King Bishop, Queen Bishop, Rook, Queen (cp).
  int materialAdjust[12] = {};
  int rookEndgameScaling = 100; // percent
  bool limitStrength = false;
  int elo = 1200;
  int randomizerThreshold = 8;
  int overriddenParentId = 0;
};
extern EngineOptions Options;

// Writes the option lines of "uci".
void AnnounceOptions();
// Handles the text after "setoption name ": the first option keyword that
// begins the text (letter case ignored) acts and confirms with "info string".
// Runs also during a search; what would replace or rewrite the whole hash
// table then waits for the search to end (ApplyDeferredOptions).
void HandleSetOption(const std::string& text);
// Runs the table changes that options asked for during a search. Called by
// the command loop once no search runs any more.
void ApplyDeferredOptions();

// Decimal number at `from` with the usual leading-number rule: blanks
// skipped, optional sign, digits up to the first other character; 0 when
// there is none (or `from` lies past the end). Clamped to the int range.
int LeadingNumber(const std::string& text, size_t from);

// The randomizer bitmap (2^25 bits): created and cleared, cleared, released.
void EnableRandomizer();
void ResetRandomizer();
void DisableRandomizer();

// Priority of this process: 0 normal, 1 below normal, 2 low, 3 inherit (no
// change). A failure is written to the log; it is not fatal.
void ApplyMainProcessPriority(int level);
// Nice value of a priority level (0, 10, 19).
int NiceOfPriority(int level);
