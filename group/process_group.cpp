#include "group/process_group.h"

#include "common/output.h"
#include "group/exchange_area.h"
#include "search/hash_table.h"

GroupState Group;

bool StartProcessGroup(int hashMb) {
  if (!AllocateHashTable(hashMb)) AllocateHashTable(Group.hashMb);
  else Group.hashMb = hashMb;
  *Exchange = ExchangeArea{};
  ++Group.sharedFileNumber;
  if (Group.startCount++ > 0) InfoString("Children restarted.");
  return true;
}

void SendToChildren(const std::string&) {}
