// The group of cooperating processes that one engine instance is made of:
// the parent that the front end started and the children it starts, all
// searching the same position on one shared hash table, steered by lines
// the parent writes to the children's standard input.
#pragma once
#include <string>

struct GroupState {
  bool isChild = false;
  int processCount = 1;        // n, parent included (the processes started, whether still alive or not)
  int processNumber = 0;       // 0 in the parent
  int sharedFileNumber = 0;    // generation of the shared objects
  int parentId = 0;            // in a child: field 1 of its command line
  int exchangeOwnerId = 0;     // in a child: field 7 of its command line
  int overriddenParentId = 0;  // in a parent: the id of the instance whose table it names, or 0
  int tableOwnerId = 0;  // in a parent: whose table it uses (that instance, or itself when it was not there)
  int startCount = 0;          // completed runs of StartProcessGroup
  int processorCount = 1;      // processors, lowered by the command line's cap
  int maxCpus = 2048;          // option "Max CPUs": processes the group may have
  int hashMb = 32;             // size of the table in MB
  int childPriority = 1;       // option "Child Process Priority": 0 normal, 1 below normal, 2 low
};
extern GroupState Group;

// (Re)creates the group: tears down the old one (its children quit, its
// shared objects go), creates the hash table of `hashMb` MB (cleared, in
// large pages when asked for) and the exchange area under a new generation
// number, and starts min(Max CPUs, processors) - 1 children; a restart
// prints "Children restarted.". In a child it maps the parent's objects.
// False only when the memory for that size was not to be had: the table is
// then re-created at its previous size (or 1 MB) and Group.hashMb tells which.
bool StartProcessGroup(int hashMb);
// Names of the group's shared objects as they stand now (the generation
// number of the exchange area's name is the next start's).
std::string SyncAreaName();
std::string ExchangeAreaName();
// What the parent tells new children about the settings that differ from
// their defaults (the driver's option table knows them).
void SetChildSettingsForwarder(void (*forwarder)());
// Sends a line to every child that is still there (nothing in a child or a
// group of one). A child that has gone is reported once in the log and
// dropped.
void SendToChildren(const std::string& line);
// Processes of the group that are still there, the parent included.
int LiveProcessCount();
// True when child `number` still takes part (the parent and a child's own
// view: always true for number 0).
bool ChildTakesPart(int number);
// Sets the nice value of every running child (the "Child Process Priority" option).
void ApplyChildPriority();
// The quit path of the group: the children are told to quit, a child
// reports itself gone, and the shared objects are released (their creator
// removes their names).
void LeaveProcessGroup();
// Removes the shared objects that engines which ended without cleaning up
// left behind ("Tolvo..." names whose creating process no longer exists).
void RemoveStaleSharedObjects();
// Removes the shared objects an engine process that has ended (killed, say)
// created: its table and its exchange areas, unless another process still
// maps one. For whoever started that engine and knows its process id.
void RemoveSharedObjectsOf(int pid);
