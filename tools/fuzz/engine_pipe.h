// A program under test with pipes on its standard input, output and error.
// Unlike platform::ChildProcess (which sends the child's stderr to /dev/null)
// this keeps stderr, where the sanitizers write their reports, and never
// blocks: input is queued and written as the program reads it, so a program
// that stops reading cannot stall the caller.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace fuzz {

class EnginePipe {
 public:
  EnginePipe() = default;
  EnginePipe(const EnginePipe&) = delete;
  EnginePipe& operator=(const EnginePipe&) = delete;
  ~EnginePipe();   // kills a program that still runs

  // Starts `binary` (no arguments) in `workingDirectory`. False with a reason on failure.
  bool Start(const std::string& binary, const std::string& workingDirectory, std::string& error);
  // Queues bytes for the program's standard input.
  void Write(const std::string& bytes);
  // Closes standard input once everything queued has been written.
  void CloseInput();
  bool InputClosed() const { return closeRequested_; }
  // Bytes queued but not yet taken by the program.
  size_t QueuedInput() const { return pendingInput_.size() - pendingOffset_; }
  // True once the program has read everything written so far (it may still
  // be working on the lines it read).
  bool InputDrained() const;

  // Moves data for at most timeoutMs (0: only what is ready now). Returns
  // early as soon as a new output line is complete or the program has ended.
  void Pump(int timeoutMs);
  // Next complete line of standard output (without its line feed).
  bool NextLine(std::string& line);
  // Everything the program wrote to standard error so far.
  const std::string& ErrorText() const { return errorText_; }

  // True once the program has ended; `Status` then tells how.
  bool Exited();
  // Exit code, or -1 when it ended by a signal.
  int ExitCode() const { return exitCode_; }
  // Signal that ended it, or 0.
  int TermSignal() const { return termSignal_; }
  // Its process id (-1 before a start).
  int Pid() const { return pid_; }
  void Kill();

 private:
  void ReadFrom(int& fd, std::string& into, bool isStdout);
  void FlushInput();
  void Reap(bool block);

  int pid_ = -1;
  int toChild_ = -1, fromChild_ = -1, errChild_ = -1;
  std::string pendingInput_;
  size_t pendingOffset_ = 0;
  bool closeRequested_ = false;
  std::string outBuffer_;
  std::deque<std::string> lines_;
  std::string errorText_;
  bool exited_ = false;
  int exitCode_ = -1;
  int termSignal_ = 0;
};

// Milliseconds of a monotonic clock.
uint64_t NowMs();

}  // namespace fuzz
