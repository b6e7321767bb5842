// The Tolvo engine a rank drives over pipes. It remembers the lines that set
// it up (options, new games, the position) so that an engine started again
// after a crash is brought back to where the dead one was.
#pragma once
#include <memory>
#include <string>
#include <vector>
#include "platform/process.h"

namespace cluster {

class LocalEngine {
 public:
  // Starts the engine at `path` and waits for its "uciok"; the option lines
  // it announced are kept. False when it does not start or answer in time.
  bool Start(const std::string& path, int timeoutMs = 10000);
  // Sends a line; setup lines are remembered for a restart.
  void Send(const std::string& line);
  // The next line the engine wrote, waiting at most timeoutMs; false on
  // timeout or when the engine has gone.
  bool Poll(std::string& line, int timeoutMs);
  // True while the engine process runs.
  bool Alive();
  // Starts a new engine and replays the setup; false when that fails.
  bool Restart();
  // "quit", then waits for the engine to end (killed after the timeout).
  void Quit(int timeoutMs = 5000);
  int Pid() const { return process_ ? process_->Pid() : -1; }
  const std::vector<std::string>& AnnouncedOptions() const { return options_; }
  int Restarts() const { return restarts_; }

 private:
  bool Launch(int timeoutMs);
  std::string path_;
  std::unique_ptr<platform::ChildProcess> process_;
  std::vector<std::string> options_;
  std::vector<std::string> setup_;        // setoption lines, one per option, in order
  std::string position_;                  // the last position line
  int restarts_ = 0;
};

}  // namespace cluster
