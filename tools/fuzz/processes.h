// The engine's other processes as the fuzzer sees them from outside, through
// /proc and /dev/shm: its children and their CPU time (a child still
// searching after the answer burns it), whether they outlive the engine, and
// the shared-memory names a group leaves behind.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

struct ProcessTimes {
  int pid = 0;
  uint64_t start = 0;   // start time in clock ticks since boot: tells a reused id apart
  uint64_t ticks = 0;   // user and system CPU time in clock ticks
};

// The processes whose parent is `parent`, with their CPU time.
std::vector<ProcessTimes> ChildProcesses(int parent);
// The process still exists (and is not a zombie waiting to be reaped).
bool ProcessAlive(const ProcessTimes& p);
// The children of `before` that used more than `slackTicks` of CPU time by
// `after`, with the ticks each used.
std::vector<std::pair<ProcessTimes, uint64_t>> BusyChildren(const std::vector<ProcessTimes>& before,
                                                            const std::vector<ProcessTimes>& after, uint64_t slackTicks);
// Names in `directory` (normally /dev/shm) of the shared objects of the group
// whose parent is `pid`: "TolvoSync1<pid>" and "TolvoEx<generation><pid>".
std::vector<std::string> GroupSharedNames(int pid, const std::string& directory = "/dev/shm");
// Clock ticks per second of the CPU times.
long TicksPerSecond();

}  // namespace fuzz
