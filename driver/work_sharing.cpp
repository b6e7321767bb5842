// The dialogue with an outside controller that shares work between engines
// ("slave mode"): results it posts to our table, root moves it denies or
// takes, and the root move we take ourselves when our time is up.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include "board/movegen.h"
#include "board/notation.h"
#include "common/output.h"
#include "driver/engine.h"
#include "driver/search_driver.h"
#include "group/process_group.h"
#include "search/hash_table.h"

namespace {
// The move of the text that starts at `from`: squares and promotion only
// (the position it belongs to may not be ours).
Move MoveAfter(const std::string& line, size_t from) {
  const size_t start = line.find_first_not_of(' ', from);
  return start == std::string::npos ? 0 : ParseCoordinateMove(Engine.position, line.c_str() + start, false);
}

// A stored move (squares only) that is a legal move of the position.
bool PlayableHere(const Position& p, uint32_t low) {
  if (!low) return false;
  MoveList legal;
  GenerateLegalMoves(p, legal);
  for (Move m : legal)
    if ((LowWord(m) & SquareBits) == (low & SquareBits)) return true;
  return false;
}

// Stops the search so that it begins again with the root moves it has left.
[[noreturn]] void Restart() {
  Search.restartRequested = true;
  throw SearchStopped{};
}
}  // namespace

void HandlePosted(const std::string& line) {
  int depth = 0, score = 0;
  uint64_t key = 0;
  char moveText[16] = "";
  if (std::sscanf(line.c_str() + 6, " %d %d %" SCNx64 " %15s", &depth, &score, &key, moveText) < 3) return;
  const Move move = ParseCoordinateMove(Engine.position, moveText, false);
  // What the table holds for the key already: the deepest entry whose move
  // is playable here, and the deepest of the others.
  const HashEntry* bucket = BucketOf(key);
  int validDepth = 0, otherDepth = 0;
  HashEntry valid{};
  for (int i = 0; i < 4; ++i) {
    const HashEntry e = LoadEntry(bucket[i]);
    if (!EntryMatches(e, key)) continue;
    if (PlayableHere(Engine.position, EntryMoveLow(e))) {
      if (EntryDepth(e) > validDepth) {
        validDepth = EntryDepth(e);
        valid = e;
      }
    } else if (EntryDepth(e) > otherDepth) {
      otherDepth = EntryDepth(e);
    }
  }
  if (validDepth + 4 > otherDepth && validDepth + 6 > depth) {
    Log("post rejected: %d %d %s", validDepth, validDepth ? EntryStoredScore(valid) - HashScoreBias : 0,
        validDepth ? MoveToText(EntryMoveLow(valid)).c_str() : "0000");
    return;
  }
  const int stored = std::clamp(depth, 0, MaxStoredDepth);
  const Score s = Score(std::clamp(score, MinStorableScore, MaxStorableScore));
  StoreLower(key, move, stored, s);
  StoreUpper(key, move, stored, s);
}

bool HandleDeny(const std::string& line) {
  if (!Engine.searching || Search.rootMoveCount < 2 || Search.settings.multiPv < 2) return false;
  SendToChildren(line);
  const Move move = MoveAfter(line, 4);
  --Search.settings.multiPv;
  RemoveRootMove(Search, move);
  const RootMove& first = Search.rootMoves[0];
  if (Search.limits.slaveLevel && Search.settings.multiPv == 1 && first.depth >= 20)
    Reply("%d %d %d %" PRIu64 " %s", Search.limits.searchId, first.depth, first.score, Search.nodes,
          first.pv.c_str());
  if (move && Search.currentRootMove && SameMove(move, Search.currentRootMove)) {
    Log("Deny move is currently being searched, restarting.");
    Restart();
  }
  return true;
}

bool HandleTake(const std::string& line) {
  if (!Engine.searching) return false;
  SendToChildren(line);
  const Move move = MoveAfter(line, 4);
  const bool restart = !move || !SameMove(Search.rootMoves[0].move, move) || !Search.currentRootMove ||
                       !SameMove(Search.currentRootMove, move);
  for (int i = 0; i < Search.rootMoveCount; ++i)
    if (move && SameMove(Search.rootMoves[i].move, move)) {
      if (i > 0) Search.rootMoves[0] = Search.rootMoves[i];
      break;
    }
  KeepOnlyFirstRootMove(Search);
  if (restart) Restart();
  return true;
}

void TakeBestRootMove() {
  if (!Search.limits.slaveLevel || Search.settings.multiPv != 1 || Search.rootMoveCount < 2) return;
  const std::string move = MoveToText(Search.rootMoves[0].move);
  Reply("taking %d %s", Search.limits.searchId, move.c_str());
  SendToChildren("take " + move);
  KeepOnlyFirstRootMove(Search);
}
