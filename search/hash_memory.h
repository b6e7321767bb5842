// Where the transposition table's memory comes from. One process uses plain
// memory; a group of processes maps one shared area instead, behind the same
// pair of calls.
#pragma once
#include <cstdint>

// `bytes` is a multiple of 64. Returns a 64-byte aligned block (not cleared),
// or nullptr when the memory is not available.
void* AcquireHashMemory(uint64_t bytes);
// Gives back a block from AcquireHashMemory (nullptr is ignored).
void ReleaseHashMemory(void* base, uint64_t bytes);
