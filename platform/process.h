// Starting another program with pipes on its standard input and output.
#pragma once
#include <string>
#include <vector>

namespace platform {

class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();   // kills a child that is still running

  // Starts `path` with the given argument vector (argv[0] included). With
  // captureOutput false the child's stdout and stderr go to /dev/null.
  bool Start(const std::string& path, const std::vector<std::string>& argv, bool captureOutput = true,
             const std::string& workingDirectory = "");
  // Writes a whole line (a line feed is appended); false when the pipe is broken.
  bool WriteLine(const std::string& line);
  // Closes the child's standard input (it then sees end of input).
  void CloseInput();
  // Next output line, waiting at most timeoutMs; false on timeout or end of output.
  bool ReadLine(std::string& line, int timeoutMs);
  // Waits for the child to end; returns its exit code, or -1 on timeout.
  int Wait(int timeoutMs);
  int Pid() const { return pid_; }

 private:
  int pid_ = -1;
  int toChild_ = -1;
  int fromChild_ = -1;
  std::string buffer_;
  int exitCode_ = -1;
};

}  // namespace platform

namespace platform {

// A copy of this program started as a helper process: its standard input
// is a pipe whose write end this process keeps (close-on-exec, so no other
// helper inherits it and each sees the end of its input when we go).
struct HelperProcess {
  int pid = -1;
  int inputFd = -1;
};

// The file this program was started from ("" when the system cannot say).
std::string OwnProgramPath();
// Starts /proc/self/exe with `argv` (argv[0] included), standard output
// and error on /dev/null; `passFd` >= 0 is handed over as descriptor 3.
// False with the system's error number.
bool StartHelper(const std::vector<std::string>& argv, int passFd, HelperProcess& helper, int& error);
// Writes all of `data` to a descriptor; false with the error number (EPIPE
// when the reader has gone; no signal is raised).
bool WriteAll(int fd, const std::string& data, int& error);
void CloseDescriptor(int fd);
// Sets the nice value of another process; 0 or the system's error number.
int SetNiceOf(int pid, int nice);
// Ends a process at once.
void KillProcess(int pid);
// Sends a signal by its number (tests send what a crash would: SIGSEGV is 11).
void SignalProcess(int pid, int signal);
// Helpers that end are reaped by the system (no zombies are left behind).
void ReapHelpersAutomatically();

}  // namespace platform
