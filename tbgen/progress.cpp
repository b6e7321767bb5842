#include "tbgen/progress.h"
#include <chrono>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>
#include "platform/platform.h"

namespace tbgen {

void Progress::Run(const std::string& pass, uint64_t count, int threads,
                   const std::function<void(uint64_t, uint64_t)>& body) {
  constexpr uint64_t Chunk = 1 << 16;
  std::atomic<uint64_t> next{0}, done{0};
  std::atomic<bool> failed{false};
  std::exception_ptr error;
  std::mutex errorLock;
  auto worker = [&] {
    try {
      for (uint64_t begin; !failed && (begin = next.fetch_add(Chunk)) < count;) {
        const uint64_t end = std::min(count, begin + Chunk);
        body(begin, end);
        done += end - begin;
      }
    } catch (...) {
      std::lock_guard<std::mutex> hold(errorLock);
      if (!error) error = std::current_exception();
      failed = true;
    }
  };
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
  std::thread shower;
  std::atomic<bool> finished{false};
  if (enabled_) {
    shower = std::thread([&] {
      while (!finished) {
        for (int i = 0; i < 25 && !finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (finished) break;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        Show(pass, done, count, seconds, false);
      }
    });
  }
  worker();
  for (auto& t : pool) t.join();
  finished = true;
  if (shower.joinable()) shower.join();
  if (error) std::rethrow_exception(error);
  if (enabled_)
    Show(pass, count, count, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
         true);
}

void Progress::Show(const std::string& pass, uint64_t done, uint64_t count, double seconds, bool final) {
  static const bool terminal = platform::StderrIsTerminal();
  // Into a file or a pipe: one line per pass that took a while.
  if (!terminal && (!final || seconds < 1.0)) return;
  const double rate = seconds > 0 ? double(done) / seconds / 1e6 : 0;
  std::fprintf(stderr, "%s%-8s %-16s %5.1f%%  %7.2f M pos/s%s", terminal ? "\r" : "", table_.c_str(),
               pass.c_str(), count ? 100.0 * double(done) / double(count) : 100.0, rate,
               terminal ? "\x1b[K" : "\n");
  std::fflush(stderr);
  lineOpen_ = terminal;
}

void Progress::Finish(const std::string& note) {
  if (!enabled_) return;
  static const bool terminal = platform::StderrIsTerminal();
  std::fprintf(stderr, "%s%-8s %s%s\n", terminal ? "\r" : "", table_.c_str(), note.c_str(),
               terminal ? "\x1b[K" : "");
  lineOpen_ = false;
}

}  // namespace tbgen
