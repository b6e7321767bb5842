// Questions about files that the C library cannot answer.
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

}  // namespace platform
