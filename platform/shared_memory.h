// Named shared memory for the processes of an engine instance: POSIX shared
// memory objects ("/dev/shm/<name>"), or, in huge pages, memory files that
// the creator hands to the processes it starts.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// One mapping of a shared object.
struct SharedRegion {
  void* base = nullptr;      // nullptr: nothing mapped
  uint64_t length = 0;       // bytes mapped
  int fd = -1;               // the object, kept open for the processes started later
  std::string name;          // without the leading slash
  bool created = false;      // this process made the object (and removes its name)
  bool hugePages = false;
};

// Creates the object `name` (mode 0600: no other user may read or plant it)
// of `bytes` zero bytes and maps it. An object of that name that exists
// already was left by a process that ended without cleaning up (the names
// carry the creator's process id): it is replaced. With `hugePages` the
// object is a huge-page memory file instead, found by the processes this
// one starts (see OpenSharedRegion). False with the system's error number.
// `failedCall` names the system call that failed. A normal-page object gets
// all of its memory at once, so that a size the system cannot hold fails
// here (ENOSPC from posix_fallocate) rather than when a page is first used.
bool CreateSharedRegion(const std::string& name, uint64_t bytes, bool hugePages, SharedRegion& region,
                        int& error, const char** failedCall = nullptr);

// What bounds the size of a new shared object (normal pages), and the bytes
// it can still take: the least of the memory the system can give, the free
// space of /dev/shm (a tmpfs, half the memory by default) and what the
// process's memory cgroup still allows. Beyond that an object could be made,
// but touching its pages would end the process (SIGBUS or the OOM killer).
enum class SharedMemoryLimit { AvailableMemory, SharedMemoryFilesystem, MemoryCgroup };
struct SharedMemoryRoom {
  uint64_t bytes = 0;
  SharedMemoryLimit limit = SharedMemoryLimit::AvailableMemory;
};
SharedMemoryRoom RoomForSharedObject();
// "the available memory", "/dev/shm", "the memory cgroup".
const char* SharedMemoryLimitText(SharedMemoryLimit limit);

// Maps the whole of an existing object: the named shared memory object, or
// else a huge-page memory file of that name that this process inherited
// (descriptor InheritedRegionFd) or that the process `ownerPid` holds open.
bool OpenSharedRegion(const std::string& name, int ownerPid, SharedRegion& region, int& error);

// Unmaps and closes; the creator also removes the name.
void CloseSharedRegion(SharedRegion& region);

// The descriptor under which a child finds the huge-page table of its parent.
constexpr int InheritedRegionFd = 3;

// Names of shared memory objects that begin with `prefix`.
std::vector<std::string> SharedObjectNames(const std::string& prefix);
// Removes a name (the memory goes once no process maps it any more).
void RemoveSharedName(const std::string& name);

// True when a process with this id exists.
bool ProcessExists(int pid);
// True when `pid` is a process running a program (not a kernel thread).
bool IsProgramProcess(int pid);
// True when `pid` is a process (not a thread of one) whose memory map we
// may read and which maps the shared memory object `name`.
bool ProcessMaps(int pid, const std::string& name);
// True when a process other than this one maps the shared memory object
// `name` (every process whose memory map we may read is looked at).
bool AnyOtherProcessMaps(const std::string& name);
// Seconds since the object `name` was made (0 when unknown).
int64_t SharedObjectAgeSeconds(const std::string& name);

// Names to remove if the process dies of a fatal signal (at most a few;
// registering an empty name frees the place). The handler removes them,
// then lets the signal take its usual course.
void RemoveNamesOnFatalSignal(int slot, const std::string& name);

}  // namespace platform
