// Protocol fuzzer: starts the engine binary again and again, feeds it random
// and mutated command sequences, and checks what a front end relies on: no
// crash or sanitizer report, no hang, no illegal move, no protocol violation.
// Each fault is cut down to a short reproduction.
//
//   tolvo_protocol_fuzz [--seconds N] [--seed S] [--minimize-seconds N]
//                       [--minimize-total N] [--timeout-scale X] [--first-session K] [--verbose] ENGINE
// Sessions are numbered from 1 and each one's commands follow from the seed
// and its number, so --seed S --first-session K starts again at a reported one.
#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <unistd.h>
#include "board/position.h"
#include "common/output.h"
#include "tools/fuzz/command_generator.h"
#include "tools/fuzz/engine_pipe.h"
#include "tools/fuzz/session.h"

namespace {
struct Arguments {
  std::string engine;
  int seconds = 60;
  uint64_t seed = 0;
  bool seedGiven = false;
  uint64_t firstSession = 1;   // to replay a reported session: same seed, its number
  int minimizeSeconds = 60;    // per fault
  int minimizeTotal = 600;     // for all faults of the run
  double timeoutScale = 1.0;
  bool verbose = false;
};

int Usage(const char* message) {
  std::fprintf(stderr, "%s\nusage: tolvo_protocol_fuzz [--seconds N] [--seed S] [--minimize-seconds N] "
                       "[--minimize-total N] [--timeout-scale X] [--first-session K] [--verbose] ENGINE\n", message);
  return 2;
}

bool ReadArguments(int argc, char** argv, Arguments& a) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (arg == "--seconds" && (v = value())) a.seconds = std::atoi(v);
    else if (arg == "--seed" && (v = value())) a.seed = std::strtoull(v, nullptr, 10), a.seedGiven = true;
    else if (arg == "--minimize-seconds" && (v = value())) a.minimizeSeconds = std::atoi(v);
    else if (arg == "--minimize-total" && (v = value())) a.minimizeTotal = std::atoi(v);
    else if (arg == "--timeout-scale" && (v = value())) a.timeoutScale = std::atof(v);
    else if (arg == "--first-session" && (v = value())) a.firstSession = std::strtoull(v, nullptr, 10);
    else if (arg == "--verbose") a.verbose = true;
    else if (!arg.empty() && arg[0] != '-' && a.engine.empty()) a.engine = arg;
    else return false;
  }
  return !a.engine.empty() && a.seconds >= 0 && a.timeoutScale > 0 && a.firstSession >= 1;
}

struct FoundFault {
  fuzz::Fault fault;
  std::string errorText;
  std::vector<fuzz::Step> trace;
  int faultDelayMs = 0;
  int seen = 0;
  uint64_t session = 0;
};

