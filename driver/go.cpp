// "go": reading its limits, setting up and running the search, and the
// commands that end or redirect a search ("stop", "ponderhit"), start a new
// game or run the fixed test searches ("tt").
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>
#include "board/movegen.h"
#include "board/notation.h"
#include "common/output.h"
#include "common/words.h"
#include "driver/engine.h"
#include "driver/logs.h"
#include "driver/options.h"
#include "driver/search_driver.h"
#include "eval/material.h"
#include "eval/pawns.h"
#include "group/exchange_area.h"
#include "group/process_group.h"
#include "platform/platform.h"
#include "search/hash_table.h"
#include "search/search.h"

namespace {
// Leading decimal number of a token, 0 when there is none, held to a range.
int64_t ReadInt64(const std::string& token) { return std::strtoll(token.c_str(), nullptr, 10); }
int32_t ReadInt32(const std::string& token, int32_t low = INT32_MIN, int32_t high = INT32_MAX) {
  return int32_t(std::clamp<int64_t>(ReadInt64(token), low, high));
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
                Search.limits.playMode ? "playmode " : "",
                Search.limits.searchMoveCount ? " searchmoves" : "");
  std::string line = head;
  for (int i = 0; i < Search.limits.searchMoveCount; ++i)
    line.append(" ").append(MoveToText(Search.limits.searchMoves[i]));
  return line;
}

// The driver's side of the search's calls.
SearchHost DriverHost() {
  SearchHost host;
  host.periodicCheck = [](SearchContext&) {
    PollInput();
    TimeCheck();
  };
  host.pollInput = PollInput;
  host.reportPvLine = [](const SearchContext&, int index, bool current, const RootMove& rm) {
    ReportPvLine(index, current, rm);
  };
  host.reportRootFailLow = [](const SearchContext&, const RootMove& rm) { ReportRootFailLow(rm); };
  host.clockEndsSearch = [](SearchContext&) { TakeBestRootMove(); };
  return host;
}

void ClearRootResult() {
  for (RootMove& rm : Search.rootMoves) rm = RootMove{};
  Search.rootMoveCount = 0;
  Search.bestMove = 0;
}

// Nothing to search: the answer is "0000", at once, or for a ponder or
// infinite search when "stop" or "ponderhit" asks for it.
void RefuseSearch() {
  ClearRootResult();
  Engine.bestMoveAllowed = true;
  if (Search.limits.ponderOrInfinite) {
    Log("position cannot be searched, waiting for GUI");
    return;
  }
  ReportBestMove();
}
}  // namespace

