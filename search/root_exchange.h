// Root results that the processes of a group publish to each other: each
// process's current and best root move in its slot, and the header results
// of processes 0 and 3. Every field has one writer; readers poll.
#pragma once
#include <cstdint>

struct ProcessSlot {
  uint64_t currentMove;   // root move being searched now; 0 when none
  uint64_t bestMove;      // best move of the current iteration
  int64_t score;
  int64_t depth;          // iteration depth (internal units) of that result
};

struct RootExchange {
  int64_t bestScore0;     // process 0's published result
  uint64_t bestMove0;
  int64_t depth0;
  int64_t bestScore3;     // process 3's best line and second line
  uint64_t bestMove3;
  int64_t depth3;
  int64_t secondScore3;
  uint64_t secondMove3;
  int64_t secondDepth3;
  uint8_t unused[56];
  ProcessSlot slots[2048];
};
static_assert(sizeof(RootExchange) == 65664);
