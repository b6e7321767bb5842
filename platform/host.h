// Calendar time, process priority and the presence of named shared memory:
// the few system services that start-up and the options need.
#pragma once
#include <cstdint>
#include <string>

namespace platform {

// Seconds since 1970 (the calendar clock, not the monotonic tick).
int64_t CalendarTimeSeconds();

// Sets the nice value of this process (0 normal, 10 below normal, 19 low).
// Returns 0 on success, else the system's error code (raising the priority
// again needs privileges the process may lack).
int SetOwnNice(int nice);
// Nice value of this process.
int OwnNice();

// True when a named shared-memory object ("TolvoSync11234"; the leading
// slash of the POSIX name may be left out) exists and this process may open
// it for reading and writing.
bool SharedMemoryExists(const std::string& name);

}  // namespace platform
