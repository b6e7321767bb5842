#include "platform/memory.h"

#include <cstdio>
#include <sys/mman.h>
#include <sys/resource.h>

namespace platform {

namespace {
// The value of one "Name: N kB" line of /proc/meminfo in bytes; 0 where the
// file or the line is missing.
uint64_t MeminfoBytes(const char* format) {
  std::FILE* f = std::fopen("/proc/meminfo", "r");
  if (!f) return 0;
  char line[256];
  uint64_t bytes = 0;
  while (std::fgets(line, sizeof line, f)) {
    unsigned long long kb = 0;
    if (std::sscanf(line, format, &kb) == 1) {
      bytes = uint64_t(kb) * 1024;
      break;
    }
  }
  std::fclose(f);
  return bytes;
}
}  // namespace

uint64_t HugePageSize() { return MeminfoBytes("Hugepagesize: %llu kB"); }

void* AllocatePages(uint64_t bytes) {
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

void FreePages(void* memory, uint64_t bytes) {
  if (memory) munmap(memory, bytes);
}

uint64_t AvailableMemory() { return MeminfoBytes("MemAvailable: %llu kB"); }

uint64_t AddressSpaceLimit() {
  struct rlimit limit;
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 0;
  return uint64_t(limit.rlim_cur);
}

}  // namespace platform
