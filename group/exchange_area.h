// The block through which the processes of a group signal their state and
// publish their root results to each other. Every field has one writer;
// readers poll. A single process uses an area of its own.
#pragma once
#include <cstdint>
#include "search/root_exchange.h"

struct ExchangeArea {
  int32_t childState[2048];   // 0 nothing, 1 ready, 2 gone (index 0 unused)
  uint8_t unused1[73728];
  RootExchange root;
  uint8_t unused2[16256];
};
static_assert(sizeof(ExchangeArea) == 163840);

constexpr int32_t ChildReady = 1, ChildGone = 2;

// The area of this process's group.
extern ExchangeArea* Exchange;
// The area of a process that has no shared one (before the group starts,
// or when the shared one could not be made), zeroed.
ExchangeArea* PrivateExchangeArea();
