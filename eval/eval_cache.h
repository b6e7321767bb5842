// The evaluation cache: the positional part of recent evaluations, one
// 32-bit word per position and side to move. It lives in the unused halves
// of the hash table's 64-byte groups; whoever owns that memory attaches it.
#pragma once
#include <cstdint>
#include "common/types.h"

// `base` is the first of `entryCount` 8-byte table entries (nullptr: no cache).
void AttachEvalCache(void* base, uint64_t entryCount);
// The cached positional part of this position and side to move, if any.
bool ProbeEvalCache(uint64_t key, Color side, int& positional);
// Remembers the positional part (values outside the word's range are not kept).
void StoreEvalCache(uint64_t key, Color side, int positional);
