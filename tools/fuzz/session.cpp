#include "tools/fuzz/session.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <unistd.h>
#include "tools/fuzz/engine_pipe.h"
#include "tools/fuzz/processes.h"

namespace fuzz {

namespace {
// Removes the files a session left (logs, hash files); the engine makes no folders.
void CleanDirectory(const std::string& dir) {
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  while (dirent* e = readdir(d)) {
    if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
    unlink((dir + "/" + e->d_name).c_str());
  }
  closedir(d);
}

// "dir/file.cpp:123" from a path with a line (and maybe a column) behind it.
std::string ShortLocation(std::string location) {
  const size_t firstColon = location.find(':');
  if (firstColon != std::string::npos) {
    const size_t secondColon = location.find(':', firstColon + 1);
    if (secondColon != std::string::npos) location.resize(secondColon);
  }
  const size_t last = location.rfind('/');
  if (last != std::string::npos && last > 0) {
    const size_t before = location.rfind('/', last - 1);
    if (before != std::string::npos) location = location.substr(before + 1);
  }
  return location;
}

std::string FirstLineOf(const std::string& text, size_t at) {
  const size_t end = text.find('\n', at);
  return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// First stack frame of a sanitizer report that lies in the engine's own sources.
std::string FirstOwnFrame(const std::string& text, size_t from) {
  size_t at = from;
  while ((at = text.find("    #", at)) != std::string::npos) {
    const std::string frame = FirstLineOf(text, at);
    at += 5;
    const size_t in = frame.find(" in ");
    if (in == std::string::npos) continue;
    const size_t space = frame.rfind(' ');
    const std::string where = frame.substr(space + 1);
    if (where.find("/usr/") == 0 || where.find("libsanitizer") != std::string::npos || where.find('/') == std::string::npos)
      continue;
    return ShortLocation(where);
  }
  return "?";
}

const char* SignalName(int signal) {
  switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGABRT: return "SIGABRT";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGBUS: return "SIGBUS";
    case SIGKILL: return "SIGKILL";
    case SIGPIPE: return "SIGPIPE";
    default: return "signal";
  }
}
}  // namespace

std::string ShowBytes(const std::string& bytes) {
  std::string shown;
  const size_t limit = 160;
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '\r') shown += "\\r";
    else if (c == '\t') shown += "\\t";
    else if (c == '\\') shown += "\\\\";
    else if (c >= 32 && c < 127) shown += char(c);
    else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      shown += hex;
    }
  }
  if (bytes.size() > limit) {
    // Long lines are mostly one pattern repeated: show the end as well.
    std::string tail = bytes.substr(bytes.size() - 40);
    for (char& c : tail)
      if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) >= 127) c = '.';
    shown += " ... " + tail + " (" + std::to_string(bytes.size()) + " bytes)";
  }
  return shown;
}

bool ExitFault(const std::string& errorText, int exitCode, int signal, bool endAsked, Fault& fault) {
  const size_t ub = errorText.find("runtime error: ");
  if (ub != std::string::npos) {
    const size_t lineStart = errorText.rfind('\n', ub);
    const std::string line = FirstLineOf(errorText, lineStart == std::string::npos ? 0 : lineStart + 1);
    const std::string location = line.substr(0, line.find(": runtime error: "));
    std::string kind = line.substr(line.find("runtime error: ") + 15);
    const size_t colon = kind.find(':');
    if (colon != std::string::npos) kind.resize(colon);
    fault = {"sanitizer: " + kind + " at " + ShortLocation(location), line};
    return true;
  }
  for (const char* tool : {"AddressSanitizer", "LeakSanitizer"}) {
    const size_t at = errorText.find(std::string("ERROR: ") + tool);
    if (at == std::string::npos) continue;
    const std::string line = FirstLineOf(errorText, at);
    std::string kind = line.substr(7 + std::strlen(tool) + 2);
    const size_t on = kind.find(" on ");
    if (on != std::string::npos) kind.resize(on);
    fault = {std::string("sanitizer: ") + tool + " " + kind + " at " + FirstOwnFrame(errorText, at), line};
    return true;
  }
  if (signal) {
    fault = {std::string("crash: ") + SignalName(signal) + " (" + std::to_string(signal) + ")",
             "the process was ended by signal " + std::to_string(signal)};
    return true;
  }
  if (exitCode != 0) {
    fault = {"exit: code " + std::to_string(exitCode), "the process ended with exit code " + std::to_string(exitCode)};
    return true;
  }
  if (!errorText.empty()) {
    std::string first = FirstLineOf(errorText, 0).substr(0, 60);
    fault = {"stderr: " + first, FirstLineOf(errorText, 0)};
    return true;
  }
  if (!endAsked) {
    fault = {"exit: the process ended without quit or end of input", "exit code 0"};
    return true;
  }
  return false;
}

