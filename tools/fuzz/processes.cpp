#include "tools/fuzz/processes.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fuzz {

namespace {
struct Stat {
  int pid = 0;
  char state = '?';
  int parent = 0;
  uint64_t ticks = 0;
  uint64_t start = 0;
};

// /proc/<pid>/stat; the command name in parentheses may hold blanks and
// parentheses itself, so the fields are counted from the last ')'.
bool ReadStat(int pid, Stat& s) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(in, text)) return false;
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream fields(text.substr(close + 1));
  std::vector<std::string> f;
  for (std::string word; fields >> word;) f.push_back(word);
  // f[0] is field 3 (state): utime is field 14, stime 15, starttime 22.
  if (f.size() < 20) return false;
  s.pid = pid;
  s.state = f[0][0];
  s.parent = std::atoi(f[1].c_str());
  s.ticks = std::strtoull(f[11].c_str(), nullptr, 10) + std::strtoull(f[12].c_str(), nullptr, 10);
  s.start = std::strtoull(f[19].c_str(), nullptr, 10);
  return true;
}

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}
}  // namespace

std::vector<ProcessTimes> ChildProcesses(int parent) {
  std::vector<ProcessTimes> children;
  DIR* d = opendir("/proc");
  if (!d) return children;
  while (dirent* e = readdir(d)) {
    if (!AllDigits(e->d_name)) continue;
    Stat s;
    if (ReadStat(std::atoi(e->d_name), s) && s.parent == parent && s.state != 'Z')
      children.push_back({s.pid, s.start, s.ticks});
  }
  closedir(d);
  return children;
}

bool ProcessAlive(const ProcessTimes& p) {
  Stat s;
  return ReadStat(p.pid, s) && s.start == p.start && s.state != 'Z' && s.state != 'X';
}

std::vector<std::pair<ProcessTimes, uint64_t>> BusyChildren(const std::vector<ProcessTimes>& before,
                                                            const std::vector<ProcessTimes>& after, uint64_t slackTicks) {
  std::vector<std::pair<ProcessTimes, uint64_t>> busy;
  for (const ProcessTimes& a : after)
    for (const ProcessTimes& b : before)
      if (a.pid == b.pid && a.start == b.start && a.ticks > b.ticks + slackTicks) busy.push_back({a, a.ticks - b.ticks});
  return busy;
}

std::vector<std::string> GroupSharedNames(int pid, const std::string& directory) {
  std::vector<std::string> names;
  const std::string id = std::to_string(pid);
  DIR* d = opendir(directory.c_str());
  if (!d) return names;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name.size() <= id.size() || name.compare(name.size() - id.size(), id.size(), id) != 0) continue;
    const std::string head = name.substr(0, name.size() - id.size());
    // The generation of an exchange area is a small number that does not
    // start with 0; "TolvoEx1" + "41000" is not another group's "TolvoEx" +
    // "141000" when that process does not exist.
    bool ours = head == "TolvoSync1";
    if (head.rfind("TolvoEx", 0) == 0) {
      const std::string generation = head.substr(7);
      ours = AllDigits(generation) && generation[0] != '0' && generation.size() <= 6;
      for (size_t split = 1; ours && split <= generation.size(); ++split) {
        const std::string other = generation.substr(split - 1) + id;   // a longer id reading the same name
        if (split > 1 && other[0] != '0' && access(("/proc/" + other).c_str(), F_OK) == 0) ours = false;
      }
    }
    if (ours) names.push_back(name);
  }
  closedir(d);
  return names;
}

long TicksPerSecond() {
  static const long ticks = sysconf(_SC_CLK_TCK);
  return ticks > 0 ? ticks : 100;
}

}  // namespace fuzz
