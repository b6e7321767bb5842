// The command line of tolvo-cluster: the engine each rank starts, engine
// options set on every engine at its start, and the log file of rank 0.
#pragma once
#include <string>
#include <vector>

namespace cluster {

struct ClusterOptions {
  std::string enginePath;                 // default: "tolvo" beside this program
  std::vector<std::string> engineOptions; // "Name=Value", as setoption lines at start
  std::string logPath;                    // empty: no log
  bool valid = true;
  std::string error;
};

// Reads --engine PATH, --option NAME=VALUE (repeatable) and --log FILE.
ClusterOptions ReadClusterOptions(const std::vector<std::string>& args, const std::string& ownPath);
// "setoption name NAME value VALUE" of a "NAME=VALUE" text.
std::string SetOptionLine(const std::string& nameValue);

}  // namespace cluster
