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
