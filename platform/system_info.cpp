#include "platform/system_info.h"
#include "platform/memory.h"

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <cerrno>
#include <unistd.h>

namespace platform {

namespace {
std::string Trim(const std::string& s) {
  const size_t start = s.find_first_not_of(" \t");
  if (start == std::string::npos) return "";
  const size_t end = s.find_last_not_of(" \t\r\n");
  return s.substr(start, end - start + 1);
}
}  // namespace

CpuDescription ReadCpuDescription() {
  CpuDescription cpu;
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  // Only the first processor's block: the others describe the same chip.
  while (std::getline(in, line)) {
    if (Trim(line).empty()) break;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string key = Trim(line.substr(0, colon));
    const std::string value = Trim(line.substr(colon + 1));
    if (key == "model name") cpu.modelName = value;
    else if (key == "vendor_id") cpu.vendor = value;
    else if (key == "cpu MHz") cpu.mhz = std::atoi(value.c_str());
    else if (key == "cpu family") cpu.family = std::atoi(value.c_str());
    else if (key == "model") cpu.model = std::atoi(value.c_str());
    else if (key == "stepping") cpu.stepping = std::atoi(value.c_str());
  }
  return cpu;
}

std::string ArchitectureText() {
  utsname u;
  if (uname(&u) != 0) return "??";
  const std::string m = u.machine;
  if (m == "x86_64" || m == "amd64") return "x64";
  if (m == "ia64") return "ia64";
  if (m == "i386" || m == "i486" || m == "i586" || m == "i686" || m == "x86") return "x86";
  return "??";
}

bool ReadMemoryStatus(uint64_t& totalBytes, uint64_t& availableBytes) {
  struct sysinfo info;
  if (sysinfo(&info) != 0) return false;
  const uint64_t unit = info.mem_unit ? info.mem_unit : 1;
  totalBytes = uint64_t(info.totalram) * unit;
  availableBytes = uint64_t(info.freeram) * unit;
  // Free memory alone leaves out the reclaimable caches; the kernel's own
  // estimate of what a program can still get is closer to the meaning.
  if (const uint64_t available = AvailableMemory()) availableBytes = available;
  return true;
}

int PageSize() {
  const long size = sysconf(_SC_PAGESIZE);
  return size > 0 ? int(size) : 4096;
}

std::string KernelRelease() {
  utsname u;
  if (uname(&u) != 0) return "";
  return u.release;
}

// The log names the priority by the classes of the design's first platform.
std::string PriorityClassNameOfNice(int nice) {
  if (nice == 0) return "NORMAL_PRIORITY_CLASS";
  if (nice >= 1 && nice <= 18) return "BELOW_NORMAL_PRIORITY_CLASS";
  if (nice >= 19) return "IDLE_PRIORITY_CLASS";
  if (nice <= -20) return "HIGH_PRIORITY_CLASS";
  return "ABOVE_NORMAL_PRIORITY_CLASS";
}

std::string OwnPriorityClassName() {
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, 0);
  if (nice == -1 && errno != 0) return "";
  return PriorityClassNameOfNice(nice);
}

std::string LocalTimeFormatted(const char* format) {
  const std::time_t now = std::time(nullptr);
  std::tm local;
  if (!localtime_r(&now, &local)) return "";
  char text[128];
  const size_t n = std::strftime(text, sizeof text, format, &local);
  return std::string(text, n);
}

std::string LocalTimeText() { return LocalTimeFormatted("%a %b %e %H:%M:%S %Y\n"); }

}  // namespace platform
