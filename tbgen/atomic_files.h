// Writing finished files so that a file under its final name is always
// whole: each is written under a temporary name in the same directory,
// synced, read back and compared, and only then renamed. A failure (a full
// disk, an error of the system) or SIGINT/SIGTERM/SIGHUP removes the
// temporary files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tbgen {

struct FileContent {
  std::string name;        // final name within the directory
  const uint8_t* data;
  uint64_t size;
};

// Installs the handlers that remove temporary files on a signal (the
// process then ends with 128 + the signal number); writes beyond a file-size
// limit then fail with an error instead of a signal.
void InstallCleanupHandlers();

// Writes all files or none: false with a message when any step fails, and
// then nothing new is left under a final name nor a temporary one.
bool CommitFiles(const std::string& dir, const std::vector<FileContent>& files, std::string* error);

// Name of the temporary file of a final name (hidden, with the process id).
std::string TemporaryName(const std::string& name);

}  // namespace tbgen
