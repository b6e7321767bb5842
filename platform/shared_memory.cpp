#include "platform/shared_memory.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include "platform/memory.h"

namespace platform {

namespace {
std::string PosixName(const std::string& name) { return "/" + name; }

bool MapDescriptor(int fd, uint64_t length, SharedRegion& region, int& error) {
  void* base = mmap(nullptr, size_t(length), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd, 0);
  if (base == MAP_FAILED) {
    error = errno;
    return false;
  }
  region.base = base;
  region.length = length;
  region.fd = fd;
  return true;
}

// The target of a descriptor link in /proc ("/memfd:<name> (deleted)").
std::string LinkTarget(const std::string& path) {
  char target[512];
  const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
  if (n <= 0) return "";
  return std::string(target, size_t(n));
}

bool IsMemoryFileOf(const std::string& linkPath, const std::string& name) {
  const std::string target = LinkTarget(linkPath);
  return target == "/memfd:" + name || target == "/memfd:" + name + " (deleted)";
}

bool MapWholeDescriptor(int fd, SharedRegion& region, int& error) {
  struct stat info;
  if (fstat(fd, &info) != 0 || info.st_size <= 0) {
    error = errno ? errno : EINVAL;
    close(fd);
    return false;
  }
  if (!MapDescriptor(fd, uint64_t(info.st_size), region, error)) {
    close(fd);
    return false;
  }
  return true;
}
}  // namespace

bool CreateSharedRegion(const std::string& name, uint64_t bytes, bool hugePages, SharedRegion& region,
                        int& error, const char** failedCall) {
  region = SharedRegion{};
  error = 0;
  const char* unused = nullptr;
  const char*& call = failedCall ? *failedCall : unused;
  if (bytes == 0 || bytes > uint64_t(SIZE_MAX / 2)) {
    error = EINVAL;
    return false;
  }
  int fd;
  uint64_t length = bytes;
  if (hugePages) {
    const uint64_t page = HugePageSize();
    if (page == 0) {
      error = EINVAL;
      return false;
    }
    length = (bytes + page - 1) / page * page;
    fd = memfd_create(name.c_str(), MFD_HUGETLB | MFD_CLOEXEC);
    call = "memfd_create";
  } else {
    fd = shm_open(PosixName(name).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) {
      // Left by a process of the same id that is gone (ids are reused).
      shm_unlink(PosixName(name).c_str());
      fd = shm_open(PosixName(name).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    }
    call = "shm_open";
  }
  if (fd < 0) {
    error = errno;
    return false;
  }
  if (ftruncate(fd, off_t(length)) != 0) {
    error = errno;
    call = "ftruncate";
    close(fd);
    if (!hugePages) shm_unlink(PosixName(name).c_str());
    return false;
  }
  // Reserve the pages now: a tmpfs that runs out later kills the process
  // with SIGBUS on the first write to a page it cannot give.
  if (!hugePages) {
    if (const int reserved = posix_fallocate(fd, 0, off_t(length)); reserved != 0) {
      error = reserved;
      call = "posix_fallocate";
      close(fd);
      shm_unlink(PosixName(name).c_str());
      return false;
    }
  }
  if (!MapDescriptor(fd, length, region, error)) {
    call = "mmap";
    close(fd);
    if (!hugePages) shm_unlink(PosixName(name).c_str());
    return false;
  }
  region.name = name;
  region.created = true;
  region.hugePages = hugePages;
  return true;
}

bool OpenSharedRegion(const std::string& name, int ownerPid, SharedRegion& region, int& error) {
  region = SharedRegion{};
  error = 0;
  int fd = shm_open(PosixName(name).c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) {
    error = errno;
    // A huge-page table has no name in /dev/shm: it is the descriptor a
    // child inherited, or one its creator holds.
    const std::string inherited = "/proc/self/fd/" + std::to_string(InheritedRegionFd);
    if (IsMemoryFileOf(inherited, name)) {
      fd = open(inherited.c_str(), O_RDWR | O_CLOEXEC);
    } else if (ownerPid > 0) {
      const std::string dir = "/proc/" + std::to_string(ownerPid) + "/fd";
      if (DIR* d = opendir(dir.c_str())) {
        while (dirent* entry = readdir(d)) {
          const std::string path = dir + "/" + entry->d_name;
          if (entry->d_name[0] != '.' && IsMemoryFileOf(path, name)) {
            fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
            break;
          }
        }
        closedir(d);
      }
    }
    if (fd < 0) return false;
    region.hugePages = true;
  }
  if (!MapWholeDescriptor(fd, region, error)) return false;
  region.name = name;
  return true;
}

void CloseSharedRegion(SharedRegion& region) {
  if (region.base) munmap(region.base, size_t(region.length));
  if (region.fd >= 0) close(region.fd);
  if (region.created && !region.hugePages) shm_unlink(PosixName(region.name).c_str());
  region = SharedRegion{};
}

std::vector<std::string> SharedObjectNames(const std::string& prefix) {
  std::vector<std::string> names;
  if (DIR* d = opendir("/dev/shm")) {
    while (dirent* entry = readdir(d)) {
      const std::string name = entry->d_name;
      if (name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
    }
    closedir(d);
  }
  return names;
}

void RemoveSharedName(const std::string& name) { shm_unlink(PosixName(name).c_str()); }

bool ProcessExists(int pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

bool IsProgramProcess(int pid) {
  // Kernel threads have no program file; processes of other users may not
  // be readable, but they exist and run one.
  if (pid <= 0) return false;
  char target[16];
  if (readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), target, sizeof target) >= 0) return true;
  return errno == EACCES && ProcessExists(pid);
}

bool ProcessMaps(int pid, const std::string& name) {
  const std::string dir = "/proc/" + std::to_string(pid);
  std::FILE* status = std::fopen((dir + "/status").c_str(), "r");
  if (!status) return false;
  char line[1024];
  bool leader = false;
  while (std::fgets(line, sizeof line, status))
    if (std::strncmp(line, "Tgid:", 5) == 0) leader = std::atoi(line + 5) == pid;
  std::fclose(status);
  if (!leader) return false;
  std::FILE* maps = std::fopen((dir + "/maps").c_str(), "r");
  if (!maps) return false;
  const std::string path = "/dev/shm/" + name;
  bool found = false;
  while (!found && std::fgets(line, sizeof line, maps)) {
    const char* at = std::strstr(line, path.c_str());
    found = at && (at[path.size()] == '\n' || at[path.size()] == ' ' || at[path.size()] == '\0');
  }
  std::fclose(maps);
  return found;
}

bool AnyOtherProcessMaps(const std::string& name) {
  const int own = int(getpid());
  bool found = false;
  if (DIR* d = opendir("/proc")) {
    while (!found) {
      const dirent* entry = readdir(d);
      if (!entry) break;
      char* end = nullptr;
      const long pid = std::strtol(entry->d_name, &end, 10);
      if (*end != '\0' || pid <= 0 || pid == own) continue;
      found = ProcessMaps(int(pid), name);
    }
    closedir(d);
  }
  return found;
}

int64_t SharedObjectAgeSeconds(const std::string& name) {
  struct stat info;
  if (stat(("/dev/shm/" + name).c_str(), &info) != 0) return 0;
  return int64_t(time(nullptr)) - int64_t(info.st_ctime);
}

namespace {
// Paths removed by the fatal-signal handler: plain arrays, so that the
// handler touches no allocator.
constexpr int FatalSlots = 4;
char fatalPaths[FatalSlots][256];
struct sigaction previousActions[NSIG];

void RemoveNamesAndPassOn(int signal) {
  for (char* path : fatalPaths)
    if (path[0]) unlink(path);
  // Let the signal take its course: the handler that was there before (a
  // sanitizer's report), or the default action.
  const struct sigaction& previous = previousActions[signal];
  if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
    previous.sa_handler(signal);
    return;
  }
  ::signal(signal, SIG_DFL);
  raise(signal);
}

void RemoveNamesAndPassOnInfo(int signal, siginfo_t* info, void* context) {
  for (char* path : fatalPaths)
    if (path[0]) unlink(path);
  const struct sigaction& previous = previousActions[signal];
  if (previous.sa_flags & SA_SIGINFO) {
    previous.sa_sigaction(signal, info, context);
    return;
  }
  RemoveNamesAndPassOn(signal);
}

void InstallFatalHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_sigaction = RemoveNamesAndPassOnInfo;
    action.sa_flags = SA_SIGINFO | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, &previousActions[signal]);
  }
}
}  // namespace

