#include "platform/platform.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <time.h>
#include <unistd.h>

namespace platform {

uint64_t NowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000 + uint64_t(ts.tv_nsec) / 1000000;
}

void SleepMs(int ms) {
  if (ms <= 0) return;
  timespec ts{ms / 1000, long(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

bool CpuHasPopcount() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("popcnt");
}

namespace {
std::string ownEntry;
void (*stdoutFailure)() = nullptr;
}  // namespace

void SetOwnEntry(const char* argv0) { ownEntry = argv0 ? argv0 : ""; }
const std::string& OwnEntry() { return ownEntry; }

std::vector<std::string> CommandLineEntries() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> entries;
  size_t start = 0;
  while (start < raw.size()) {
    size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    entries.push_back(raw.substr(start, end - start));
    start = end + 1;
  }
  return entries;
}

std::string CommandLine() {
  std::string line;
  for (const std::string& e : CommandLineEntries()) {
    if (!line.empty()) line += ' ';
    line += e;
  }
  return line;
}

int ProcessId() { return int(getpid()); }
int ParentProcessId() { return int(getppid()); }

int ProcessorCount() {
  long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n < 1 ? 1 : int(n);
}

bool StdinIsConsole() { return isatty(0) == 1; }
bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void IgnoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }
void SetStdoutFailureHandler(void (*handler)()) { stdoutFailure = handler; }

void WriteStdout(const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(1, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      void (*handler)() = stdoutFailure;
      stdoutFailure = nullptr;   // the quit path may write again; do not recurse
      if (handler) handler();
      return;
    }
    data += n;
    size -= size_t(n);
  }
}

int IdleInputDescriptor() {
  static int fds[2] = {-1, -1};
  if (fds[0] < 0 && pipe(fds) != 0) return -1;
  return fds[0];
}

std::string SystemErrorText(int code) { return std::strerror(code); }
int LastErrorCode() { return errno; }

bool LineReader::FillOnce(bool block) {
  if (ended_) return false;
  if (!block) {
    pollfd pfd{fd_, POLLIN, 0};
    int r = poll(&pfd, 1, 0);
    if (r < 0) return errno == EINTR;
    if (r == 0) return true;
    if (!(pfd.revents & POLLIN)) {
      if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) {
        ended_ = true;
        endError_ = (pfd.revents & POLLHUP) ? EPIPE : EIO;
        return false;
      }
      return true;
    }
  }
  char chunk[65536];
  for (;;) {
    ssize_t n = read(fd_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ended_ = true;
      endError_ = n < 0 ? errno : 0;
      return false;
    }
    // Drop the tail of an over-long line up to its line feed.
    const char* p = chunk;
    size_t len = size_t(n);
    if (discarding_) {
      const char* nl = static_cast<const char*>(std::memchr(p, '\n', len));
      if (!nl) return true;
      discarding_ = false;
      len -= size_t(nl - p) + 1;
      p = nl + 1;
    }
    buffer_.append(p, len);
    // Cap the unfinished last line.
    size_t lastNl = buffer_.rfind('\n');
    size_t tailStart = lastNl == std::string::npos ? 0 : lastNl + 1;
    if (buffer_.size() - tailStart > maxLine_) {
      buffer_.resize(tailStart + maxLine_);
      buffer_ += '\n';
      discarding_ = true;
    }
    return true;
  }
}

bool LineReader::TakeLine(std::string& line) {
  size_t nl = buffer_.find('\n');
  if (nl == std::string::npos) return false;
  line.assign(buffer_, 0, nl);
  buffer_.erase(0, nl + 1);
  return true;
}

bool LineReader::PeekLine(std::string& line) const {
  const size_t nl = buffer_.find('\n');
  if (nl == std::string::npos) return false;
  line.assign(buffer_, 0, nl);
  return true;
}

bool LineReader::ReadLine(std::string& line) {
  for (;;) {
    if (TakeLine(line)) return true;
    if (!FillOnce(true)) {
      if (buffer_.empty()) return false;
      line.swap(buffer_);   // a last line without its line feed
      buffer_.clear();
      return true;
    }
  }
}

InputState LineReader::Poll() {
  if (buffer_.find('\n') != std::string::npos) return InputState::LineWaiting;
  bool alive = FillOnce(false);
  if (buffer_.find('\n') != std::string::npos) return InputState::LineWaiting;
  if (!alive) return buffer_.empty() ? InputState::Ended : InputState::LineWaiting;
  return InputState::Nothing;
}

}  // namespace platform
