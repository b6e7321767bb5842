// The block through which the processes of a group signal their state and
// publish their root results to each other. Every field has one writer;
// readers poll. A single process uses an area of its own.
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

struct ExchangeArea {
  int32_t childState[2048];   // 0 nothing, 1 ready, 2 gone (index 0 unused)
  uint8_t unused1[73728];
  RootExchange root;
  uint8_t unused2[16256];
};
static_assert(sizeof(RootExchange) == 65664);
static_assert(sizeof(ExchangeArea) == 163840);

constexpr int32_t ChildReady = 1, ChildGone = 2;

// The area of this process's group, and this process's number in it (0 for
// the parent or a single process).
extern ExchangeArea* Exchange;
extern int ProcessNumber;