// After a clean end: the engine's children end too (they quit at the end of
// their input), and the group's shared-memory names are gone. What is left is
// removed after the report, so that one fault does not hide the next.
static bool LeftBehind(int pid, const std::vector<ProcessTimes>& children, int waitMs, Fault& fault) {
  const uint64_t until = NowMs() + uint64_t(waitMs);
  std::vector<ProcessTimes> alive = children;
  while (!alive.empty()) {
    alive.erase(std::remove_if(alive.begin(), alive.end(), [](const ProcessTimes& p) { return !ProcessAlive(p); }),
                alive.end());
    if (alive.empty() || NowMs() >= until) break;
    usleep(10000);
  }
  if (!alive.empty()) {
    fault = {"exit: a child process outlived the engine",
             "child " + std::to_string(alive[0].pid) + " still ran " + std::to_string(waitMs) + " ms after the engine ended"};
    for (const ProcessTimes& p : alive) kill(p.pid, SIGKILL);
    return true;
  }
  const std::vector<std::string> names = GroupSharedNames(pid);
  if (names.empty()) return false;
  std::string list;
  for (const std::string& name : names) list += " /dev/shm/" + name;
  fault = {"exit: shared-memory names left after the engine ended", "left:" + list};
  for (const std::string& name : names) unlink(("/dev/shm/" + name).c_str());
  return true;
}

// With TOLVO_FUZZ_TRACE set to a file name, every line sent and received is
// appended there with its time: the record a reproduction cannot hold.
static FILE* TraceFile() {
  static FILE* file = [] {
    const char* name = std::getenv("TOLVO_FUZZ_TRACE");
    return name && *name ? std::fopen(name, "a") : nullptr;
  }();
  return file;
}

static void Trace(char direction, const std::string& text) {
  FILE* f = TraceFile();
  if (!f) return;
  std::fprintf(f, "%llu %c %s%s", static_cast<unsigned long long>(NowMs()), direction, text.c_str(),
               !text.empty() && text.back() == '\n' ? "" : "\n");
  std::fflush(f);
}

