// Time management: the budget of a search from the clock, and the rules of
// the periodic check that end a search (time, nodes, "stop").
#include <algorithm>
#include <cinttypes>
#include "common/output.h"
#include "driver/engine.h"
#include "driver/options.h"
#include "driver/search_driver.h"
#include "platform/platform.h"
#include "search/search.h"

namespace {
// Divisors of the available time: (normal moves, moves with a large
// increment, the longest move), chosen by the longest clock of the game.
struct Divisors {
  int64_t a, b, c;
};
Divisors DivisorsFor(uint64_t largestOwnTime) {
  if (largestOwnTime < 90000) return {60, 44, 6};
  if (largestOwnTime < 150000) return {51, 42, 6};
  return {48, 42, 4};
}

constexpr int64_t IncrementHorizon = 60;     // moves over which an increment is spread
constexpr int64_t PonderFactor = 16;         // tenths: pondering leaves more time per move
constexpr int64_t UnexpectedFactor = 18;     // tenths: a reply we did not ponder on costs more thought
constexpr int64_t DefaultTargetShare = 90;   // percent of the target before the early stop
}  // namespace

TimeBudget AllocateTime(const ClockState& clock, const EngineOptions& options) {
  // Negative values from a confused front end mean "nothing": never more time than the clock holds.
  const int64_t t = std::max<int64_t>(clock.ownTime, 0);
  const int64_t inc = std::max<int64_t>(clock.ownIncrement, 0);
  const int64_t mtg = std::max<int64_t>(clock.movesToGo, 0);
  const int64_t hardBuffer = std::max(options.tcHardBuffer, 0);
  const int64_t hardMoveTime = std::max(options.tcHardMoveTime, 1);
  const int64_t normalPct = options.tcNormalMoveTime, maxPct = options.tcMaxMoveTime;
  const int64_t buffer = std::max(options.tcBuffer, 0);
  const Divisors d = DivisorsFor(clock.largestOwnTime);

  // Sudden death keeps a reserve for the end of the game.
  int64_t reserve = 0;
  if (inc == 0 && mtg == 0) reserve = t - hardBuffer > buffer * 2000 ? buffer * 1000 : (t - hardBuffer) / 2;
  const int64_t avail = std::max(t - hardBuffer - reserve, hardMoveTime);
  const int64_t normal = avail / d.a * normalPct / 100;
  const int64_t cap = avail / d.c * maxPct / 100;

  TimeBudget budget;
  int64_t target, maximum;
  if (mtg > 0) {
    const int64_t y = avail / mtg * 5 / 10;
    target = y * normalPct / 100;
    int64_t m = y * maxPct * 8 / 100;
    if (clock.unexpectedReply) m = m * 15 / 10;
    const int64_t z = (mtg + 1) * avail / (2 * mtg);
    maximum = std::max(std::min(m, z), cap);
    target = std::max(target, normal);
  } else if (inc == 0) {
    target = normal;
    maximum = cap;
    budget.hardMoveDepth = t < hardBuffer;
  } else if (IncrementHorizon * inc >= t) {
    target = avail / d.b * normalPct / 100;
    maximum = avail / 2 * maxPct / 100;
  } else {
    const int64_t k = std::max<int64_t>(1, t / IncrementHorizon);
    const int64_t a = ((k - inc) * d.a + inc * d.b) / k;
    const int64_t c = ((k - inc) * d.c + 2 * inc) / k;
    target = avail / a * normalPct / 100;
    maximum = avail / c * maxPct / 100;
  }
  if (inc > 0) {
    target += inc * normalPct / 100;
    maximum += maxPct * inc * 2 / 100;
  }
  if (options.ponder) target = target * PonderFactor / 10;
  if (clock.unexpectedReply) target = target * UnexpectedFactor / 10;
  maximum = std::min(maximum, avail);
  target = std::min(std::min(target, avail), maximum);
  budget.target = uint64_t(std::max(target, hardMoveTime));
  budget.maximum = uint64_t(std::max(maximum, hardMoveTime));
  return budget;
}

void ApplyClock(const GoRequest& request) {
  Search.limits.targetTime = NoTimeLimit;
  if (request.ownTime > 0 && uint64_t(request.ownTime) > Engine.largestOwnTime)
    Engine.largestOwnTime = uint64_t(request.ownTime);
  // A clock at zero or below is still a clock: the move is due at once.
  if (!(request.ownTime > 0 || request.ownIncrement > 0 || request.clockGiven)) return;
  ClockState clock;
  clock.ownTime = request.ownTime;
  clock.ownIncrement = request.ownIncrement;
  clock.movesToGo = request.movesToGo;
  clock.largestOwnTime = Engine.largestOwnTime;
  clock.unexpectedReply = Engine.position.st.key != Engine.expectedReplyKey;
  const TimeBudget budget = AllocateTime(clock, Options);
  Search.limits.targetTime = budget.target;
  Search.limits.maximumTime = budget.maximum;
  if (budget.hardMoveDepth) Search.limits.depthLimit = DepthUnitsOfPlies(Options.tcHardMoveDepth);
  Search.limits.playMode = true;
  Log("  target_time: %" PRIu64 "     max_time: %" PRIu64 "     %s", budget.target, budget.maximum,
      Options.ponder ? "ponder mode" : "non-ponder mode");
}


namespace {
// The early stop waits while another process of the group disagrees with
// our best move on a result at least as good; alone, nobody disagrees.
bool GroupAgrees() { return true; }

// Share (percent) of the target the early stop allows. With a group, the
// second-line process's margin between its two lines moves it; alone it is fixed.
uint64_t TargetSharePercent() { return DefaultTargetShare; }
}  // namespace

void TimeCheck() {
  const uint64_t now = platform::NowMs();
  const uint64_t elapsed = now - Search.startTime;
  if (!Output.isChild) {
    const bool armed = GroupAgrees();
    const uint64_t share = TargetSharePercent();
    if (!Search.limits.ponderOrInfinite) {
      // After a ponder hit the time already spent pondering counts fully.
      const uint64_t weight = Engine.ponderHit ? 10 : Search.rootMoveIndex == 0 ? 24 : 42;
      if (armed && elapsed >= Search.limits.targetTime * share / 100 * weight / 10) Search.limits.maximumTime = 0;
    }
    // Past half the hard limit, only a move that may still replace the best one keeps the search going.
    if (elapsed >= Search.limits.maximumTime / 2 && Search.rootMoveIndex <= 0) Search.limits.maximumTime = 0;
  }
  if (now - Engine.lastInfoTime > 1000) {
    Engine.lastInfoTime = now;
    Send("info time %" PRIu64 " nodes %" PRIu64, elapsed, Search.nodes * uint64_t(Search.processCount));
  }
  if (!Search.limits.ponderOrInfinite && (elapsed >= Search.limits.maximumTime || elapsed >= Search.limits.moveTime))
    throw SearchStopped{};
  if (Search.nodes > Search.limits.nodeLimit) throw SearchStopped{};
  // (A slave of another engine hands its work over here once the group protocol exists.)
  if (Options.cpuUsage < 100) platform::SleepMs(100 - Options.cpuUsage);
}
