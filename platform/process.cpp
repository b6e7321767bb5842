#include "platform/process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include "platform/platform.h"

extern char** environ;

namespace platform {

ChildProcess::~ChildProcess() {
  if (toChild_ >= 0) close(toChild_);
  if (fromChild_ >= 0) close(fromChild_);
  if (pid_ > 0 && exitCode_ < 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool ChildProcess::Start(const std::string& path, const std::vector<std::string>& argv, bool captureOutput,
                         const std::string& workingDirectory) {
  int in[2], out[2] = {-1, -1};
  if (pipe2(in, O_CLOEXEC) != 0) return false;
  if (captureOutput && pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  if (captureOutput) {
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (!workingDirectory.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int rc = posix_spawn(&pid_, path.c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  if (captureOutput) close(out[1]);
  toChild_ = in[1];
  fromChild_ = out[0];
  if (rc != 0) {
    pid_ = -1;
    return false;
  }
  return true;
}

bool ChildProcess::WriteLine(const std::string& line) {
  if (toChild_ < 0) return false;
  std::string data = line + "\n";
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    ssize_t n = write(toChild_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    left -= size_t(n);
  }
  return true;
}

void ChildProcess::CloseInput() {
  if (toChild_ >= 0) close(toChild_);
  toChild_ = -1;
}

bool ChildProcess::ReadLine(std::string& line, int timeoutMs) {
  uint64_t deadline = NowMs() + uint64_t(timeoutMs);
  for (;;) {
    size_t nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return true;
    }
    if (fromChild_ < 0) return false;
    uint64_t now = NowMs();
    if (now >= deadline) return false;
    pollfd pfd{fromChild_, POLLIN, 0};
    int r = poll(&pfd, 1, int(deadline - now));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    char chunk[65536];
    ssize_t n = read(fromChild_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      close(fromChild_);
      fromChild_ = -1;
      continue;
    }
    buffer_.append(chunk, size_t(n));
  }
}

int ChildProcess::Wait(int timeoutMs) {
  if (pid_ <= 0) return -1;
  if (exitCode_ >= 0) return exitCode_;
  uint64_t deadline = NowMs() + uint64_t(timeoutMs);
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return exitCode_;
    }
    if (NowMs() >= deadline) return -1;
    SleepMs(2);
  }
}

}  // namespace platform

namespace platform {

std::string OwnProgramPath() {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  return n > 0 ? std::string(self, size_t(n)) : std::string();
}

bool StartHelper(const std::vector<std::string>& argv, int passFd, HelperProcess& helper, int& error) {
  helper = HelperProcess{};
  int in[2];
  if (pipe2(in, O_CLOEXEC) != 0) {
    error = errno;
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (passFd >= 0) posix_spawn_file_actions_adddup2(&actions, passFd, 3);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  // The program's own file by its real name, so that the helpers show up
  // under the engine's name in the process list; the link itself when the
  // file has been replaced or removed since the engine started.
  std::string path = OwnProgramPath();
  if (path.empty() || (path.size() > 10 && path.compare(path.size() - 10, 10, " (deleted)") == 0) ||
      access(path.c_str(), X_OK) != 0)
    path = "/proc/self/exe";
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  if (rc != 0) {
    close(in[1]);
    error = rc;
    return false;
  }
  helper.pid = int(pid);
  helper.inputFd = in[1];
  return true;
}

bool WriteAll(int fd, const std::string& data, int& error) {
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    const ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : EIO;
      return false;
    }
    p += n;
    left -= size_t(n);
  }
  return true;
}

void CloseDescriptor(int fd) {
  if (fd >= 0) close(fd);
}

int SetNiceOf(int pid, int nice) { return setpriority(PRIO_PROCESS, id_t(pid), nice) == 0 ? 0 : errno; }

void KillProcess(int pid) {
  if (pid > 0) kill(pid, SIGKILL);
}

void SignalProcess(int pid, int signal) {
  if (pid > 0) kill(pid, signal);
}

void ReapHelpersAutomatically() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = SIG_IGN;
  action.sa_flags = SA_NOCLDWAIT;
  sigemptyset(&action.sa_mask);
  sigaction(SIGCHLD, &action, nullptr);
}

}  // namespace platform
