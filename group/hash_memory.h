// Where the transposition table's memory comes from: one shared memory
// object that every process of the group maps, in huge pages when the user
// asks for them and the system can give them.
#pragma once
#include <cstdint>
#include <string>

// Outcome of the last allocation of the table.
enum LargePageStatus : int {
  LargePagesInUse = 0,
  LargePagesNoLibrary = 1,        // does not occur on Linux
  LargePagesNoMinimumQuery = 2,   // does not occur on Linux
  LargePagesTooSmall = 3,         // table smaller than a huge page
  LargePagesCreateFailed = 4,     // no huge pages to be had; normal pages used
  LargePagesUserChoice = 5,       // option off (also the state before any allocation)
};
extern int CurrentLargePageStatus;
// Option "Use Large Pages": read by the next allocation.
extern bool UseLargePages;
// The text-log settings line of a status, with its four blanks of indentation.
const char* LargePageSummary(int status);

// Whether a table of `megabytes` MB fits the memory a shared object can
// still take, counting the current table's as free (it goes before the new
// one comes). When not, `why` tells what limits it and its room in MB.
bool HashTableFits(int megabytes, std::string& why);
// Creates the table of `megabytes` MB (at least 1) as the shared object of
// the group's sync name, cleared at generation 0, and attaches it to the
// search; huge pages are decided and reported here ("Using large pages,
// size = ..." or why not). A size below 1 changes nothing and gives false.
// Without memory for the size the table is re-created cleared at its
// previous size (or 1 MB) and false is returned.
bool AllocateHashTable(int megabytes);
// Maps the table another process created under the group's sync name (a
// child, or an engine started to share another instance's table) and
// attaches it without clearing it. False, with no table, when it cannot be
// opened.
bool OpenHashTable(int ownerPid);
// Unmaps the table; its creator also removes the name.
void ReleaseHashTable();
// The descriptor of a huge-page table that the children must inherit, or -1.
int HashTableDescriptor();
// Bytes of the mapped table object (its region size).
uint64_t HashTableRegionSize();
