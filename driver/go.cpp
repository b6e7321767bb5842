// "go": reading its limits, setting up and running the search, and the
// commands that end or redirect a search ("stop", "ponderhit"), start a new
// game or run the fixed test searches ("tt").
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>
#include "board/movegen.h"
#include "board/notation.h"
#include "common/output.h"
#include "driver/engine.h"
#include "driver/logs.h"
#include "driver/options.h"
#include "driver/search_driver.h"
#include "eval/material.h"
#include "eval/pawns.h"
#include "group/process_group.h"
#include "platform/platform.h"
#include "search/hash_table.h"
#include "search/search.h"

namespace {
std::vector<std::string> Tokens(const std::string& line) {
  std::vector<std::string> tokens;
  size_t i = 0;
  while (i < line.size()) {
    i = line.find_first_not_of(" \t\r\n", i);
    if (i == std::string::npos) break;
    size_t end = line.find_first_of(" \t\r\n", i);
    if (end == std::string::npos) end = line.size();
    tokens.push_back(line.substr(i, end - i));
    i = end;
  }
  return tokens;
}

// Leading decimal number of a token, 0 when there is none.
int64_t ReadInt64(const std::string& token) { return std::strtoll(token.c_str(), nullptr, 10); }
int32_t ReadInt32(const std::string& token) {
  const int64_t v = ReadInt64(token);
  return int32_t(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
}

// "depth" value: plies with an optional half ply ("10,5"), in internal units.
int32_t ReadDepth(const std::string& token) {
  double plies = std::strtod(token.c_str(), nullptr);
  if (token.find(",5") != std::string::npos) plies += 0.5;
  const double units = std::trunc(2 * (plies + 3));
  if (!(units >= 0)) return 0;
  return units >= 2147483646.0 ? 2147483646 : int32_t(units);
}

// Start of the line that makes the other processes of a group search along.
std::string ChildrenGoLine(int contempt) {
  char head[160];
  std::snprintf(head, sizeof head, "go contempt %d date %d %sinfinite%s", contempt, HashGeneration(),
                Limits.playMode ? "playmode " : "", Limits.searchMoveCount ? " searchmoves" : "");
  std::string line = head;
  for (int i = 0; i < Limits.searchMoveCount; ++i) line.append(" ").append(MoveToText(Limits.searchMoves[i]));
  return line;
}

void ClearRootResult() {
  for (RootMove& rm : Search.rootMoves) rm = RootMove{};
  Search.rootMoveCount = 0;
  Search.bestMove = 0;
}

// Nothing to search: the answer goes out at once and no later command may repeat it.
void RefuseSearch() {
  Engine.ponderInfinitePending = false;
  ClearRootResult();
  Search.bestMoveAllowed = false;
  Send("bestmove 0000");
}
}  // namespace

GoRequest ReadGoLine(const std::string& line) {
  GoRequest request;
  request.receivedTick = platform::NowMs();
  const int32_t searchId = Limits.searchId;
  Limits = SearchLimits{};
  Limits.searchId = searchId;
  Engine.ponderInfinitePending = false;
  Output.slaveLevel = 0;

  const std::vector<std::string> tokens = Tokens(line);
  const bool silent = !tokens.empty() && tokens[0] == "goe";
  Limits.silentMode = Output.silentMode = silent;
  const bool white = Engine.position.sideToMove == White;
  const int clockContempt = white ? 15 : -15;
  for (size_t i = 1; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    auto next = [&]() -> std::string { return i + 1 < tokens.size() ? tokens[++i] : std::string(); };
    if (t == (white ? "winc" : "binc")) {
      Limits.ownIncrement = ReadInt32(next());
      Limits.contempt = clockContempt;
      request.clockGiven = true;
    } else if (t == (white ? "wtime" : "btime")) {
      Limits.ownTime = ReadInt32(next());
      Limits.contempt = clockContempt;
      request.clockGiven = true;
    } else if (t == "minscore") {
      Limits.minScore = ReadInt32(next());
    } else if (t == "depth") {
      Limits.depthLimit = ReadDepth(next());
      if (silent) {
        const int exponent = Limits.depthLimit / 2;
        if (exponent < 50) Limits.nodeLimit = uint64_t(std::trunc(std::pow(2.0, exponent))) * 300;
      }
    } else if (t == "iternodes") {
      Limits.iterationNodeLimit = uint64_t(ReadInt64(next()));
    } else if (t == "nodes") {
      const int64_t n = ReadInt64(next());
      Limits.nodeLimit = n <= 2100 ? 100 : uint64_t(n - 2000);
    } else if (t == "mate") {
      const int32_t m = ReadInt32(next());
      Limits.mate = m < 0 ? (m == INT32_MIN ? INT32_MAX : -m) : m;
    } else if (t == "infinite" || t == "ponder") {
      Engine.ponderInfinitePending = true;
    } else if (t == "playmode") {
      Limits.playMode = true;
    } else if (t == "movestogo") {
      Limits.movesToGo = ReadInt32(next());
    } else if (t == "movetime") {
      const int64_t m = ReadInt64(next());
      Limits.moveTime = m <= 30 ? 10 : uint64_t(m - 20);
    } else if (t == "id") {
      Limits.searchId = ReadInt32(next());
    } else if (t == "contempt") {
      Limits.contempt = ReadInt32(next());
    } else if (t == "date") {
      NewSearchGeneration(ReadInt32(next()) & 3);
    } else if (t == "slave") {
      Limits.slaveLevel = Output.slaveLevel = ReadInt32(next());
      Options.multiPv = Limits.slaveLevel < 1 ? 1 : Limits.slaveLevel > 256 ? 256 : Limits.slaveLevel;
      SendToChildren(std::string("setoption name MultiPV value ").append(std::to_string(Options.multiPv)));
    } else if (Limits.searchMoveCount < MaxRootMoves) {
      // Any legal move anywhere in the line restricts the search to the moves named.
      if (const Move m = FindLegalMove(Engine.position, t.c_str())) Limits.searchMoves[Limits.searchMoveCount++] = m;
    }
  }
  Limits.searchMoves[Limits.searchMoveCount] = 0;
  request.movesToGo = Limits.movesToGo;
  request.ownTime = Limits.ownTime;
  request.ownIncrement = Limits.ownIncrement;
  request.contempt = Limits.contempt;
  return request;
}

void ParseGo(const std::string& line) { StartSearch(ReadGoLine(line)); }

int LimitedStrengthDepth(int elo) {
  static constexpr int Steps[15] = {1420, 1620, 1800, 1960, 2100, 2220, 2320, 2410,
                                    2490, 2560, 2620, 2675, 2725, 2770, 2810};
  int depth = 2;
  for (int step : Steps) {
    if (elo < step) return depth;
    depth += 2;
  }
  return depth;
}

void StartSearch(const GoRequest& request) {
  ApplyClock(request);
  Position& p = Engine.position;
  if (!CheckPositionConsistency(p)) return RefuseSearch();
  Engine.lastContempt = request.contempt;
  if (Options.limitStrength) Limits.depthLimit = LimitedStrengthDepth(Options.elo);
  SetRandomizerBit(p.st.key, true);
  if (!Output.isChild) SendToChildren(ChildrenGoLine(request.contempt));
  AgePawnCache();
  SetPhaseParameters(p);
  NewSearchGeneration((HashGeneration() + 1) & 3);

  MoveList legal;
  GenerateLegalMoves(p, legal);
  // An only move needs no thought.
  if (legal.size == 1) Limits.targetTime = 50;

  Engine.searching = true;
  Engine.stopRequested = false;
  Search.bestMoveAllowed = true;
  Search.countdown = 4096;
  Search.nodes = 0;
  Search.tbHits = 0;
  Search.ponderHit = false;
  Search.rootMoveIndex = -1;
  Search.rootResearchingBest = false;
  ClearRootResult();
  // Time counts from the arrival of the command: nothing done since may eat into the clock's margin.
  Search.startTime = request.receivedTick ? request.receivedTick : platform::NowMs();
  Search.lastInfoTime = Search.startTime;
  BuildAdjustmentTable(Options.materialAdjust, p.sideToMove, Limits.playMode);
  p.st.materialDelta = ComputeMaterialDelta(p);

  WriteHtmlBoard(p);
  const Position saved = p;
  try {
    RootSearch(p);
  } catch (const SearchStopped&) {
    p = saved;   // stopped before the search set up its own recovery
  }
  Engine.searching = false;

  // A search stopped before it had a result still answers with a legal move (one it was asked about).
  if (!Search.bestMove && legal.size)
    Search.bestMove = Search.rootMoves[0].move ? Search.rootMoves[0].move
                      : Limits.searchMoveCount ? Limits.searchMoves[0] : legal.moves[0];
  // The last line repeats the best line with the final counters (reported depths only).
  const RootMove& best = Search.rootMoves[0];
  if (best.move && best.depth > 7 && !best.pv.empty() && best.score > Limits.minScore) ReportPvLine(0, true, best);
  FlushHtmlLines();
  if (Engine.ponderInfinitePending) {
    Log("ponder/infinite search finished, waiting for GUI");
    return;
  }
  ReportBestMove();
}

void HandleStopCommand() {
  Engine.ponderInfinitePending = false;
  Log("  .. stop requested (is searching: %s)", Engine.searching ? "true" : "false");
  if (Engine.searching) {
    Engine.stopRequested = true;
    throw SearchStopped{};
  }
  ReportBestMove();
}

void HandlePonderHit() {
  Engine.ponderInfinitePending = false;
  // A ponder search without a clock has no budget to switch to: it ends at the next check.
  if (Limits.targetTime >= NoTimeLimit) Limits.maximumTime = 0;
  Search.ponderHit = true;
  if (!Engine.searching) ReportBestMove();
}

void NewGameReset() {
  Engine.largestOwnTime = 0;
  NewGameSearchReset();
  ClearRootResult();
  Search.nodes = 0;
  ClearPawnCache();
  if (!Output.isChild) ClearHashTable();
  NewSearchGeneration(0);
}

void HandleTestSearches(const std::string& line) {
  static const char* const Fens[2] = {"4r3/1b2rp1k/1p1q1bpp/pP1p3P/P1pP4/4PB2/2Q2PP1/2R1RNK1 w - - 0 1",
                                      "2k5/pb1r1pr1/8/1qNp4/1ppB4/6P1/1P3PBP/R4RK1 b - - 0 1"};
  int depth = line.size() > 3 ? std::atoi(line.c_str() + 3) + 2 : 10;
  if (depth < 1) depth = 1;
  if (depth > 64) depth = 64;
  Options.maxCpus = 1;   // (a group of processes is rebuilt as one once groups exist)
  InfoString("Max CPUs set to 1");
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      SetPositionFromFen(Engine.position, Fens[i - 1]);
      Engine.savedPositionText = Fens[i - 1];
      Engine.gamePlies = 0;
    }
    GoRequest request = ReadGoLine("go");
    Limits.depthLimit = 2 * depth;
    StartSearch(request);
  }
}