std::string StderrExcerpt(const std::string& text) {
  std::string out;
  size_t start = 0;
  for (int n = 0; n < 8 && start < text.size(); ++n) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out += "      | " + text.substr(start, std::min<size_t>(end - start, 200)) + "\n";
    start = end + 1;
  }
  return out;
}
}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  if (!ReadArguments(argc, argv, args)) return Usage("bad arguments");
  std::signal(SIGPIPE, SIG_IGN);
  // The board library reports bad FENs on "stdout": not here.
  SetStdoutWriter([](std::string_view) {});
  InitBoard();
  // The sanitizers of an instrumented engine report on stderr, with stacks.
  setenv("UBSAN_OPTIONS", "print_stacktrace=1", 0);
  if (std::getenv("TOLVO_SANITIZED") && args.timeoutScale == 1.0) args.timeoutScale = 3.0;
  if (!args.seedGiven) args.seed = fuzz::NowMs() ^ (uint64_t(getpid()) << 20);

  char resolved[PATH_MAX];
  if (!realpath(args.engine.c_str(), resolved) || access(resolved, X_OK) != 0)
    return Usage(("engine not found: " + args.engine).c_str());
  char workDir[] = "/tmp/tolvo-fuzz-XXXXXX";
  if (!mkdtemp(workDir)) return Usage("cannot create a working directory under /tmp");

  fuzz::FuzzConfig config;
  config.binary = resolved;
  config.workDir = workDir;
  auto scaled = [&](int ms) { return int(ms * args.timeoutScale); };
  config.timeouts.readyMs = scaled(config.timeouts.readyMs);
  config.timeouts.stopMs = scaled(config.timeouts.stopMs);
  config.timeouts.exitMs = scaled(config.timeouts.exitMs);
  config.timeouts.settleMs = scaled(config.timeouts.settleMs);
  config.timeouts.earlyMs = scaled(config.timeouts.earlyMs);
  if (args.verbose) config.reportSlowStepsMs = 300;

  std::map<std::string, FoundFault> found;
  fuzz::ControllerStats stats;
  std::vector<std::string> order;
  uint64_t lines = 0, sessions = args.firstSession - 1;
  const uint64_t start = fuzz::NowMs();
  const uint64_t end = start + uint64_t(args.seconds) * 1000;
  while (fuzz::NowMs() < end) {
    fuzz::CommandGenerator generator(args.seed * 1000003 + sessions);
    const int length = generator.SessionLength();
    int made = 0;
    bool closed = false;
    const fuzz::StepSource source = [&](const fuzz::ProtocolModel& model, fuzz::Step& step) {
      if (closed) return false;
      // The time limit ends a session early, as any front end may.
      if (made++ < length && fuzz::NowMs() < end) {
        step = generator.Next(model);
      } else {
        step = generator.End(model);
        closed = true;
      }
      return true;
    };
    const uint64_t sessionStart = fuzz::NowMs();
    fuzz::SessionOutcome outcome = fuzz::RunSession(config, source, 0);
    lines += outcome.lines;
    stats.Add(outcome.stats);
    ++sessions;
    if (args.verbose)
      std::fprintf(stderr, "session %llu: %zu steps, %llu ms%s%s\n", (unsigned long long)sessions, outcome.trace.size(),
                   (unsigned long long)(fuzz::NowMs() - sessionStart),
                   outcome.faulted ? ", fault: " : "", outcome.faulted ? outcome.fault.signature.c_str() : "");
    if (!outcome.faulted) continue;
    FoundFault& f = found[outcome.fault.signature];
    if (f.seen++ == 0) {
      f.fault = outcome.fault;
      f.errorText = outcome.errorText;
      f.trace = outcome.trace;
      f.faultDelayMs = outcome.faultDelayMs;
      f.session = sessions;
      order.push_back(outcome.fault.signature);
    }
  }
  const double seconds = double(fuzz::NowMs() - start) / 1000.0;

  // Cut each fault down to a short reproduction.
  std::string report;
  const uint64_t minimizeEnd = fuzz::NowMs() + uint64_t(args.minimizeTotal) * 1000;
  int index = 0;
  for (const std::string& signature : order) {
    const FoundFault& f = found[signature];
    const int lingerMs =
        std::clamp(f.faultDelayMs + 500, 500,
                   2 * std::max({config.timeouts.readyMs, config.timeouts.stopMs, config.timeouts.exitMs}));
    const fuzz::ReplayTest test = [&](const std::vector<fuzz::Step>& steps, fuzz::Replay& replay) {
      size_t next = 0;
      const fuzz::SessionOutcome o = fuzz::RunSession(
          config,
          [&](const fuzz::ProtocolModel&, fuzz::Step& s) {
            if (next >= steps.size()) return false;
            s = steps[next++];
            return true;
          },
          lingerMs);
      replay = {o.waits, o.fault.detail, o.errorText};
      if (args.verbose)
        std::fprintf(stderr, "  replay of %zu steps: %s\n", steps.size(), o.faulted ? o.fault.signature.c_str() : "no fault");
      return o.faulted && o.fault.signature == signature;
    };
    const uint64_t now = fuzz::NowMs();
    const int budget = now >= minimizeEnd ? 0 : int(std::min<uint64_t>(minimizeEnd - now, uint64_t(args.minimizeSeconds) * 1000));
    fuzz::Reproduction r;
    if (budget > 0) {
      r = fuzz::Minimize(f.trace, test, budget);
    } else {
      r.steps = f.trace;
      r.replay.waits.assign(f.trace.size(), "");
    }
    // The evidence of the shortest replay, when there is one.
    const std::string detail = r.confirmed ? r.replay.detail : f.fault.detail;
    const std::string errorText = r.confirmed ? r.replay.errorText : f.errorText;
    ++index;
    char head[160];
    std::snprintf(head, sizeof head, "FAULT %d of %zu (seen %d time%s, first in session %llu)\n", index, order.size(),
                  f.seen, f.seen == 1 ? "" : "s", (unsigned long long)f.session);
    report += head;
    report += "  " + signature + "\n";
    if (!detail.empty()) report += "    " + detail + "\n";
    if (!errorText.empty()) report += "    stderr:\n" + StderrExcerpt(errorText);
    report += std::string("  reproduction (") + std::to_string(r.steps.size()) + " step" +
              (r.steps.size() == 1 ? "" : "s") +
              (r.confirmed ? ", confirmed on replay" : budget > 0 ? ", NOT reproduced on replay" : ", not minimized") +
              "; engine started without arguments, input kept open unless shown):\n";
    report += fuzz::DescribeSteps(r.steps, r.replay.waits);
    report += "\n";
  }

  char summary[512];
  std::snprintf(summary, sizeof summary,
                "tolvo_protocol_fuzz: seed %llu, %.0f s, %llu commands (%.0f/s) in %llu sessions, %zu fault%s\n",
                (unsigned long long)args.seed, seconds, (unsigned long long)lines, seconds > 0 ? double(lines) / seconds : 0.0,
                (unsigned long long)(sessions - (args.firstSession - 1)), order.size(), order.size() == 1 ? "" : "s");
  std::fputs(summary, stdout);
  std::snprintf(summary, sizeof summary,
                "  controller: %llu slave searches answered; %llu deny/take/MultiPV lines during searches, %llu of them "
                "surely read there; %llu taking (%llu owed), %llu result, %llu posting lines; %llu child CPU checks\n",
                (unsigned long long)stats.searches, (unsigned long long)stats.lines, (unsigned long long)stats.linesRead,
                (unsigned long long)stats.takings, (unsigned long long)stats.takingsOwed,
                (unsigned long long)stats.results, (unsigned long long)stats.postings,
                (unsigned long long)stats.childChecks);
  std::fputs(summary, stdout);
  if (!report.empty()) std::fputs(("\n" + report).c_str(), stdout);
  std::fflush(stdout);
  rmdir(workDir);
  return order.empty() ? 0 : 1;
}