SessionOutcome RunSession(const FuzzConfig& config, const StepSource& source, int lingerMs) {
  SessionOutcome out;
  Trace('#', "session start");
  CleanDirectory(config.workDir);
  EnginePipe pipe;
  std::string error;
  if (!pipe.Start(config.binary, config.workDir, error)) {
    out.faulted = true;
    out.fault = {"start: " + error, ""};
    return out;
  }
  ProtocolModel model(config.timeouts);
  uint64_t lastStepStart = NowMs();
  bool exited = false;
  uint64_t answers = 0, answerAt = 0;   // answers seen, and when the last one came

  // Moves data for `ms`; false once the model has a fault or the process has ended.
  auto pump = [&](int ms) {
    const uint64_t end = NowMs() + uint64_t(ms);
    for (;;) {
      const uint64_t now = NowMs();
      pipe.Pump(now >= end ? 0 : int(std::min<uint64_t>(end - now, 20)));
      std::string line;
      while (pipe.NextLine(line)) {
        Trace('<', line), model.OnOutput(line, NowMs());
        if (model.Answers() != answers) answers = model.Answers(), answerAt = NowMs();
      }
      if (pipe.Exited()) {
        while (pipe.NextLine(line)) Trace('<', line), model.OnOutput(line, NowMs());
        exited = true;
        return false;
      }
      model.OnTick(NowMs());
      if (model.HasFault()) return false;
      if (NowMs() >= end) return true;
    }
  };
  auto send = [&](const std::string& bytes) {
    pipe.Write(bytes);
    Trace('>', bytes);
    model.OnInput(bytes, NowMs());
    out.lines += uint64_t(std::count(bytes.begin(), bytes.end(), '\n'));
  };
  // Waits until every answer owed has arrived; stops what runs too long.
  auto settle = [&](std::string& note) {
    const Timeouts& t = config.timeouts;
    if (model.Desynced()) {
      send("stop\nstop\nstop\nisready\n");
      note = "stop, stop, stop, isready; wait for readyok";
      while (model.ReadyOutstanding() > 0)
        if (!pump(20)) return false;
      return true;
    }
    int stops = 0;
    note = "wait for every answer";
    if (model.PendingUnreleased() && !pump(t.earlyMs)) return false;
    while (model.WorkOutstanding() && stops < 6) {
      if (!model.PendingUnreleased()) {
        const uint64_t until = NowMs() + uint64_t(t.settleMs);
        while (model.WorkOutstanding() && NowMs() < until)
          if (!pump(20)) return false;
        if (!model.WorkOutstanding()) break;
        if (!model.FiniteWorkRunning() && !model.PendingUnreleased()) {
          // Everything is stopped: its answers are due before their deadlines.
          if (!pump(20)) return false;
          continue;
        }
      }
      send("stop\n");
      ++stops;
      note = "wait for every answer (after " + std::to_string(t.settleMs) + " ms without one: stop; sent " +
             std::to_string(stops) + " stop" + (stops > 1 ? "s)" : ")");
      if (!pump(0)) return false;
    }
    return true;
  };
  // Lets a search end by itself; then waits as a settle does.
  auto awaitAnswer = [&](std::string& note) {
    const uint64_t until = NowMs() + uint64_t(2 * config.timeouts.settleMs);
    while (model.FiniteWorkRunning() && !model.PendingUnreleased() && NowMs() < until)
      if (!pump(20)) return false;
    std::string settleNote;
    if (!settle(settleNote)) return false;
    note = "wait for the search to end by itself (" + std::to_string(2 * config.timeouts.settleMs) +
           " ms at most), then " + settleNote;
    return true;
  };

  // Once an answer has come and nothing runs, the engine's children must fall
  // idle: their CPU time is sampled from a moment after the answer. A child
  // that used more than the slack is sampled again: on a loaded machine a
  // child at its low priority may finish its last stretch late, but one that
  // goes on searching stays busy window after window.
  bool armed = false;          // a step asked for the check after the answer of its search
  uint64_t armedAnswers = 0;   // answers seen when it was sent
  auto checkChildren = [&]() {
    if (!armed || model.Answers() == armedAnswers) return true;
    armed = false;
    if (!model.GroupShouldBeIdle()) return true;
    const Timeouts& t = config.timeouts;
    const uint64_t from = answerAt + uint64_t(t.childGraceMs);
    if (NowMs() < from && !pump(int(from - NowMs()))) return false;
    if (!model.GroupShouldBeIdle()) return true;
    std::vector<ProcessTimes> before = ChildProcesses(pipe.Pid());
    if (before.empty()) return true;
    ++model.Stats().childChecks;
    std::string used;
    for (int window = 0; window < Timeouts::childBusyWindows; ++window) {
      if (!pump(t.childSampleMs)) return false;
      std::vector<ProcessTimes> after = ChildProcesses(pipe.Pid());
      const auto busy = BusyChildren(before, after, Timeouts::childSlackTicks);
      if (busy.empty() || !model.GroupShouldBeIdle()) return true;
      used += (window ? ", " : "") + std::to_string(busy[0].second);
      before = std::move(after);
    }
    const std::string answered = model.LastAnswered();
    model.ReportFault("cpu: a child process still works after the answer (" +
                          answered.substr(0, answered.find_first_of(" \t\r")) + ")",
                      "a child used " + used + " ticks (of " + std::to_string(TicksPerSecond()) + " a second) in " +
                          std::to_string(Timeouts::childBusyWindows) + " windows of " + std::to_string(t.childSampleMs) +
                          " ms from " + std::to_string(t.childGraceMs) + " ms after the answer to \"" +
                          ShowBytes(answered.substr(0, 100)) + "\"");
    return false;
  };

  bool ended = false;   // "quit" read or input closed: the process must end now
  std::vector<ProcessTimes> children;
  bool alive = true;
  Step step;
  while (alive && !ended && source(model, step)) {
    lastStepStart = NowMs();
    std::string note;
    if (step.before == Step::Before::Settle) {
      alive = settle(note);
    } else if (step.before == Step::Before::Answer) {
      alive = awaitAnswer(note);
    } else if (step.before == Step::Before::Sleep) {
      alive = pump(step.sleepMs);
      note = "wait " + std::to_string(step.sleepMs) + " ms";
    }
    if (alive && step.quietBefore) {
      const uint64_t until = NowMs() + uint64_t(config.timeouts.settleMs);
      while (alive && model.FiniteWorkRunning() && NowMs() < until) alive = pump(5);
    }
    if (alive) alive = checkChildren();
    step.quietBefore = !model.FiniteWorkRunning();
    out.trace.push_back(step);
    out.waits.push_back(note);
    if (!alive) break;
    const bool pendingBefore = model.PendingUnreleased();
    // The processes the engine started, to see that they end with it: taken
    // before the line that may end it.
    std::string lower = step.bytes;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (step.endInput || lower.find("quit") != std::string::npos) children = ChildProcesses(pipe.Pid());
    if (step.checkChildCpu) {
      armed = true;
      armedAnswers = model.Answers();
    }
    if (!step.bytes.empty()) send(step.bytes);
    if (step.checkChildCpu && !model.WorkOutstanding()) armed = false;   // it started nothing
    // An answer that a ponder/infinite search gives at once must be seen
    // before the next command, which the engine would otherwise refuse. The
    // moment counts from when the engine has read the line (a process just
    // started may take a while to get there).
    if (!pendingBefore && model.PendingUnreleased()) {
      const uint64_t until = NowMs() + uint64_t(config.timeouts.readyMs);
      while (alive && !pipe.InputDrained() && NowMs() < until) alive = pump(2);
      if (alive) alive = pump(config.timeouts.earlyMs);
    }
    if (step.endInput) {
      pipe.CloseInput();
      model.OnInputEnd(NowMs());
    }
    if (alive) alive = pump(0);
    if (alive && step.awaitReady)
      while (alive && model.ReadyOutstanding() > 0) alive = pump(20);
    ended = model.QuitRead() || step.endInput;
    if (config.reportSlowStepsMs && NowMs() - lastStepStart >= uint64_t(config.reportSlowStepsMs))
      std::fprintf(stderr, "  slow step (%llu ms, %s): %s\n", (unsigned long long)(NowMs() - lastStepStart),
                   note.c_str(), ShowBytes(step.bytes).c_str());
  }
  if (alive && !ended && lingerMs > 0) alive = pump(lingerMs);
  if (alive && !ended) alive = checkChildren();


  bool killed = false;
  if (ended && !model.HasFault() && !exited) {
    // The process must end within the exit time; its last lines still count.
    // A "quit" after a full bench waits for it: that takes many seconds.
    const int exitMs = config.timeouts.exitMs * (model.QuitRead() && model.CountRunning() ? 3 : 1);
    const uint64_t until = NowMs() + uint64_t(exitMs);
    while (!exited && !model.HasFault() && NowMs() < until) pump(20);
    if (!exited && !model.HasFault()) model.ReportExitHang(exitMs);
  }
  if (!exited) {
    pipe.Kill();
    killed = true;
  }
  out.errorText = pipe.ErrorText();
  // How the process ended outweighs what the model saw on the way there; a
  // process the fuzzer had to kill is judged by its stderr alone.
  Fault exitFault;
  const bool endAsked = ended || model.QuitRead();
  if (killed ? ExitFault(out.errorText, 0, 0, true, exitFault)
             : ExitFault(out.errorText, pipe.ExitCode(), pipe.TermSignal(), endAsked, exitFault)) {
    out.faulted = true;
    out.fault = exitFault;
  } else if (model.HasFault()) {
    out.faulted = true;
    out.fault = model.FirstFault();
  } else if (!killed && ended) {
    model.OnExit();
    if (model.HasFault()) {
      out.faulted = true;
      out.fault = model.FirstFault();
    } else if (LeftBehind(pipe.Pid(), children, config.timeouts.exitMs, out.fault)) {
      out.faulted = true;
    }
  }
  out.faultDelayMs = int(NowMs() - lastStepStart);
  out.stats = model.Stats();
  return out;
}

