// Temporary: minimal driver side of the search until the "go" handling lands.
#include "common/output.h"
#include "driver/engine.h"
#include "platform/platform.h"
#include "search/search.h"

void PeriodicCheck() {
  Search.countdown = 4096;
  PollInput();
  if (ElapsedMs() >= Limits.maximumTime) throw SearchStopped{};
}
void ReportPvLine(int, bool, const RootMove& rm) {
  Send("info depth %d score cp %d time %llu nodes %llu pv %s", rm.depth / 2 - 3, rm.score,
       (unsigned long long)rm.time, (unsigned long long)rm.nodes, rm.pv.c_str());
}
uint64_t ElapsedMs() { return platform::NowMs() - Search.startTime; }
