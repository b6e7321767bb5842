// One engine process from start to end: steps are sent, every output line
// goes through the protocol model, and the way the process ends (exit code,
// signal, sanitizer report on stderr) is judged. A faulty session can be
// replayed and cut down to a short reproduction.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "tools/fuzz/command_generator.h"
#include "tools/fuzz/protocol_model.h"

namespace fuzz {

struct FuzzConfig {
  std::string binary;      // the engine, absolute path
  std::string workDir;     // an empty directory the engine runs in (its logs and hash files land there)
  Timeouts timeouts;
  int reportSlowStepsMs = 0;   // non-zero: steps that take longer are listed on stderr
};

// Supplies the steps of a session; false ends the session without a closing step.
using StepSource = std::function<bool(const ProtocolModel& model, Step& step)>;

struct SessionOutcome {
  bool faulted = false;
  Fault fault;
  std::string errorText;          // what the engine wrote to stderr
  std::vector<Step> trace;        // the steps as executed
  std::vector<std::string> waits; // per step: what its wait did, for the report
  uint64_t lines = 0;             // command lines written
  int faultDelayMs = 0;           // from the start of the last step to the fault
  ControllerStats stats;          // what the controller's dialogue exercised
};

// Runs one session. When the source runs out before the engine's input has
// ended, output is watched for `lingerMs` more (a replayed fault may need it).
SessionOutcome RunSession(const FuzzConfig& config, const StepSource& source, int lingerMs);

// The fault that the end of the process shows, if any: a sanitizer report,
// a signal, an exit code other than 0, other text on stderr, or an end the
// front end did not ask for.
bool ExitFault(const std::string& errorText, int exitCode, int signal, bool endAsked, Fault& fault);

// What a replay showed: the waits it made and the evidence of its fault.
struct Replay {
  std::vector<std::string> waits;
  std::string detail;
  std::string errorText;
};
struct Reproduction {
  std::vector<Step> steps;
  Replay replay;            // of the steps kept
  bool confirmed = false;   // the steps gave the same fault again
  int replays = 0;
};
// Cuts a faulty trace down to the fewest steps and tokens that still give a
// fault with the same signature, within `budgetMs`. `test` runs a candidate
// and tells whether the fault came back (it is RunSession in the fuzzer; the
// tests give their own).
using ReplayTest = std::function<bool(const std::vector<Step>& steps, Replay& replay)>;
Reproduction Minimize(const std::vector<Step>& trace, const ReplayTest& test, int budgetMs);

// The steps as text for the report, one line each.
std::string DescribeSteps(const std::vector<Step>& steps, const std::vector<std::string>& waits);
// A line of bytes as readable text (control bytes escaped, long lines abridged).
std::string ShowBytes(const std::string& bytes);

}  // namespace fuzz
