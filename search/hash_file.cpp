// Placeholder until hash files land.
#include "search/hash_file.h"

int CurrentLargePageStatus = LargePagesUserChoice;
bool UseLargePages = false;
const char* LargePageSummary(int) { return "    Large pages not used - user choice."; }
void SaveHashFile(const std::string&) {}
void LoadHashFile(const std::string&) {}
