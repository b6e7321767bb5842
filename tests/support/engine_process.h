// Drives the built engine binary through pipes, as a front end would.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>
#include <filesystem>
#include <string>
#include <vector>
#include "platform/process.h"

class EngineProcess {
 public:
  explicit EngineProcess(std::vector<std::string> args = {}, const std::string& binary = TOLVO_BINARY,
                         const std::string& workingDirectory = "") {
    std::vector<std::string> argv{binary};
    argv.insert(argv.end(), args.begin(), args.end());
    started_ = child_.Start(binary, argv, true, workingDirectory);
  }
  bool Started() const { return started_; }
  void Send(const std::string& line) { child_.WriteLine(line); }
  void CloseInput() { child_.CloseInput(); }
  // One line, or false when none came within the timeout (or the output ended).
  bool ReadLine(std::string& line, int timeoutMs) { return child_.ReadLine(line, timeoutMs); }
  // Reads lines until one starts with `prefix`; returns every line read, the
  // matching one last. Fails the test on timeout.
  std::vector<std::string> ReadUntil(const std::string& prefix, int timeoutMs = 20000) {
    std::vector<std::string> lines;
    std::string line;
    while (child_.ReadLine(line, timeoutMs)) {
      lines.push_back(line);
      if (line.rfind(prefix, 0) == 0) return lines;
    }
    ADD_FAILURE() << "no line starting with \"" << prefix << "\" arrived";
    return lines;
  }
  std::string WaitFor(const std::string& prefix, int timeoutMs = 20000) {
    auto lines = ReadUntil(prefix, timeoutMs);
    return lines.empty() ? "" : lines.back();
  }
  // Every line until the output ends (the engine exited) or the timeout.
  std::vector<std::string> ReadAll(int timeoutMs = 5000) {
    std::vector<std::string> lines;
    std::string line;
    while (child_.ReadLine(line, timeoutMs)) lines.push_back(line);
    return lines;
  }
  int Wait(int timeoutMs = 10000) { return child_.Wait(timeoutMs); }
  int Pid() const { return child_.Pid(); }
  // "quit", and the engine must end cleanly.
  void Quit() {
    Send("quit");
    EXPECT_EQ(Wait(), 0);
  }

 private:
  platform::ChildProcess child_;
  bool started_ = false;
};

// Lines whose beginning is `prefix`.
inline int CountPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
  int n = 0;
  for (const std::string& l : lines) n += l.rfind(prefix, 0) == 0;
  return n;
}

// Everything written until the answer to a fresh "isready" (included).
inline std::vector<std::string> Drain(EngineProcess& e) {
  e.Send("isready");
  return e.ReadUntil("readyok");
}

// The "Fen:" line of the board display (read to its end, the key line).
inline std::string FenLine(EngineProcess& e) {
  e.Send("d");
  const std::vector<std::string> lines = e.ReadUntil("Key:");
  return lines.size() >= 2 ? lines[lines.size() - 2] : "";
}

// What the engine writes in answer to one line (up to a fresh "readyok").
inline std::vector<std::string> Answer(EngineProcess& e, const std::string& line) {
  e.Send(line);
  e.Send("isready");
  std::vector<std::string> lines = e.ReadUntil("readyok");
  if (!lines.empty()) lines.pop_back();
  return lines;
}

// A fresh directory of the running test (a working directory for the engine,
// or a place for its files), removed with everything in it at the end.
class ScratchDirectory {
 public:
  ScratchDirectory()
      : path_(std::filesystem::temp_directory_path() /
              ("tolvo_" + std::to_string(getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory() { std::filesystem::remove_all(path_); }
  const std::filesystem::path& Path() const { return path_; }
  std::string Text() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};
