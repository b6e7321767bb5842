// Random and mutated command sequences for the engine: every keyword of the
// command loop and the extra commands, every option with ordinary and
// extreme values, "go" with every keyword, legal, illegal and inconsistent
// positions, long lines, random bytes, CR LF line ends and ends of input at
// random points; and runs of a work-sharing controller's dialogue with a
// two-process group ("go ... slave N id J" searches, with "deny", "take",
// "posted", "slave mode" and MultiPV lines at random moments while they
// run). It asks the model what runs so that most commands reach the engine
// in a state the model can predict.
#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <vector>
#include "tools/fuzz/protocol_model.h"

namespace fuzz {

// One thing the fuzzer does: an optional wait, then bytes to the engine.
struct Step {
  enum class Before { None, Settle, Sleep, Answer };
  // Settle: wait for every answer owed, stopping what runs too long.
  // Answer: let the running search end by itself (for twice the settle time at most), then settle.
  Before before = Before::None;
  int sleepMs = 0;
  std::string bytes;              // written as they are (a command line ends with "\n")
  bool endInput = false;          // close the engine's input after the bytes
  bool awaitReady = false;        // wait for the answer to every isready sent
  // Once the search this step starts has answered (and nothing else runs),
  // the engine's other processes must fall idle: their CPU time is sampled.
  bool checkChildCpu = false;
  // Set when the step ran: no search or count was running before it. A replay
  // waits for that state again, so that timing does not change what it tests.
  bool quietBefore = false;
};

class CommandGenerator {
 public:
  explicit CommandGenerator(uint64_t seed) : rng_(seed) {}
  // Number of steps of the next session before its end.
  int SessionLength();
  // The next step, given what the engine runs now.
  Step Next(const ProtocolModel& model);
  // The step that ends the session: "quit" or the end of input, at any point.
  Step End(const ProtocolModel& model);

  // Pieces, public for the tests.
  std::string PositionLine(const ProtocolModel& model);
  std::string GoLine(const ProtocolModel& model);
  std::string SetOptionLine(bool extreme = false);
  std::string Mutate(const std::string& line);
  std::string ControllerGoLine(const ProtocolModel& model);
  std::string PostedLine(const Position* root);

 private:
  bool Chance(double p);
  int Int(int lo, int hi);
  template <class T> const T& Pick(const std::vector<T>& v) { return v[size_t(Int(0, int(v.size()) - 1))]; }
  std::string Number(int lo, int hi);      // mostly in range, sometimes at or beyond the int limits
  std::string Extreme();
  std::string Fen();
  std::string RandomMoves(const Position& from, int count, bool cycle);
  std::string SomeMoveText(const ProtocolModel& model);
  std::string RandomBytes(size_t length);
  std::string LongLine();
  Step Command(const ProtocolModel& model);
  Step ControllerStep(const ProtocolModel& model);
  std::string ControllerMoveText(const ProtocolModel::SearchView& search);

  std::mt19937_64 rng_;
  int extremeOptionsLeft_ = 0;   // the session opens with options at extreme values
  bool controllerSession_ = false;   // the session mostly plays a controller of a two-process group
  bool groupSet_ = false;            // its "Max CPUs" line has gone out
  int runSearches_ = 0;              // searches the current controller run still starts
};

// Makes a line safe to send: the fuzzer must not make the engine fill the
// machine's memory (a hash table of gigabytes) or write outside its directory.
std::string MakeSafe(const std::string& line);

}  // namespace fuzz
