// The command line of tolvo-tbgen, read from left to right: --help, --index
// and --probe DIR end the reading (the last two take the rest of the line as
// FENs), and so does the first mistake.
#pragma once
#include <string>
#include <vector>

namespace tbgen {

struct GenerationOptions {
  std::string dir = ".";
  bool compress = false, verify = false, verifyOnly = false, quiet = false;
  int threads = 1;
  int allMen = 0;
  std::vector<std::string> tables;
};

struct CommandLine {
  enum class Action { Generate, Help, Index, Probe, Mistake };
  Action action = Action::Generate;
  GenerationOptions options;
  std::string probeDirectory;
  std::vector<std::string> fens;   // of --index and --probe
  std::string mistake;             // what is wrong with the line
};

// Every option the program accepts ("-o", "--threads", ...).
const std::vector<std::string>& OptionNames();

// `defaultThreads` is the thread count unless --threads says otherwise.
CommandLine ReadCommandLine(const std::vector<std::string>& args, int defaultThreads);

}  // namespace tbgen
