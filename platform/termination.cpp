#include "platform/termination.h"

#include <csignal>
#include <cstring>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace platform {

namespace {

// The listed files, for the signal handler: fixed storage, changed only with
// the signals blocked.
constexpr int MaxListed = 16;
constexpr int MaxPath = 4096;
char listedPaths[MaxListed][MaxPath];
volatile sig_atomic_t listedUsed[MaxListed];

constexpr int TerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};

class SignalsBlocked {
 public:
  SignalsBlocked() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : TerminationSignals) sigaddset(&set, s);
    pthread_sigmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalsBlocked() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }

 private:
  sigset_t old_;
};

void RemoveListedAndExit(int signal) {
  for (int i = 0; i < MaxListed; ++i)
    if (listedUsed[i]) unlink(listedPaths[i]);
  _exit(128 + signal);
}

}  // namespace

void RemoveTemporaryFilesOnTermination() {
  struct sigaction action {};
  action.sa_handler = RemoveListedAndExit;
  sigemptyset(&action.sa_mask);
  for (int s : TerminationSignals) sigaction(s, &action, nullptr);
  signal(SIGXFSZ, SIG_IGN);
}

int ListTemporaryFile(const std::string& path) {
  SignalsBlocked blocked;
  for (int i = 0; i < MaxListed; ++i)
    if (!listedUsed[i] && path.size() < MaxPath) {
      std::memcpy(listedPaths[i], path.c_str(), path.size() + 1);
      listedUsed[i] = 1;
      return i;
    }
  return -1;
}

void UnlistTemporaryFile(int slot) {
  if (slot < 0) return;
  SignalsBlocked blocked;
  listedUsed[slot] = 0;
}

}  // namespace platform