namespace {
// Candidate with the steps of `trace` whose index is not in [from, to).
std::vector<Step> Without(const std::vector<Step>& trace, size_t from, size_t to) {
  std::vector<Step> out(trace.begin(), trace.begin() + long(from));
  out.insert(out.end(), trace.begin() + long(to), trace.end());
  return out;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  size_t start = 0;
  for (;;) {
    const size_t blank = line.find(' ', start);
    words.push_back(line.substr(start, blank == std::string::npos ? std::string::npos : blank - start));
    if (blank == std::string::npos) break;
    start = blank + 1;
  }
  return words;
}

std::string Join(const std::vector<std::string>& words) {
  std::string s;
  for (size_t i = 0; i < words.size(); ++i) s += (i ? " " : "") + words[i];
  return s;
}
}  // namespace

Reproduction Minimize(const std::vector<Step>& trace, const ReplayTest& test, int budgetMs) {
  Reproduction r;
  r.steps = trace;
  const uint64_t deadline = NowMs() + uint64_t(budgetMs);
  auto attempt = [&](const std::vector<Step>& candidate) {
    if (NowMs() >= deadline) return false;
    ++r.replays;
    Replay replay;
    if (!test(candidate, replay)) return false;
    r.steps = candidate;
    r.replay = replay;
    return true;
  };
  // Most faults need only the last few steps; a replay of the whole trace may
  // also fail by chance (timing), so the shorter ones are tried regardless.
  r.confirmed = attempt(trace);
  for (size_t k = 1; k < trace.size() && !(r.confirmed && k >= r.steps.size()); k *= 2)
    if (attempt(std::vector<Step>(trace.end() - long(k), trace.end()))) {
      r.confirmed = true;
      break;
    }
  if (!r.confirmed && !attempt(trace)) {
    r.replay.waits.assign(trace.size(), "");
    return r;
  }
  r.confirmed = true;
  // Whole kinds of commands are often beside the point: try without each.
  auto keyword = [](const Step& s) {
    std::string word = s.bytes.substr(0, s.bytes.find_first_of(" \r\n"));
    for (char& c : word) c = char(std::tolower(static_cast<unsigned char>(c)));
    return word;
  };
  std::vector<std::string> words;
  for (const Step& s : r.steps)
    if (std::find(words.begin(), words.end(), keyword(s)) == words.end()) words.push_back(keyword(s));
  for (const std::string& word : words) {
    std::vector<Step> fewer;
    for (const Step& s : r.steps)
      if (keyword(s) != word) fewer.push_back(s);
    if (fewer.size() < r.steps.size() && !fewer.empty()) attempt(fewer);
  }
  // Then leave out ever smaller runs of steps while the fault stays.
  size_t parts = 2;
  while (r.steps.size() >= 2 && NowMs() < deadline) {
    const size_t size = r.steps.size();
    const size_t chunk = (size + parts - 1) / parts;
    bool reduced = false;
    for (size_t start = 0; start < size && !reduced; start += chunk)
      reduced = attempt(Without(r.steps, start, std::min(size, start + chunk)));
    if (reduced) {
      parts = std::max<size_t>(parts - 1, 2);
    } else {
      if (parts >= size) break;
      parts = std::min(size, parts * 2);
    }
  }
  // Simpler steps: no waits, fewer words in a line, shorter lines.
  for (size_t i = 0; i < r.steps.size() && NowMs() < deadline; ++i) {
    if (r.steps[i].before != Step::Before::None) {
      std::vector<Step> c = r.steps;
      c[i].before = Step::Before::None;
      attempt(c);
    }
    if (r.steps[i].awaitReady) {
      std::vector<Step> c = r.steps;
      c[i].awaitReady = false;
      attempt(c);
    }
    std::string bytes = r.steps[i].bytes;
    const bool newline = !bytes.empty() && bytes.back() == '\n';
    if (newline) bytes.pop_back();
    if (bytes.find('\n') != std::string::npos) continue;
    auto withLine = [&](const std::string& line) {
      std::vector<Step> c = r.steps;
      c[i].bytes = line + (newline ? "\n" : "");
      return c;
    };
    // Long lines: halve them while the fault stays.
    while (bytes.size() > 64 && NowMs() < deadline && attempt(withLine(bytes.substr(0, bytes.size() / 2))))
      bytes = bytes.substr(0, bytes.size() / 2);
    std::vector<std::string> lineWords = Words(bytes);
    for (size_t w = lineWords.size(); w-- > 1 && NowMs() < deadline;) {
      std::vector<std::string> fewer = lineWords;
      fewer.erase(fewer.begin() + long(w));
      if (attempt(withLine(Join(fewer)))) lineWords = fewer;
    }
  }
  r.replay.waits.resize(r.steps.size());
  return r;
}

std::string DescribeSteps(const std::vector<Step>& steps, const std::vector<std::string>& waits) {
  std::string text;
  for (size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    const std::string wait = i < waits.size() ? waits[i] : "";
    if (!wait.empty()) text += "      (" + wait + ")\n";
    std::string bytes = s.bytes;
    size_t start = 0;
    while (start < bytes.size()) {
      size_t nl = bytes.find('\n', start);
      const bool full = nl != std::string::npos;
      if (!full) nl = bytes.size();
      text += "    " + ShowBytes(bytes.substr(start, nl - start)) + (full ? "" : "   (no line feed)") + "\n";
      start = nl + 1;
    }
    if (s.awaitReady) text += "      (wait for readyok)\n";
    if (s.checkChildCpu) text += "      (once its search has answered: the child processes fall idle)\n";
    if (s.endInput) text += "    <end of input>\n";
  }
  return text;
}

}  // namespace fuzz
