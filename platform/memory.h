// The size of a huge page, for the hash table's large-page decision; memory
// straight from the system and how much of it there is to have.
#pragma once
#include <cstdint>

namespace platform {

// Size of one huge page in bytes ("Hugepagesize:" of /proc/meminfo); 0 when
// the system has no huge pages.
uint64_t HugePageSize();

// Zeroed memory of `bytes` bytes straight from the system, its pages taken
// only when first touched; nullptr when the system refuses. FreePages gives
// it back (with the same size).
void* AllocatePages(uint64_t bytes);
void FreePages(void* memory, uint64_t bytes);

// Memory the system can still give a program ("MemAvailable:" of
// /proc/meminfo), in bytes; 0 when unknown.
uint64_t AvailableMemory();
// The process's limit on its address space in bytes; 0 when it has none.
uint64_t AddressSpaceLimit();

}  // namespace platform
