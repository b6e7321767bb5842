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
  int startCount = 0;          // completed runs of StartProcessGroup
  int processorCount = 1;      // processors, lowered by the command line's cap
  int hashMb = 32;             // size of the table in MB
};
extern GroupState Group;

// (Re)creates the hash table of `hashMb` MB and the exchange area (and, with
// more than one process allowed, the children). A restart prints
// "Children restarted.". Always true.
bool StartProcessGroup(int hashMb);
// Sends a line to every child (nothing in a child or a group of one).
void SendToChildren(const std::string& line);
