// What the text and HTML logs say about the machine: processor, memory,
// kernel, own scheduling priority, local time. Parts that cannot be read
// come back empty or zero; the logs then leave them out.
#pragma once
#include <cstdint>
#include <string>

namespace platform {

struct CpuDescription {
  std::string modelName;   // "model name" of /proc/cpuinfo
  std::string vendor;      // "vendor_id"
  int mhz = 0;             // "cpu MHz" of the first processor; 0 when unknown
  int family = 0;          // "cpu family"
  int model = 0;
  int stepping = 0;
};
CpuDescription ReadCpuDescription();

// "x64", "ia64", "x86" or "??" for the machine the kernel reports.
std::string ArchitectureText();

// Physical memory in bytes; false when it cannot be read.
bool ReadMemoryStatus(uint64_t& totalBytes, uint64_t& availableBytes);
int PageSize();

// Kernel release ("6.1.0-18-amd64"); empty when unknown.
std::string KernelRelease();

// Name of the own scheduling priority in the terms of the logs:
// nice 0 "NORMAL_PRIORITY_CLASS", 1..18 "BELOW_NORMAL_PRIORITY_CLASS",
// 19 "IDLE_PRIORITY_CLASS", below 0 "ABOVE_NORMAL_PRIORITY_CLASS"
// ("HIGH_PRIORITY_CLASS" at -20); empty when it cannot be read.
std::string OwnPriorityClassName();
std::string PriorityClassNameOfNice(int nice);

// Local time in the C library's standard form, "Thu Mar  7 14:02:11 2024\n".
std::string LocalTimeText();
// The local date or time formatted with strftime (for example "%b_%d").
std::string LocalTimeFormatted(const char* format);

}  // namespace platform
