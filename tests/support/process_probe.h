// What the tests see of processes from outside: children in the process
// list, whether one still runs, the shared-memory names an engine owns.
#pragma once
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>
#include "platform/platform.h"

// Processes whose parent is `pid` (from /proc).
inline std::vector<int> ChildrenOf(int pid) {
  std::vector<int> found;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // pid (comm) state ppid ...: the comm may hold blanks, so read after its ')'.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    char state;
    int ppid = 0;
    rest >> state >> ppid;
    if (ppid == pid) found.push_back(std::stoi(name));
  }
  return found;
}

// A process that still runs (an ended one may wait as a zombie until its
// new parent collects it).
inline bool ProcessExists(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

// Shared objects of an engine process: its table and exchange areas.
inline std::set<std::string> NamesOf(int pid) {
  std::set<std::string> names;
  const std::string id = std::to_string(pid);
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm")) {
    const std::string name = entry.path().filename().string();
    if (name == "TolvoSync1" + id || (name.rfind("TolvoEx", 0) == 0 && name.size() > id.size() + 7 &&
                                      name.compare(name.size() - id.size(), id.size(), id) == 0))
      names.insert(name);
  }
  return names;
}

inline bool WaitUntil(const std::function<bool()>& done, int ms) {
  for (int waited = 0; waited < ms; waited += 20) {
    if (done()) return true;
    platform::SleepMs(20);
  }
  return done();
}

