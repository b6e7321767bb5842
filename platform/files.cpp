#include "platform/files.h"

#include <cerrno>
#include <sys/stat.h>

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

}  // namespace platform
