// Start-up: the configuration file, the command-line fields that make a
// process stand-alone or a child of a group, and the sequence that prepares
// everything before the command loop runs.
#pragma once
#include <string>
#include <vector>

// What the fields after the program's own entry say.
struct CommandLineFields {
  bool isChild = false;          // more than four fields
  int parentId = 0;              // child: field 1
  int requestedHashMb = 32;      // field 3
  int sharedFileNumber = 0;      // child: field 4
  int processCount = 1;          // child: field 5
  int childNumber = 0;           // child: field 6
  int exchangeOwnerId = 0;       // child: field 7
  int overriddenParentId = 0;    // stand-alone with two or more fields: field 1
  bool processorCapGiven = false;  // stand-alone with two or more fields:
  int processorCap = 0;            //   field 2 caps the processor count
};
CommandLineFields ReadCommandLineFields(const std::vector<std::string>& fields);

// Largest power of two not above the request; 1 for requests below 2.
int HashSizeOfRequest(int requestMb);

// Processors the group may use: the system's count, lowered by the cap of
// the command line, at least 1.
int ProcessorCountWithCap(int systemCount, const CommandLineFields& fields);

// The first word of "tolvo.config": "randomize" or "RANDOMIZE" turns the
// randomizer on; a digit at index 10 ("randomize=20") sets its threshold.
struct ConfigSettings {
  bool randomizer = false;
  int threshold = -1;            // -1: keep the current threshold
};
ConfigSettings ReadConfigWord(const std::string& word);
// Reads the file (absent or unreadable: nothing happens) and applies it.
void ApplyConfigFile(const std::string& path);

// Everything from the table check to the main process priority; afterwards
// the command loop runs. `argv[0]` is the program's own entry. `alone`
// starts no children (a benchmark run from the command line).
void StartUp(int argc, char** argv, bool alone = false);
