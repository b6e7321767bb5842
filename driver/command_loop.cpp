// The command loop: reads one line, logs it and dispatches it by its leading
// keyword (case-insensitive prefix tests in a fixed order).
#include <cctype>
#include <cstdlib>
#include <cstring>
#include "common/output.h"
#include "driver/engine.h"
#include "driver/logs.h"
#include "driver/options.h"
#include "driver/search_driver.h"
#include "group/process_group.h"

EngineState Engine;
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

bool Idle() { return !Engine.searching && !Engine.ponderInfinitePending; }

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
  return false;
}
}  // namespace

void DispatchCommand(const std::string& line) {
  if (HasPrefix(line, "quit")) Quit();
  if (HasPrefix(line, "stop")) return HandleStopCommand();
  if (HasPrefix(line, "ponderhit")) return HandlePonderHit();
  if (HasPrefix(line, "ucinewgame") && Idle()) {
    SendToChildren(line);
    return NewGameReset();
  }
  if (HasPrefix(line, "probe ")) return HandleHashProbe(line);
  if (HasPrefix(line, "write ")) return HandleHashWrite(line);
  if (HasPrefix(line, "uci")) return HandleUci();
  if (HasPrefix(line, "isready")) return Reply("readyok");
  if (HasPrefix(line, "position") && Idle()) return HandlePositionCommand(line);
  // The test searches would nest a second search inside a running one.
  if (HasPrefix(line, "tt") && Idle()) return HandleTestSearches(line);
  if (HasPrefix(line, "go") && Idle()) return ParseGo(line);
  HandleExtraCommand(line);
}

void ProcessCommandLine() {
  std::string line;
  if (!Input.ReadLine(line)) {
    Log("*** - input pipe corrupted or cut off, quitting.");
    Quit();
  }
  LogLine("-->> %s", line.c_str());
  DispatchCommand(line);
}

void PollInput() {
  for (;;) {
    switch (Input.Poll()) {
      case platform::InputState::LineWaiting:
        ProcessCommandLine();
        break;
      case platform::InputState::Nothing:
        return;
      case platform::InputState::Ended:
        if (Engine.finishAtInputEnd) return;
        Log("*** - PeekNamedPipe returns 0, GetLastError () returns: %d", 109);
        Log("*** - quitting");
        Quit();
    }
  }
}

void Quit() {
  Log("quit command received.");
  CloseLogs();
  std::exit(0);
}
