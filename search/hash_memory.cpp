// Plain process memory for the transposition table.
#include "search/hash_memory.h"
#include <cstdlib>

void* AcquireHashMemory(uint64_t bytes) {
  if (bytes == 0 || bytes % 64 != 0 || bytes > SIZE_MAX) return nullptr;
  return std::aligned_alloc(64, size_t(bytes));
}

void ReleaseHashMemory(void* base, uint64_t bytes) {
  (void)bytes;
  std::free(base);
}
