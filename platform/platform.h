// The engine's only door to the operating system. Everything outside this
// folder calls these functions instead of POSIX or Linux interfaces.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Milliseconds of a monotonic clock; never wraps.
uint64_t NowMs();
void SleepMs(int ms);

// True when the processor has the population-count instruction.
bool CpuHasPopcount();

// The program's own command-line entry (argv[0]), recorded at start-up.
void SetOwnEntry(const char* argv0);
const std::string& OwnEntry();
// The whole command line as the system reports it, entries joined by blanks.
std::string CommandLine();
std::vector<std::string> CommandLineEntries();

int ProcessId();
// The process that started this one (1 or a subreaper once that one is gone).
int ParentProcessId();
int ProcessorCount();

// Standard input is a terminal ("console") rather than a pipe or file.
bool StdinIsConsole();
// Standard error is a terminal (a progress line may then rewrite itself).
bool StderrIsTerminal();

// Writes to standard output; a failed write calls the failure handler
// (the engine's quit path). Broken pipes raise no signal.
void IgnoreBrokenPipes();
void SetStdoutFailureHandler(void (*handler)());
void WriteStdout(const char* data, size_t size);

// Read end of a pipe that stays open and silent for the life of the
// process (for running searches inside a program without a front end).
int IdleInputDescriptor();

// Text of a system error code.
std::string SystemErrorText(int code);
int LastErrorCode();

// Line-oriented reader of standard input with its own buffer, so that the
// search can ask without blocking whether a whole command line is waiting.
enum class InputState { Nothing, LineWaiting, Ended };
class LineReader {
 public:
  explicit LineReader(int fd = 0, size_t maxLine = 1 << 20) : fd_(fd), maxLine_(maxLine) {}
  // Blocks for the next line (without its line feed). Returns false at end of
  // input or on a read error when nothing is left. Lines longer than the cap
  // keep their first maxLine characters; the rest is dropped.
  bool ReadLine(std::string& line);
  // Never blocks: reads what is available and reports whether a whole line
  // waits, nothing does, or the input has ended (nothing buffered).
  InputState Poll();
  // The next whole line, if one waits, without taking it.
  bool PeekLine(std::string& line) const;
  // errno of the failure that ended the input (0 for a plain end of input).
  int EndError() const { return endError_; }
  void SetFd(int fd) { fd_ = fd; }

 private:
  bool FillOnce(bool block);   // false when the input ended
  bool TakeLine(std::string& line);
  int fd_;
  size_t maxLine_;
  std::string buffer_;
  bool ended_ = false;
  bool discarding_ = false;    // inside the dropped tail of an over-long line
  int endError_ = 0;
};

}  // namespace platform
