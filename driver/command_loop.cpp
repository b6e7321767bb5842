// The command loop: reads one line, logs it and dispatches it by its leading
// keyword (case-insensitive prefix tests in a fixed order).
#include <cctype>
#include <cstdlib>
#include <cstring>
#include "board/make_move.h"
#include "board/notation.h"
#include "common/output.h"
#include "driver/engine.h"
#include "driver/logs.h"
#include "driver/options.h"
#include "driver/search_driver.h"
#include "group/exchange_area.h"
#include "group/process_group.h"
#include "search/search.h"

EngineState Engine;
SearchContext Search;
platform::LineReader Input;

namespace {
bool HasPrefix(const std::string& line, const char* prefix) {
  size_t n = std::strlen(prefix);
  if (line.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(line[i])) != prefix[i]) return false;
  return true;
}

// First blank-separated word of the line.
std::string FirstWord(const std::string& line) {
  size_t start = line.find_first_not_of(" \t\r");
  if (start == std::string::npos) return "";
  size_t end = line.find_first_of(" \t\r", start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool Idle() { return !SearchInProgress(); }

void HandleUci3() {
  AnnounceUci3Options();
  Send("uci3ok");
  Engine.uci3 = true;
}

void HandleKvx5() {
  AnnounceKvx5Options();
  Send("kvx5ok");
  Engine.kvx5 = true;
  Search.settings.sampleReports = true;
}

void HandleHqz5() {
  Send("hqz5ok");
  Engine.hqz5 = true;
  Search.settings.allMovesReports = true;
}

// "play <move>": one more move of the game, made on the current position and
// added to the saved position text.
void HandlePlayCommand(const std::string& line) {
  size_t start = line.find_first_not_of(" \t\r", 4);
  std::string text = start == std::string::npos ? std::string() : line.substr(start);
  const size_t end = text.find_first_of(" \t\r\n");
  if (end != std::string::npos) text.resize(end);
  Position& p = Engine.position;
  const Move m = !text.empty() && CheckPositionConsistency(p) ? FindLegalMove(p, text.c_str()) : 0;
  if (!m) {
    // An unreadable or illegal move must leave the board as it was.
    InfoString("Illegal or unreadable move %s in play command; move not played", text.c_str());
    return;
  }
  // A later re-read of the text must find the move in a move list.
  if (Engine.savedPositionText.find("moves") == std::string::npos) Engine.savedPositionText.append(" moves");
  Engine.savedPositionText.append(" ").append(text);
  MakeRootMove(p, m);
  ++Engine.gamePlies;
}

// Conventional commands beyond the protocol, tested after every protocol keyword.
bool HandleExtraCommand(const std::string& line) {
  const std::string word = FirstWord(line);
  if (word == "perft" && Idle()) {
    HandlePerft(line);
    return true;
  }
  if (word == "d" && Idle()) {
    HandleDisplay();
    return true;
  }
  if (word == "eval" && Idle()) {
    HandleEvalCommand();
    return true;
  }
  if (word == "bench" && Idle()) {
    HandleBench(line);
    return true;
  }
#ifdef TOLVO_TUNING
  if (word == "params" && Idle()) {
    HandleParamsCommand(line);
    return true;
  }
#endif
  return false;
}

// The keyword tests in their order; a guarded keyword whose guard fails goes
// on to the later tests.
void Dispatch(const std::string& line) {
  if (HasPrefix(line, "quit")) Quit();
  if (HasPrefix(line, "stop")) return HandleStopCommand();
  if (HasPrefix(line, "ponderhit")) return HandlePonderHit();
  if (HasPrefix(line, "ucinewgame")) {
    // Refused during a search; it must not go on to the "uci" test below.
    if (!Idle()) return;
    // A child that died during the last game is replaced before the next one.
    if (!Group.isChild && Group.processCount > 1 && LiveProcessCount() < Group.processCount) {
      Log("*** - the group lost a child: it starts again for the new game");
      StartProcessGroup(Group.hashMb);
    }
    SendToChildren(line);
    return NewGameReset();
  }
  if (HasPrefix(line, "uci3")) return HandleUci3();
  if (HasPrefix(line, "kvx5")) return HandleKvx5();
  if (HasPrefix(line, "hqz5")) return HandleHqz5();
  if (HasPrefix(line, "probe ")) return HandleHashProbe(line);
  if (HasPrefix(line, "write ")) return HandleHashWrite(line);
  if (HasPrefix(line, "uci")) return HandleUci();
  if (HasPrefix(line, "isready")) return Reply("readyok");
  if (HasPrefix(line, "slave mode")) {
    SendToChildren(line);
    Search.settings.slaveMode = LeadingNumber(line, 11);
    return;
  }
  if (HasPrefix(line, "position") && Idle()) return HandlePositionCommand(line);
  if (HasPrefix(line, "play") && Idle()) return HandlePlayCommand(line);
  // Work sharing with an outside controller.
  if (HasPrefix(line, "deny") && HandleDeny(line)) return;
  if (HasPrefix(line, "posted")) return HandlePosted(line);
  if (HasPrefix(line, "take") && HandleTake(line)) return;
  // The test searches would nest a second search inside a running one.
  if (HasPrefix(line, "tt") && Idle()) return HandleTestSearches(line);
  if (HasPrefix(line, "go") && Idle()) return ParseGo(line);
  if (HasPrefix(line, "setoption name"))
    return HandleSetOption(line.size() > 15 ? line.substr(15) : std::string());
  HandleExtraCommand(line);
}
}  // namespace

void DispatchCommand(const std::string& line) {
  Dispatch(line);
  // Option changes that had to wait for the end of a search apply once the
  // search has returned and its result has gone out.
  ApplyDeferredOptions();
}

void ProcessCommandLine() {
  std::string line;
  if (!Engine.commandRunning && !Engine.heldLines.empty()) {
    line = std::move(Engine.heldLines.front());
    Engine.heldLines.pop_front();
    return DispatchCommand(line);
  }
  if (!Input.ReadLine(line)) {
    Log("*** - input pipe corrupted or cut off, quitting.");
    Quit();
  }
  LogLine("-->> %s", line.c_str());
  DispatchCommand(line);
}

void PollInput() {
  for (;;) {
    // Lines held back by a count come first, also in a search that one of
    // them started: a held "isready" or "stop" must not wait for its end.
    if (!Engine.commandRunning && !Engine.heldLines.empty()) {
      ProcessCommandLine();
      continue;
    }
    switch (Input.Poll()) {
      case platform::InputState::LineWaiting: {
        std::string next;
        if (Engine.commandRunning && Input.PeekLine(next) && !HasPrefix(next, "stop")) {
          // A count (perft, bench) answers nothing else while it runs: the
          // lines wait, in order, until it has printed its result; a "quit"
          // ends the reading so that it comes after them.
          if (HasPrefix(next, "quit")) return;
          Input.ReadLine(next);
          LogLine("-->> %s", next.c_str());
          Engine.heldLines.push_back(next);
          break;
        }
        ProcessCommandLine();
        break;
      }
      case platform::InputState::Nothing:
        return;
      case platform::InputState::Ended:
        // The text (and 109, "the pipe has been ended") is the one readers of
        // the log know from the engine's first platform.
        Log("*** - PeekNamedPipe returns 0, GetLastError () returns: %d", 109);
        Log("*** - quitting");
        Quit();
    }
  }
}

void Quit() {
  Log("quit command received.");
  CloseLogs();
  // Children are told to quit; a child's "gone" word lets a parent that
  // tears the group down go on.
  LeaveProcessGroup();
  std::exit(0);
}
