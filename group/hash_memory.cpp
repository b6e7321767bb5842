// The transposition table's shared memory and the large-page decision.
#include "group/hash_memory.h"

#include <algorithm>
#include <cinttypes>
#include "common/output.h"
#include "group/process_group.h"
#include "platform/memory.h"
#include "platform/shared_memory.h"
#include "search/hash_table.h"

int CurrentLargePageStatus = LargePagesUserChoice;
bool UseLargePages = false;

namespace {
platform::SharedRegion table;

// Slot of the table's name among those removed on a fatal signal.
constexpr int FatalSignalSlot = 0;

void Attach(const platform::SharedRegion& region, uint64_t entryCount) {
  table = region;
  AttachHashTable(region.base, entryCount);
  if (region.created)
    platform::RemoveNamesOnFatalSignal(FatalSignalSlot, region.hugePages ? "" : region.name);
}

bool CreateNormal(const std::string& name, uint64_t bytes, platform::SharedRegion& region) {
  int error = 0;
  return platform::CreateSharedRegion(name, bytes, false, region, error);
}

// Creates the object in huge pages when asked and possible, and says why not.
bool CreateRegion(const std::string& name, uint64_t bytes, platform::SharedRegion& region) {
  if (!UseLargePages) {
    Log("Large pages not used - user choice");
    CurrentLargePageStatus = LargePagesUserChoice;
    return CreateNormal(name, bytes, region);
  }
  if (const uint64_t minimum = platform::HugePageSize(); bytes < minimum) {
    // The texts name the calls of the design's first platform; logs keep them.
    InfoString("Large pages not used - pGetLargePageMinimum () returned %" PRIu64, minimum);
    CurrentLargePageStatus = LargePagesTooSmall;
    return CreateNormal(name, bytes, region);
  }
  int error = 0;
  const char* failedCall = "mmap";
  if (platform::CreateSharedRegion(name, bytes, true, region, error, &failedCall)) {
    InfoString("Using large pages, size = %" PRIu64, bytes);
    CurrentLargePageStatus = LargePagesInUse;
    return true;
  }
  // A system without huge pages reserved fails here and says why.
  ReportSystemError(failedCall, error);
  InfoString("Large pages not used - CreateFileMapping () returned invalid handle. Please check memory "
             "fragmentation, privileges and UAC (and reboot if necessary).");
  CurrentLargePageStatus = LargePagesCreateFailed;
  return CreateNormal(name, bytes, region);
}

bool MapTable(uint64_t megabytes) {
  const uint64_t entryCount = megabytes * 131072;
  platform::SharedRegion region;
  if (!CreateRegion(SyncAreaName(), entryCount * sizeof(HashEntry), region)) return false;
  Attach(region, entryCount);
  return true;
}
}  // namespace

// The status texts name the calls of the design's first platform; logs and
// the tools that read them keep these texts, so they stay as they are.
const char* LargePageSummary(int status) {
  switch (status) {
    case LargePagesInUse: return "    Using large pages.";
    case LargePagesNoLibrary: return "    Large pages not used (kernel32.dll not available).";
    case LargePagesNoMinimumQuery: return "    Large pages not used (GetLargePageMinimum failed).";
    case LargePagesTooSmall:
      return "    Large pages not used - pGetLargePageMinimum () returned unusable size";
    case LargePagesCreateFailed:
      return "    Large pages not used - CreateFileMapping () returned invalid handle.";
    default: return "    Large pages not used - user choice.";
  }
}

bool HashTableFits(int megabytes, std::string& why) {
  const platform::SharedMemoryRoom room = platform::RoomForSharedObject();
  const uint64_t current = table.created && !table.hugePages ? table.length : 0;
  const uint64_t free = room.bytes > UINT64_MAX - current ? UINT64_MAX : room.bytes + current;
  if (uint64_t(megabytes) * 1048576 <= free) return true;
  why = FormatText("%s has room for %" PRIu64 " mb", platform::SharedMemoryLimitText(room.limit),
                   free / 1048576);
  return false;
}

bool AllocateHashTable(int megabytes) {
  if (megabytes < 1) return false;
  const uint64_t previousMegabytes = Hash.entryCount / 131072;
  // The old table goes first: the new one may need the same huge pages, and
  // two large tables at once may not fit in memory.
  ReleaseHashTable();
  std::string why;
  const bool fits = UseLargePages || HashTableFits(megabytes, why);
  if (!fits) InfoString("could not allocate %d mb of hash: %s.", megabytes, why.c_str());
  const bool sized = fits && MapTable(uint64_t(megabytes));
  // Without memory for that size the search still needs a table.
  if (!sized && !(previousMegabytes > 0 && MapTable(previousMegabytes))) {
    // No table before (a start-up size too large): the largest that fits.
    int fallback = std::max(1, megabytes / 2);
    while (fallback > 1 && !HashTableFits(fallback, why)) fallback /= 2;
    MapTable(uint64_t(fallback));
  }
  // A new shared object reads as zeros, which is the empty table: writing the
  // zeros again would only make a large table cost its whole size in memory
  // and seconds of time before the first search.
  NewSearchGeneration(0);
  return sized;
}

bool OpenHashTable(int ownerPid) {
  ReleaseHashTable();
  platform::SharedRegion region;
  int error = 0;
  if (!platform::OpenSharedRegion(SyncAreaName(), ownerPid, region, error)) return false;
  Attach(region, region.length / sizeof(HashEntry));
  return true;
}

void ReleaseHashTable() {
  if (table.created) platform::RemoveNamesOnFatalSignal(FatalSignalSlot, "");
  AttachHashTable(nullptr, 0);
  platform::CloseSharedRegion(table);
}

int HashTableDescriptor() { return table.hugePages ? table.fd : -1; }

uint64_t HashTableRegionSize() { return table.length; }