GoRequest ReadGoLine(const std::string& line) {
  GoRequest request;
  request.receivedTick = platform::NowMs();
  const int32_t searchId = Search.limits.searchId;
  Search.limits = SearchLimits{};
  Search.limits.searchId = searchId;
  Search.limits.ponderOrInfinite = false;
  Output.slaveLevel = 0;

  const std::vector<std::string> tokens = SplitWords(line);
  const bool silent = !tokens.empty() && tokens[0] == "goe";
  Search.limits.silentMode = Output.silentMode = silent;
  const bool white = Engine.position.sideToMove == White;
  const int clockContempt = white ? 15 : -15;
  for (size_t i = 1; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    auto next = [&]() -> std::string { return i + 1 < tokens.size() ? tokens[++i] : std::string(); };
    if (t == (white ? "winc" : "binc")) {
      Search.limits.ownIncrement = ReadInt32(next());
      Search.limits.contempt = clockContempt;
      request.clockGiven = true;
    } else if (t == (white ? "wtime" : "btime")) {
      Search.limits.ownTime = ReadInt32(next());
      Search.limits.contempt = clockContempt;
      request.clockGiven = true;
    } else if (t == "minscore") {
      // Scores lie within the mate scores; the default means "no minimum".
      Search.limits.minScore = ReadInt32(next(), NoMinimumScore, MateScore);
    } else if (t == "depth") {
      Search.limits.depthLimit = ReadDepth(next());
      if (silent) {
        const int exponent = Search.limits.depthLimit / 2;
        if (exponent < 50) Search.limits.nodeLimit = uint64_t(std::trunc(std::pow(2.0, exponent))) * 300;
      }
    } else if (t == "iternodes") {
      Search.limits.iterationNodeLimit = uint64_t(ReadInt64(next()));
    } else if (t == "nodes") {
      const int64_t n = ReadInt64(next());
      Search.limits.nodeLimit = n <= 2100 ? 100 : uint64_t(n - 2000);
    } else if (t == "mate") {
      Search.limits.mate = std::abs(ReadInt32(next(), -1000, 1000));   // moves; no mate lies further
    } else if (t == "infinite" || t == "ponder") {
      Search.limits.ponderOrInfinite = true;
    } else if (t == "playmode") {
      Search.limits.playMode = true;
    } else if (t == "movestogo") {
      Search.limits.movesToGo = ReadInt32(next(), 0, 10000);
    } else if (t == "movetime") {
      const int64_t m = ReadInt64(next());
      Search.limits.moveTime = m <= 30 ? 10 : uint64_t(m - 20);
    } else if (t == "id") {
      Search.limits.searchId = ReadInt32(next());
    } else if (t == "contempt") {
      Search.limits.contempt = ReadInt32(next(), -MateScore, MateScore);
    } else if (t == "date") {
      NewSearchGeneration(ReadInt32(next()) & 3);
    } else if (t == "slave") {
      Search.limits.slaveLevel = Output.slaveLevel = ReadInt32(next(), 0, MaxRootMoves);
      Search.settings.multiPv = std::clamp(Search.limits.slaveLevel, 1, 256);
      SendToChildren(
          std::string("setoption name MultiPV value ").append(std::to_string(Search.settings.multiPv)));
    } else if (Search.limits.searchMoveCount < MaxRootMoves) {
      // Any legal move anywhere in the line restricts the search to the moves named.
      if (const Move m = FindLegalMove(Engine.position, t.c_str()))
        Search.limits.searchMoves[Search.limits.searchMoveCount++] = m;
    }
  }
  Search.limits.searchMoves[Search.limits.searchMoveCount] = 0;
  request.movesToGo = Search.limits.movesToGo;
  request.ownTime = Search.limits.ownTime;
  request.ownIncrement = Search.limits.ownIncrement;
  request.contempt = Search.limits.contempt;
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
  if (Options.limitStrength) Search.limits.depthLimit = LimitedStrengthDepth(Options.elo);
  SetRandomizerBit(Search.settings, p.st.key, true);
  if (!Output.isChild && !request.alone) {
    BringChildrenToPosition();
    SendToChildren(ChildrenGoLine(request.contempt));
  }
  // Child 3 always searches two lines: the parent compares its choice with
  // the best alternative before it stops early.
  if (Group.isChild && Group.processNumber == SecondLineProcess) {
    Search.settings.multiPv = 2;
    Search.settings.multiPvCp = EveryLineMargin;
  }
  SetPhaseParameters(Search, p);
  NewSearchGeneration((HashGeneration() + 1) & 3);

  MoveList legal;
  GenerateLegalMoves(p, legal);
  // An only move needs no thought.
  if (legal.size == 1) Search.limits.targetTime = OnlyMoveTargetMs;

  Search.host = DriverHost();
  Search.exchange = &Exchange->root;
  Search.processNumber = Group.processNumber;
  Search.processCount = request.alone ? 1 : LiveProcessCount();
  Search.groupSlots = request.alone ? 1 : Group.processCount;
  ClearSlot(Search.exchange->slots[Search.processNumber]);
  Engine.searching = true;
  Engine.stopRequested = false;
  Engine.bestMoveAllowed = true;
  Search.countdown = MovesBetweenChecks;
  Search.nodes = 0;
  Search.tbHits = 0;
  Engine.ponderHit = false;
  Search.rootMoveIndex = -1;
  Search.rootResearchingBest = false;
  ClearRootResult();
  // Time counts from the arrival of the command: nothing done since may eat into the clock's margin.
  Search.startTime = request.receivedTick ? request.receivedTick : platform::NowMs();
  Engine.lastInfoTime = Search.startTime;
  BuildAdjustmentTable(Options.materialAdjust, p.sideToMove, Search.limits.playMode);
  p.st.materialDelta = ComputeMaterialDelta(p);

  WriteHtmlBoard(p);
  const Position saved = p;
  try {
    RootSearch(Search, p);
  } catch (const SearchStopped&) {
    p = saved;   // stopped before the search set up its own recovery
  }
  Engine.searching = false;

  // A search stopped before it had a result still answers with a legal move (one it was asked about).
  if (!Search.bestMove && legal.size)
    Search.bestMove = Search.rootMoves[0].move ? Search.rootMoves[0].move
                      : Search.limits.searchMoveCount ? Search.limits.searchMoves[0] : legal.moves[0];
  // The last line repeats the best line with the final counters (reported depths only).
  const RootMove& best = Search.rootMoves[0];
  if (best.move && best.depth > 7 && !best.pv.empty() && best.score > Search.limits.minScore)
    ReportPvLine(0, true, best);
  FlushHtmlLines();
  if (Search.limits.ponderOrInfinite) {
    Log("ponder/infinite search finished, waiting for GUI");
    return;
  }
  ReportBestMove();
}

