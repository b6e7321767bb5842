#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>

namespace platform {

bool FileSize(const std::string& path, uint64_t& size, int& errorCode) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    errorCode = errno;
    size = 0;
    return false;
  }
  errorCode = 0;
  size = info.st_size < 0 ? 0 : uint64_t(info.st_size);
  return true;
}

bool VersionOfOpenFile(std::FILE* file, FileVersion& version) {
  struct stat info;
  if (!file || fstat(fileno(file), &info) != 0) return false;
  version.device = uint64_t(info.st_dev);
  version.inode = uint64_t(info.st_ino);
  version.size = info.st_size < 0 ? 0 : uint64_t(info.st_size);
  version.modifiedNs = int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return true;
}

namespace {

bool WriteAll(int fd, const uint8_t* data, uint64_t size) {
  while (size) {
    const ssize_t n = write(fd, data, std::min<uint64_t>(size, 1 << 30));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    data += n;
    size -= uint64_t(n);
  }
  return true;
}

}  // namespace

int WriteFileSynced(const std::string& path, const uint8_t* data, uint64_t size, bool& created) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  created = fd >= 0;
  if (fd < 0) return errno;
  const int written = WriteAll(fd, data, size) && fsync(fd) == 0 ? 0 : errno;
  const int closed = close(fd) == 0 ? 0 : errno;
  return written ? written : closed;
}

int RenameFile(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0 ? 0 : errno; }

void SyncDirectory(const std::string& path) {
  if (const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY); fd >= 0) {
    fsync(fd);
    close(fd);
  }
}

int MakeDirectories(const std::string& path) {
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || (path[i] == '/' && i > 0)) {
      if (mkdir(path.substr(0, i).c_str(), 0755) != 0 && errno != EEXIST) return errno;
    }
  }
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return errno;
  return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

}  // namespace platform
