// Where the transposition table's memory comes from: one mapping, in huge
// pages when the user asks for them and the system can give them. A group of
// processes will map one shared area instead, behind the same pair of calls.
#pragma once
#include <cstdint>

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

// `bytes` is a multiple of 64. Returns a zero-filled, 64-byte aligned block,
// or nullptr when the memory is not available. Decides about huge pages,
// sets CurrentLargePageStatus and reports the outcome: "Using large pages,
// size = ..." or why not (the user's choice only in the log).
void* AcquireHashMemory(uint64_t bytes);
// Gives back a block from AcquireHashMemory (nullptr is ignored).
void ReleaseHashMemory(void* base, uint64_t bytes);

// Creates the hash table of `megabytes` MB (at least 1; a power of two from
// the command line, the Hash option or a loaded hash file, though any size
// works), cleared at generation 0, and attaches it to the search. A size
// below 1 changes nothing and gives false. Without memory for the size the
// table is re-created cleared at its previous size (or 1 MB) and false is
// returned.
bool AllocateHashTable(int megabytes);
