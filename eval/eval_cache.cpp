#include "eval/eval_cache.h"

#include <atomic>

namespace {
uint32_t* cacheWords = nullptr;
uint64_t cacheMask = 0;   // in words: keeps an index inside the table and in a group's upper half

// Word of a key: bit 0 the side to move, bit 3 set (the group's upper half,
// the hash bucket takes the lower one).
uint32_t* CacheWord(uint64_t key, Color side) {
  if (!cacheWords) return nullptr;
  const uint64_t index = (((uint64_t(uint32_t(key)) * 2) & cacheMask) & ~uint64_t(1)) | uint64_t(side) | 8;
  return cacheWords + index;
}
// A word holds the key's top 16 bits and the positional part + 16000.
constexpr int StoredBias = 16000;
}  // namespace

void AttachEvalCache(void* base, uint64_t entryCount) {
  cacheWords = static_cast<uint32_t*>(base);
  cacheMask = base ? entryCount * 2 - 9 : 0;
}

bool ProbeEvalCache(uint64_t key, Color side, int& positional) {
  const uint32_t* word = CacheWord(key, side);
  if (!word) return false;
  const uint32_t w = std::atomic_ref<uint32_t>(*const_cast<uint32_t*>(word)).load(std::memory_order_relaxed);
  if (w == 0 || (w >> 16) != uint32_t(key >> 48)) return false;
  positional = int(w & 0xFFFF) - StoredBias;
  return true;
}

void StoreEvalCache(uint64_t key, Color side, int positional) {
  uint32_t* word = CacheWord(key, side);
  const int stored = positional + StoredBias;
  if (word && stored >= 0 && stored <= 0xFFFF)
    std::atomic_ref<uint32_t>(*word).store((uint32_t(key >> 48) << 16) | uint32_t(stored),
                                           std::memory_order_relaxed);
}
