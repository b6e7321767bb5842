// The group of cooperating processes that one engine instance is made of.
// For now the engine is a single process: the group owns the hash table and
// the exchange area, and restarting it re-creates them.
#pragma once
#include <string>

struct GroupState {
  bool isChild = false;
  int processCount = 1;        // n, parent included
  int processNumber = 0;       // 0 in the parent
  int sharedFileNumber = 0;    // generation of the shared objects
  int parentId = 0;            // in a child: field 1 of its command line
  int exchangeOwnerId = 0;     // in a child: field 7 of its command line
  int overriddenParentId = 0;  // in a parent: the id of the instance whose table it names, or 0
  int startCount = 0;          // completed runs of StartProcessGroup
  int processorCount = 1;      // processors, lowered by the command line's cap
  int maxCpus = 2048;          // option "Max CPUs": processes the group may have
  int hashMb = 32;             // size of the table in MB
};
extern GroupState Group;

// (Re)creates the hash table of `hashMb` MB (cleared, in large pages when
// asked for) and the exchange area, under a new generation number; a restart
// prints "Children restarted.". False only when the memory for that size was
// not to be had: the table is then re-created at its previous size (or 1 MB)
// and Group.hashMb tells which.
bool StartProcessGroup(int hashMb);
// Names of the group's shared objects as they stand now (the generation
// number of the exchange area's name is the next start's).
std::string SyncAreaName();
std::string ExchangeAreaName();
// Sends a line to every child (nothing in a child or a group of one).
void SendToChildren(const std::string& line);
