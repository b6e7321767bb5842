// Time management: the budget of a search from the clock, and the rules of
// the periodic check that end a search (time, nodes, "stop").
#include <algorithm>
#include <cinttypes>
#include "common/output.h"
#include "driver/engine.h"
#include "driver/options.h"
#include "driver/search_driver.h"
#include "group/process_group.h"
#include "platform/platform.h"
#include "search/search.h"
#include "search/time_share.h"

namespace {
// Into how many parts the available time is divided, chosen by the longest
// clock of the game: the target of a normal move, the target when the
// increment is large, and the longest a move may take.
struct Divisors {
  int64_t normal, largeIncrement, longest;
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
  const int64_t normal = avail / d.normal * normalPct / 100;
  const int64_t cap = avail / d.longest * maxPct / 100;

  TimeBudget budget;
  int64_t target, maximum;
  if (mtg > 0) {
    // Half of an even share per move is the target; a move may take up to
    // eight times that, or half the clock and a share.
    const int64_t halfShare = avail / mtg * 5 / 10;
    target = halfShare * normalPct / 100;
    int64_t longest = halfShare * maxPct * 8 / 100;
    if (clock.unexpectedReply) longest = longest * 15 / 10;
    const int64_t halfClockAndShare = (mtg + 1) * avail / (2 * mtg);
    maximum = std::max(std::min(longest, halfClockAndShare), cap);
    target = std::max(target, normal);
  } else if (inc == 0) {
    target = normal;
    maximum = cap;
    budget.hardMoveDepth = t < hardBuffer;
  } else if (IncrementHorizon * inc >= t) {
    target = avail / d.largeIncrement * normalPct / 100;
    maximum = avail / 2 * maxPct / 100;
  } else {
    // The divisors move from the normal ones towards the large-increment
    // ones as the increment grows towards the clock's share per move.
    const int64_t sharePerMove = std::max<int64_t>(1, t / IncrementHorizon);
    const int64_t targetDivisor = ((sharePerMove - inc) * d.normal + inc * d.largeIncrement) / sharePerMove;
    const int64_t longestDivisor = ((sharePerMove - inc) * d.longest + 2 * inc) / sharePerMove;
    target = avail / targetDivisor * normalPct / 100;
    maximum = avail / longestDivisor * maxPct / 100;
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
constexpr uint64_t UnresolvedFactor = 50;   // tenths: a disagreement left after a ponder hit

bool Differs(uint64_t a, uint64_t b) { return a && b && !SameMove(Move(a), Move(b)); }

// The early stop waits while another process of the group disagrees with
// our best move on a result at least as good, or is busy with a root move
// that may overturn it; alone, nobody disagrees.
bool GroupAgrees() {
  const RootExchange& ex = *Search.exchange;
  const ProcessSlot& own = ex.slots[Search.processNumber];
  const uint64_t ownMove = Peek(own.bestMove);
  const int64_t ownScore = Peek(own.score), ownDepth = Peek(own.depth);
  for (int p = 0; p < Group.processCount; ++p) {
    if (p == Search.processNumber || !ChildTakesPart(p)) continue;
    const ProcessSlot& slot = ex.slots[p];
    const uint64_t best = Peek(slot.bestMove), current = Peek(slot.currentMove);
    const int64_t score = Peek(slot.score), depth = Peek(slot.depth);
    if (Differs(best, ownMove) && depth >= ownDepth && score > ownScore) return false;
    if (p != SecondLineProcess && current && Differs(current, best) && Differs(current, ownMove) &&
        depth >= ownDepth && score >= ownScore)
      return false;
  }
  return true;
}

// Share (percent) of the target the early stop allows: by the margin of
// our score over the lines of process 3, which searches two of them so
// that our choice can be compared with the best alternative.
uint64_t TargetSharePercent() {
  const RootExchange& ex = *Search.exchange;
  const uint64_t best0 = Peek(ex.bestMove0), best3 = Peek(ex.bestMove3), second3 = Peek(ex.secondMove3);
  if (!best0 || !best3 || !second3 || SameMove(Move(best3), Move(second3)) ||
      !ChildTakesPart(SecondLineProcess))
    return DefaultTargetShare;
  int64_t s = Search.rootScore;
  if (Search.rootResearchingBest && Search.rootMoveIndex == 0)
    s = std::min<int64_t>(s, Search.rootResearchBound);
  int64_t margin = Differs(best3, best0) ? s - Peek(ex.bestScore3) : NoRivalGap;
  if (Differs(second3, best0)) margin = std::min(margin, s - Peek(ex.secondScore3));
  if (margin < 0) return uint64_t(125 + 10 * std::min<int64_t>(-margin, 100));
  const int share = ClearLeadShare(int(std::min<int64_t>(margin, NoRivalGap)));
  return share ? uint64_t(share) : 100;
}
}  // namespace

void TimeCheck() {
  const uint64_t now = platform::NowMs();
  const uint64_t elapsed = now - Search.startTime;
  if (!Output.isChild) {
    bool armed = GroupAgrees();
    uint64_t share = TargetSharePercent();
    if (!armed && Engine.ponderHit) {
      // After a ponder hit the move is due: a disagreement only earns more time.
      armed = true;
      share = share * UnresolvedFactor / 10;
    }
    if (!Search.limits.ponderOrInfinite) {
      // After a ponder hit the time already spent pondering counts fully.
      const uint64_t weight = Engine.ponderHit ? 10 : Search.rootMoveIndex == 0 ? 24 : 42;
      if (armed && elapsed >= Search.limits.targetTime * share / 100 * weight / 10)
        Search.limits.maximumTime = 0;
    }
    // Past half the hard limit, only a move that may still replace the best one keeps the search going.
    if (elapsed >= Search.limits.maximumTime / 2 && Search.rootMoveIndex <= 0) Search.limits.maximumTime = 0;
  }
  if (now - Engine.lastInfoTime > 1000) {
    Engine.lastInfoTime = now;
    Send("info time %" PRIu64 " nodes %" PRIu64, elapsed, Search.nodes * uint64_t(Search.processCount));
  }
  if (!Search.limits.ponderOrInfinite) {
    // A controller hears which move we take once our clock's target has
    // passed, and in any case before the move goes out on our own time.
    const bool timeUp = elapsed >= Search.limits.maximumTime || elapsed >= Search.limits.moveTime;
    if (timeUp || elapsed > Search.limits.targetTime) TakeBestRootMove();
    if (timeUp) throw SearchStopped{};
  }
  if (Search.nodes > Search.limits.nodeLimit) throw SearchStopped{};
  if (Options.cpuUsage < 100) platform::SleepMs(100 - Options.cpuUsage);
}
