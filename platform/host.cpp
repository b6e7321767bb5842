#include "platform/host.h"

#include <cerrno>
#include <ctime>
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

}  // namespace platform
