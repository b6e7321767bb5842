// Starting and restarting the process group. A single process has no
// children: a start re-creates its table and exchange area.
#include "group/process_group.h"

#include <cstdio>
#include <cstring>
#include "common/output.h"
#include "group/exchange_area.h"
#include "group/hash_memory.h"
#include "platform/platform.h"
#include "search/hash_table.h"

GroupState Group;

namespace {
std::string AreaName(const char* stem, int first, int second) {
  char name[64];
  std::snprintf(name, sizeof name, "%s%d%d", stem, first, second);
  return name;
}
}  // namespace

std::string SyncAreaName() {
  const int owner = Group.isChild ? Group.parentId
                    : Group.overriddenParentId != 0 ? Group.overriddenParentId
                                                    : platform::ProcessId();
  return AreaName("TolvoSync", 1, owner);
}

std::string ExchangeAreaName() {
  return AreaName("TolvoEx", Group.sharedFileNumber, Group.isChild ? Group.exchangeOwnerId : platform::ProcessId());
}

bool StartProcessGroup(int hashMb) {
  Log("       -- shared synchronization file: %s", SyncAreaName().c_str());
  Log("       -- shared exchange file: %s", ExchangeAreaName().c_str());
  if (!Group.isChild) Group.processCount = 1;   // no children are started yet
  const bool sized = AllocateHashTable(hashMb);
  Group.hashMb = int(Hash.entryCount / 131072);
  // A new area starts with no child states and no published results.
  std::memset(static_cast<void*>(Exchange), 0, sizeof(ExchangeArea));
  ++Group.sharedFileNumber;
  if (Group.startCount == 0) {
    Group.startCount = 1;
  } else {
    InfoString("Children restarted.");
    ++Group.startCount;
  }
  return sized;
}

// A group of one process has no children to tell.
void SendToChildren(const std::string&) {}
