#include "platform/memory.h"

#include <cstdio>

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

}  // namespace platform