void RemoveNamesOnFatalSignal(int slot, const std::string& name) {
  if (slot < 0 || slot >= FatalSlots) return;
  InstallFatalHandlers();
  std::snprintf(fatalPaths[slot], sizeof fatalPaths[slot], "%s",
                name.empty() ? "" : ("/dev/shm/" + name).c_str());
}

namespace {
// A number from a cgroup file ("max" reads as no limit).
bool ReadCgroupNumber(const std::string& path, uint64_t& value) {
  std::ifstream in(path);
  std::string text;
  if (!(in >> text) || text == "max") return false;
  value = std::strtoull(text.c_str(), nullptr, 10);
  return true;
}

// What the process's memory cgroup (version 2) still allows; false when it
// sets no limit or cannot be read.
bool CgroupRoom(uint64_t& room) {
  std::ifstream self("/proc/self/cgroup");
  std::string line, path;
  while (std::getline(self, line))
    if (line.rfind("0::", 0) == 0) path = line.substr(3);
  if (path.empty()) return false;
  const std::string dir = "/sys/fs/cgroup" + (path == "/" ? std::string() : path);
  uint64_t limit = 0, used = 0;
  if (!ReadCgroupNumber(dir + "/memory.max", limit) || !ReadCgroupNumber(dir + "/memory.current", used))
    return false;
  room = limit > used ? limit - used : 0;
  return true;
}
}  // namespace

SharedMemoryRoom RoomForSharedObject() {
  SharedMemoryRoom room;
  room.bytes = AvailableMemory();
  if (room.bytes == 0) room.bytes = UINT64_MAX;   // unknown: the other limits decide
  struct statvfs fs;
  if (statvfs("/dev/shm", &fs) == 0) {
    const uint64_t free = uint64_t(fs.f_bavail) * fs.f_frsize;
    if (free < room.bytes) room = {free, SharedMemoryLimit::SharedMemoryFilesystem};
  }
  if (uint64_t cgroup = 0; CgroupRoom(cgroup) && cgroup < room.bytes)
    room = {cgroup, SharedMemoryLimit::MemoryCgroup};
  return room;
}

const char* SharedMemoryLimitText(SharedMemoryLimit limit) {
  switch (limit) {
    case SharedMemoryLimit::SharedMemoryFilesystem: return "/dev/shm";
    case SharedMemoryLimit::MemoryCgroup: return "the memory cgroup";
    default: return "the available memory";
  }
}

}  // namespace platform
