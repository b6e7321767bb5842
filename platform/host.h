// Calendar time and process priority: the few system services that
// start-up and the options need.
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

}  // namespace platform
