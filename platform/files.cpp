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

}  // namespace platform
