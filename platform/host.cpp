#include "platform/host.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace platform {

int64_t CalendarTimeSeconds() { return int64_t(std::time(nullptr)); }

int SetOwnNice(int nice) {
  if (setpriority(PRIO_PROCESS, 0, nice) == 0) return 0;
  return errno ? errno : EPERM;
}

int OwnNice() {
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, 0);
  return errno ? 0 : nice;
}

bool SharedMemoryExists(const std::string& name) {
  const std::string posixName = name.empty() || name[0] != '/' ? "/" + name : name;
  const int fd = shm_open(posixName.c_str(), O_RDWR, 0);
  if (fd < 0) return false;
  close(fd);
  return true;
}

}  // namespace platform
