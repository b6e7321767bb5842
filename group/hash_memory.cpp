// The transposition table's memory and the large-page decision.
#include "group/hash_memory.h"

#include <cinttypes>
#include <vector>
#include "common/output.h"
#include "platform/memory.h"
#include "search/hash_table.h"

int CurrentLargePageStatus = LargePagesUserChoice;
bool UseLargePages = false;

namespace {
// Blocks handed out and not yet given back (normally just the one table).
std::vector<platform::MemoryRegion> liveRegions;

platform::MemoryRegion MapNormalPages(uint64_t bytes) {
  int error = 0;
  return platform::MapMemory(bytes, false, error);
}
}  // namespace

// The status texts name the calls of the design's first platform; logs and
// the tools that read them keep these texts, so they stay as they are.
const char* LargePageSummary(int status) {
  switch (status) {
    case LargePagesInUse: return "    Using large pages.";
    case LargePagesNoLibrary: return "    Large pages not used (kernel32.dll not available).";
    case LargePagesNoMinimumQuery: return "    Large pages not used (GetLargePageMinimum failed).";
    case LargePagesTooSmall: return "    Large pages not used - pGetLargePageMinimum () returned unusable size";
    case LargePagesCreateFailed: return "    Large pages not used - CreateFileMapping () returned invalid handle.";
    default: return "    Large pages not used - user choice.";
  }
}

void* AcquireHashMemory(uint64_t bytes) {
  if (bytes == 0 || bytes % 64 != 0) return nullptr;
  platform::MemoryRegion region;
  if (!UseLargePages) {
    region = MapNormalPages(bytes);
    Log("Large pages not used - user choice");
    CurrentLargePageStatus = LargePagesUserChoice;
  } else if (const uint64_t minimum = platform::HugePageSize(); bytes < minimum) {
    region = MapNormalPages(bytes);
    InfoString("Large pages not used - pGetLargePageMinimum () returned %" PRIu64, minimum);
    CurrentLargePageStatus = LargePagesTooSmall;
  } else {
    // A system without huge pages (minimum 0) fails here and says why.
    int error = 0;
    region = platform::MapMemory(bytes, true, error);
    if (region.base) {
      InfoString("Using large pages, size = %" PRIu64, bytes);
      CurrentLargePageStatus = LargePagesInUse;
    } else {
      ReportSystemError("mmap", error);
      region = MapNormalPages(bytes);
      InfoString("Large pages not used - CreateFileMapping () returned invalid handle. Please check memory "
                 "fragmentation, privileges and UAC (and reboot if necessary).");
      CurrentLargePageStatus = LargePagesCreateFailed;
    }
  }
  if (!region.base) return nullptr;
  liveRegions.push_back(region);
  return region.base;
}

void ReleaseHashMemory(void* base, uint64_t) {
  if (!base) return;
  for (size_t i = 0; i < liveRegions.size(); ++i)
    if (liveRegions[i].base == base) {
      platform::UnmapMemory(liveRegions[i]);
      liveRegions.erase(liveRegions.begin() + long(i));
      return;
    }
}

namespace {
bool MapTable(uint64_t megabytes) {
  const uint64_t entryCount = megabytes * 131072;
  void* base = AcquireHashMemory(entryCount * sizeof(HashEntry));
  if (!base) return false;
  AttachHashTable(base, entryCount);
  return true;
}
}  // namespace

bool AllocateHashTable(int megabytes) {
  if (megabytes < 1) return false;
  const uint64_t previousMegabytes = Hash.entryCount / 131072;
  // The old table goes first: the new one may need the same huge pages, and
  // two large tables at once may not fit in memory.
  if (Hash.entries) ReleaseHashMemory(Hash.entries, Hash.entryCount * sizeof(HashEntry));
  AttachHashTable(nullptr, 0);
  const bool sized = MapTable(uint64_t(megabytes));
  // Without memory for that size the search still needs a table.
  if (!sized && !(previousMegabytes > 0 && MapTable(previousMegabytes))) MapTable(1);
  ClearHashTable();
  return sized;
}
