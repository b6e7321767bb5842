// Large blocks of memory for the hash table, and the size of a huge page.
#pragma once
#include <cstdint>

namespace platform {

// Size of one huge page in bytes ("Hugepagesize:" of /proc/meminfo); 0 when
// the system has no huge pages.
uint64_t HugePageSize();

// One mapping made by MapMemory.
struct MemoryRegion {
  void* base = nullptr;     // page aligned; nullptr when the mapping failed
  uint64_t length = 0;      // bytes mapped (a huge-page mapping is rounded up to whole pages)
  bool hugePages = false;
};

// Maps `bytes` of zero-filled read-write memory, in huge pages when
// `hugePages` is set. With `sharedFd` -1 the memory is anonymous and private
// to this process; otherwise the memory object behind the descriptor (a
// shared-memory object, or a huge-page memory file when `hugePages` is set)
// is mapped shared, so that other processes mapping it see the same bytes.
// On failure base is nullptr and errorCode holds the system's error number.
MemoryRegion MapMemory(uint64_t bytes, bool hugePages, int& errorCode, int sharedFd = -1);
// Gives a mapping back (a region without base is ignored) and empties it.
void UnmapMemory(MemoryRegion& region);

}  // namespace platform
