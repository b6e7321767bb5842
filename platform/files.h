// Questions about files that the C library cannot answer, and the steps of
// writing a file that must reach the disk whole.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// Size in bytes of the file at `path` (64-bit). False, with the system's
// error number in errorCode, when it cannot be queried.
bool FileSize(const std::string& path, uint64_t& size, int& errorCode);

// What tells one version of a file from another: the file itself, its size
// and the time its contents last changed.
struct FileVersion {
  uint64_t device = 0, inode = 0, size = 0;
  int64_t modifiedNs = 0;
  bool operator==(const FileVersion&) const = default;
};
// The version of an open file; false when it cannot be queried.
bool VersionOfOpenFile(std::FILE* file, FileVersion& version);

// Creates (or empties) the file at `path`, mode 0644, writes `size` bytes to
// it and syncs it to the disk before closing it. 0, or the system's error
// number of the first step that failed; `created` tells whether the file was
// made (after a later failure it is still there, for the caller to remove).
// Writing past a file-size limit fails with an error number when
// RemoveTemporaryFilesOnTermination (termination.h) has been called.
int WriteFileSynced(const std::string& path, const uint8_t* data, uint64_t size, bool& created);

// Gives the file `from` the name `to` in one step: `to` names the old file
// or the new one, never neither. 0, or the system's error number.
int RenameFile(const std::string& from, const std::string& to);
// Removes a file's name; 0, or the system's error number.
int RemoveFile(const std::string& path);
// Syncs a directory, so that names made or changed in it reach the disk.
void SyncDirectory(const std::string& path);

// Makes the directory and those above it that are missing (mode 0755). 0
// when `path` is a directory afterwards, else the system's error number.
int MakeDirectories(const std::string& path);

}  // namespace platform
