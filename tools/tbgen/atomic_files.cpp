#include "tools/tbgen/atomic_files.h"
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace tbgen {

namespace {

// Temporary files that exist now, for the signal handler: fixed storage,
// changed only with the signals blocked.
constexpr int MaxPending = 16;
constexpr int MaxPath = 4096;
char pendingPaths[MaxPending][MaxPath];
volatile sig_atomic_t pendingUsed[MaxPending];

class SignalsBlocked {
 public:
  SignalsBlocked() {
    sigset_t all;
    sigemptyset(&all);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&all, s);
    pthread_sigmask(SIG_BLOCK, &all, &old_);
  }
  ~SignalsBlocked() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }

 private:
  sigset_t old_;
};

int AddPending(const std::string& path) {
  SignalsBlocked blocked;
  for (int i = 0; i < MaxPending; ++i)
    if (!pendingUsed[i] && path.size() < MaxPath) {
      std::memcpy(pendingPaths[i], path.c_str(), path.size() + 1);
      pendingUsed[i] = 1;
      return i;
    }
  return -1;
}

void DropPending(int slot) {
  if (slot < 0) return;
  SignalsBlocked blocked;
  pendingUsed[slot] = 0;
}

void RemovePendingAndExit(int signal) {
  for (int i = 0; i < MaxPending; ++i)
    if (pendingUsed[i]) unlink(pendingPaths[i]);
  _exit(128 + signal);
}

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

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

// The file as written, read back from the disk.
bool SameOnDisk(const std::string& path, const uint8_t* data, uint64_t size) {
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  bool same = lseek(fd, 0, SEEK_END) == off_t(size);
  if (same && size) {
    void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    same = map != MAP_FAILED && std::memcmp(map, data, size) == 0;
    if (map != MAP_FAILED) munmap(map, size);
  }
  close(fd);
  return same;
}

}  // namespace

void InstallCleanupHandlers() {
  struct sigaction action {};
  action.sa_handler = RemovePendingAndExit;
  sigemptyset(&action.sa_mask);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
  signal(SIGXFSZ, SIG_IGN);
}

std::string TemporaryName(const std::string& name) { return "." + name + ".part" + std::to_string(getpid()); }

bool CommitFiles(const std::string& dir, const std::vector<FileContent>& files, std::string* error) {
  std::vector<std::string> temporary;
  std::vector<int> slots;
  auto fail = [&](const std::string& message) {
    for (size_t i = 0; i < temporary.size(); ++i) {
      unlink(temporary[i].c_str());
      DropPending(slots[i]);
    }
    if (error) *error = message;
    return false;
  };
  for (const FileContent& f : files) {
    const std::string path = dir + "/" + TemporaryName(f.name);
    const int slot = AddPending(path);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
      DropPending(slot);
      return fail(SystemError("cannot create", path));
    }
    temporary.push_back(path);
    slots.push_back(slot);
    const bool written = WriteAll(fd, f.data, f.size) && fsync(fd) == 0;
    const std::string writeError = written ? "" : SystemError("cannot write", path);
    if (close(fd) != 0 && written) return fail(SystemError("cannot write", path));
    if (!written) return fail(writeError);
    if (!SameOnDisk(path, f.data, f.size)) return fail("read back differs from what was written: " + path);
  }
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string final = dir + "/" + files[i].name;
    if (rename(temporary[i].c_str(), final.c_str()) != 0) {
      const std::string message = SystemError("cannot rename to", final);
      for (size_t j = 0; j < i; ++j) unlink((dir + "/" + files[j].name).c_str());
      return fail(message);
    }
    DropPending(slots[i]);
  }
  temporary.clear();
  slots.clear();
  if (const int d = open(dir.c_str(), O_RDONLY | O_DIRECTORY); d >= 0) {
    fsync(d);
    close(d);
  }
  return true;
}

}  // namespace tbgen
