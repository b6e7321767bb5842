#include "platform/memory.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/mman.h>

namespace platform {

uint64_t HugePageSize() {
  std::FILE* f = std::fopen("/proc/meminfo", "r");
  if (!f) return 0;
  char line[256];
  uint64_t size = 0;
  while (std::fgets(line, sizeof line, f)) {
    unsigned long long kb = 0;
    if (std::sscanf(line, "Hugepagesize: %llu kB", &kb) == 1) {
      size = uint64_t(kb) * 1024;
      break;
    }
  }
  std::fclose(f);
  return size;
}

MemoryRegion MapMemory(uint64_t bytes, bool hugePages, int& errorCode, int sharedFd) {
  MemoryRegion region;
  errorCode = 0;
  uint64_t length = bytes;
  if (hugePages) {
    // A huge-page mapping is made of whole pages; the table uses its first `bytes`.
    const uint64_t page = HugePageSize();
    if (page > 0) length = (bytes + page - 1) / page * page;
  }
  if (bytes == 0 || length > SIZE_MAX) {
    errorCode = EINVAL;
    return region;
  }
  int flags = sharedFd < 0 ? MAP_PRIVATE | MAP_ANONYMOUS : MAP_SHARED;
  // The descriptor of a shared huge-page file brings its page size with it.
  if (hugePages && sharedFd < 0) flags |= MAP_HUGETLB;
  void* base = mmap(nullptr, size_t(length), PROT_READ | PROT_WRITE, flags, sharedFd, 0);
  if (base == MAP_FAILED) {
    errorCode = errno;
    return region;
  }
  region.base = base;
  region.length = length;
  region.hugePages = hugePages;
  return region;
}

void UnmapMemory(MemoryRegion& region) {
  if (region.base) munmap(region.base, size_t(region.length));
  region = MemoryRegion{};
}

}  // namespace platform