void HandleStopCommand() {
  Search.limits.ponderOrInfinite = false;
  Log("  .. stop requested (is searching: %s)", Engine.searching ? "true" : "false");
  if (Engine.searching) {
    Engine.stopRequested = true;
    Search.restartRequested = false;
    throw SearchStopped{};
  }
  ReportBestMove();
}

void HandlePonderHit() {
  Search.limits.ponderOrInfinite = false;
  // A ponder search without a clock has no budget to switch to: it ends at the next check.
  if (Search.limits.targetTime >= NoTimeLimit) Search.limits.maximumTime = 0;
  Engine.ponderHit = true;
  if (!Engine.searching) ReportBestMove();
}

void NewGameReset() {
  Engine.largestOwnTime = 0;
  NewGameSearchReset(Search);
  ClearRootResult();
  Search.nodes = 0;
  ClearPawnCache();
  // Only the process that made the table clears it: a child or an engine
  // sharing another instance's table leaves its contents alone.
  const bool othersTable = Group.overriddenParentId != 0 && Group.tableOwnerId == Group.overriddenParentId;
  if (!Group.isChild && !othersTable) ClearHashTable();
  NewSearchGeneration(0);
}

void HandleTestSearches(const std::string& line) {
  static const char* const Fens[2] = {"4r3/1b2rp1k/1p1q1bpp/pP1p3P/P1pP4/4PB2/2Q2PP1/2R1RNK1 w - - 0 1",
                                      "2k5/pb1r1pr1/8/1qNp4/1ppB4/6P1/1P3PBP/R4RK1 b - - 0 1"};
  // The number is held to its range before the two plies are added.
  const long long asked =
      line.size() > 3 ? std::clamp(std::strtoll(line.c_str() + 3, nullptr, 10), -1LL, 62LL) : 8;
  const int depth = std::max(1, int(asked) + 2);
  Group.maxCpus = 1;
  if (Group.processCount > 1) StartProcessGroup(Group.hashMb);
  InfoString("Max CPUs set to 1");
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      SetPositionFromFen(Engine.position, Fens[i - 1]);
      Engine.savedPositionText = Fens[i - 1];
      Engine.gamePlies = 0;
    }
    GoRequest request = ReadGoLine("go");
    Search.limits.depthLimit = 2 * depth;
    StartSearch(request);
  }
}
