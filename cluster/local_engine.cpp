#include "cluster/local_engine.h"

#include <algorithm>
#include <cctype>
#include "group/process_group.h"
#include "platform/platform.h"

namespace cluster {

namespace {
// The option a setoption line names, in lower case (its value left out).
std::string OptionName(const std::string& line) {
  std::string lower = line;
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  const size_t name = lower.find("name ");
  if (name == std::string::npos) return lower;
  const size_t value = lower.find(" value", name);
  return lower.substr(name + 5, value == std::string::npos ? std::string::npos : value - name - 5);
}
bool Starts(const std::string& line, const char* word) { return line.rfind(word, 0) == 0; }
}  // namespace

bool LocalEngine::Launch(int timeoutMs) {
  process_ = std::make_unique<platform::ChildProcess>();
  if (!process_->Start(path_, {path_})) return false;
  process_->WriteLine("uci");
  std::vector<std::string> options;
  const uint64_t deadline = platform::NowMs() + uint64_t(timeoutMs);
  std::string line;
  while (platform::NowMs() < deadline) {
    if (!process_->ReadLine(line, 100)) {
      if (process_->Wait(0) != -1) return false;
      continue;
    }
    if (Starts(line, "option ")) options.push_back(line);
    if (line == "uciok") {
      if (options_.empty()) options_ = options;
      return true;
    }
  }
  return false;
}

bool LocalEngine::Start(const std::string& path, int timeoutMs) {
  path_ = path;
  return Launch(timeoutMs);
}

void LocalEngine::Send(const std::string& line) {
  if (Starts(line, "setoption ")) {
    const std::string name = OptionName(line);
    auto same = [&](const std::string& s) { return OptionName(s) == name; };
    // Buttons act once; only settings are replayed.
    if (name != "clear hash" && name != "save hash" && name != "load hash") {
      setup_.erase(std::remove_if(setup_.begin(), setup_.end(), same), setup_.end());
      setup_.push_back(line);
    }
  } else if (Starts(line, "position")) {
    position_ = line;
  }
  if (process_) process_->WriteLine(line);
}

bool LocalEngine::Poll(std::string& line, int timeoutMs) { return process_ && process_->ReadLine(line, timeoutMs); }

bool LocalEngine::Alive() { return process_ && process_->Wait(0) == -1; }

bool LocalEngine::Restart() {
  if (process_) {
    // What is left of it goes: the process, then the shared objects it had.
    const int dead = process_->Pid();
    process_.reset();
    RemoveSharedObjectsOf(dead);
  }
  ++restarts_;
  if (!Launch(10000)) return false;
  for (const std::string& line : setup_) process_->WriteLine(line);
  if (!position_.empty()) process_->WriteLine(position_);
  return true;
}

void LocalEngine::Quit(int timeoutMs) {
  if (!process_) return;
  process_->WriteLine("quit");
  process_->CloseInput();
  if (process_->Wait(timeoutMs) == -1) platform::KillProcess(process_->Pid());
  process_->Wait(1000);
  process_.reset();
}

}  // namespace cluster
