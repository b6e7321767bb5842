#include "tools/fuzz/engine_pipe.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace fuzz {

namespace {
// Kept per stream: a runaway program must not eat the fuzzer's memory.
constexpr size_t MaxErrorText = 1 << 20;
constexpr size_t MaxLineLength = 4 << 20;

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}
}  // namespace

uint64_t NowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000 + uint64_t(ts.tv_nsec) / 1000000;
}

EnginePipe::~EnginePipe() {
  Kill();
  CloseFd(toChild_);
  CloseFd(fromChild_);
  CloseFd(errChild_);
}

bool EnginePipe::Start(const std::string& binary, const std::string& workingDirectory, std::string& error) {
  // A program that has ended must not take its caller with it on the next write.
  std::signal(SIGPIPE, SIG_IGN);
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  if (!workingDirectory.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
  std::vector<char*> argv{const_cast<char*>(binary.c_str()), nullptr};
  const int rc = posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  toChild_ = in[1];
  fromChild_ = out[0];
  errChild_ = err[0];
  if (rc != 0) {
    pid_ = -1;
    error = "posix_spawn " + binary + ": " + std::strerror(rc);
    return false;
  }
  fcntl(toChild_, F_SETFL, fcntl(toChild_, F_GETFL) | O_NONBLOCK);
  fcntl(fromChild_, F_SETFL, fcntl(fromChild_, F_GETFL) | O_NONBLOCK);
  fcntl(errChild_, F_SETFL, fcntl(errChild_, F_GETFL) | O_NONBLOCK);
  return true;
}

void EnginePipe::Write(const std::string& bytes) {
  if (closeRequested_) return;
  if (pendingOffset_ > 0 && pendingOffset_ == pendingInput_.size()) {
    pendingInput_.clear();
    pendingOffset_ = 0;
  }
  pendingInput_ += bytes;
  FlushInput();
}

void EnginePipe::CloseInput() {
  closeRequested_ = true;
  FlushInput();
}

void EnginePipe::FlushInput() {
  while (toChild_ >= 0 && pendingOffset_ < pendingInput_.size()) {
    const ssize_t n = write(toChild_, pendingInput_.data() + pendingOffset_, pendingInput_.size() - pendingOffset_);
    if (n > 0) {
      pendingOffset_ += size_t(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    // The program no longer reads (it has ended): drop what is left.
    pendingOffset_ = pendingInput_.size();
    CloseFd(toChild_);
  }
  if (pendingOffset_ == pendingInput_.size()) {
    pendingInput_.clear();
    pendingOffset_ = 0;
    if (closeRequested_) CloseFd(toChild_);
  }
}

bool EnginePipe::InputDrained() const {
  if (QueuedInput() > 0) return false;
  int unread = 0;
  // On Linux FIONREAD on either end of a pipe counts the bytes not yet read.
  return toChild_ < 0 || ioctl(toChild_, FIONREAD, &unread) != 0 || unread == 0;
}

void EnginePipe::ReadFrom(int& fd, std::string& into, bool isStdout) {
  char chunk[65536];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n > 0) {
      if (isStdout) {
        into.append(chunk, size_t(n));
        size_t start = 0, nl;
        while ((nl = into.find('\n', start)) != std::string::npos) {
          lines_.emplace_back(into, start, nl - start);
          start = nl + 1;
        }
        into.erase(0, start);
        if (into.size() > MaxLineLength) into.resize(MaxLineLength);
      } else if (into.size() < MaxErrorText) {
        into.append(chunk, size_t(n));
      }
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    // End of the stream: a last line without its line feed still counts.
    if (isStdout && !into.empty()) {
      lines_.push_back(into);
      into.clear();
    }
    CloseFd(fd);
    return;
  }
}

void EnginePipe::Pump(int timeoutMs) {
  const uint64_t deadline = NowMs() + uint64_t(timeoutMs > 0 ? timeoutMs : 0);
  const size_t linesBefore = lines_.size();
  for (;;) {
    FlushInput();
    pollfd fds[3];
    int count = 0;
    if (fromChild_ >= 0) fds[count++] = {fromChild_, POLLIN, 0};
    if (errChild_ >= 0) fds[count++] = {errChild_, POLLIN, 0};
    const bool wantWrite = toChild_ >= 0 && pendingOffset_ < pendingInput_.size();
    if (wantWrite) fds[count++] = {toChild_, POLLOUT, 0};
    const uint64_t now = NowMs();
    int wait = now >= deadline ? 0 : int(deadline - now);
    if (count == 0) {
      Reap(false);
      if (exited_ || wait == 0) return;
      // Both output streams are closed but the program has not been reaped yet.
      usleep(1000);
      continue;
    }
    if (wait > 50) wait = 50;   // keeps an eye on the program's end
    const int r = poll(fds, nfds_t(count), wait);
    if (r < 0 && errno != EINTR) return;
    for (int i = 0; i < count && r > 0; ++i) {
      if (!fds[i].revents) continue;
      if (fds[i].fd == fromChild_) ReadFrom(fromChild_, outBuffer_, true);
      else if (fds[i].fd == errChild_) ReadFrom(errChild_, errorText_, false);
      else if (fds[i].fd == toChild_) FlushInput();
    }
    if (lines_.size() > linesBefore) return;
    if (fromChild_ < 0 && errChild_ < 0) {
      Reap(false);
      if (exited_) return;
    }
    if (NowMs() >= deadline) return;
  }
}

bool EnginePipe::NextLine(std::string& line) {
  if (lines_.empty()) return false;
  line = std::move(lines_.front());
  lines_.pop_front();
  return true;
}

void EnginePipe::Reap(bool block) {
  if (pid_ <= 0 || exited_) return;
  int status = 0;
  const pid_t r = waitpid(pid_, &status, block ? 0 : WNOHANG);
  if (r != pid_) return;
  exited_ = true;
  if (WIFEXITED(status)) {
    exitCode_ = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    termSignal_ = WTERMSIG(status);
  }
}

bool EnginePipe::Exited() {
  Reap(false);
  if (exited_) {
    // Collect what the program wrote just before it ended.
    if (fromChild_ >= 0) ReadFrom(fromChild_, outBuffer_, true);
    if (errChild_ >= 0) ReadFrom(errChild_, errorText_, false);
  }
  return exited_;
}

void EnginePipe::Kill() {
  if (pid_ <= 0 || exited_) return;
  // SIGTERM first: the engine then removes its shared-memory names itself,
  // which a SIGKILL would leave in /dev/shm until the next engine starts.
  kill(pid_, SIGTERM);
  for (int waited = 0; waited < 1000 && !exited_; waited += 10) {
    usleep(10000);
    Reap(false);
  }
  if (exited_) return;
  kill(pid_, SIGKILL);
  Reap(true);
}

}  // namespace fuzz
