// The size of a huge page, for the hash table's large-page decision.
#pragma once
#include <cstdint>

namespace platform {

// Size of one huge page in bytes ("Hugepagesize:" of /proc/meminfo); 0 when
// the system has no huge pages.
uint64_t HugePageSize();

}  // namespace platform
