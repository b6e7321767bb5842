// "bench [depth]": searches a fixed set of positions to a fixed depth, each
// from a cleared hash table, and reports the node count and the speed. The
// count is the same on every run of the same build and hash size, so a
// change of it marks a change of the search.
#include <cinttypes>
#include <cstdlib>
#include "common/output.h"
#include "driver/engine.h"
#include "driver/search_driver.h"
#include "platform/platform.h"
#include "search/learned_gains.h"
#include "search/search.h"

namespace {
constexpr int BenchDepth = 10;   // plies, when the command names no depth

const char* const BenchPositions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "r2q1rk1/ppp2ppp/2np1n2/2b1p1B1/2B1P1b1/2NP1N2/PPP2PPP/R2Q1RK1 w - - 6 8",
    "2rq1rk1/pp1bppbp/3p1np1/4n3/3NP3/1BN1BP2/PPPQ2PP/2KR3R w - - 0 12",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/5pk1/6p1/8/3R4/6P1/5PK1/2r5 w - - 0 1",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "8/8/8/4k3/8/8/2K5/1Q6 w - - 0 1",
};
constexpr int BenchCount = int(sizeof BenchPositions / sizeof BenchPositions[0]);
}  // namespace

void HandleBench(const std::string& line) {
  int depth = BenchDepth;
  const size_t at = line.find_first_of("0123456789");
  if (at != std::string::npos) depth = std::atoi(line.c_str() + at);
  if (depth < 1) depth = 1;
  if (depth > 60) depth = 60;

  const Position savedPosition = Engine.position;
  const std::string savedText = Engine.savedPositionText;
  const int savedPlies = Engine.gamePlies;
  Engine.commandRunning = true;
  uint64_t total = 0;
  const uint64_t start = platform::NowMs();
  for (int i = 0; i < BenchCount; ++i) {
    NewGameReset();
    ForgetLearnedGains(Search.gains);
    SetPositionFromFen(Engine.position, BenchPositions[i]);
    Engine.savedPositionText = BenchPositions[i];
    Engine.gamePlies = 0;
    GoRequest request = ReadGoLine("go");
    request.alone = true;
    Search.limits.depthLimit = DepthUnitsOfPlies(depth);
    Output.silentMode = true;
    StartSearch(request);
    Output.silentMode = false;
    total += Search.nodes;
    Send("Position %d of %d: %" PRIu64 " nodes", i + 1, BenchCount, Search.nodes);
    if (Engine.stopRequested) break;
  }
  const uint64_t elapsed = platform::NowMs() - start;
  Engine.commandRunning = false;
  NewGameReset();
  Engine.position = savedPosition;
  Engine.savedPositionText = savedText;
  Engine.gamePlies = savedPlies;
  Send("Nodes searched: %" PRIu64, total);
  Send("Nodes/second: %" PRIu64, total * 1000 / (elapsed ? elapsed : 1));
}
