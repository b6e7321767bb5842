// Temporary files that must not outlive an interrupted program: a program
// that writes files under temporary names lists them here while they exist,
// and Ctrl-C, `kill` or a hang-up removes them before the process ends.
#pragma once
#include <string>

namespace platform {

// Installs the handlers of SIGINT, SIGTERM and SIGHUP: they remove the listed
// files and end the process with exit code 128 + the signal number. Writes
// past a file-size limit then fail with an error (EFBIG) instead of ending
// the process.
void RemoveTemporaryFilesOnTermination();

// Lists a file (at most 16 at a time, paths shorter than 4096 bytes); the
// slot to unlist it with, or -1 when the list is full or the path too long.
int ListTemporaryFile(const std::string& path);
// Unlists a file (renamed or removed by its writer); -1 is ignored.
void UnlistTemporaryFile(int slot);

}  // namespace platform
