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
