// The hash table as a file (save and load), clearing it on request, and the
// outcome of the large-page allocation.
#pragma once
#include <string>

// Outcome of the last allocation of the table.
enum LargePageStatus : int {
  LargePagesInUse = 0,
  LargePagesNoLibrary = 1,        // does not occur on Linux
  LargePagesNoMinimumQuery = 2,   // does not occur on Linux
  LargePagesTooSmall = 3,         // table smaller than a huge page
  LargePagesCreateFailed = 4,
  LargePagesUserChoice = 5,       // option off
};
extern int CurrentLargePageStatus;
extern bool UseLargePages;
// The settings-summary text of a status (for the text log).
const char* LargePageSummary(int status);

// "Save Hash" and "Load Hash" with the path of "Hash File"; they print their
// own messages ("Save hash invoked and succeeded - ..." and the failures).
void SaveHashFile(const std::string& path);
void LoadHashFile(const std::string& path);
