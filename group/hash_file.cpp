// Saving the hash table to a file and loading it back.
#include "group/hash_file.h"

#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <vector>
#include "common/output.h"
#include "group/process_group.h"
#include "platform/files.h"
#include "search/hash_table.h"

namespace {
constexpr uint64_t Megabyte = 1024 * 1024;

int TableMegabytes() { return int(Hash.entryCount * sizeof(HashEntry) / Megabyte); }

// Sizes a table can have: 1, 2, 4 ... MB, with the MB count an int.
bool IsTableSize(uint64_t bytes) {
  if (bytes == 0 || bytes % Megabyte != 0) return false;
  const uint64_t mb = bytes / Megabyte;
  return mb <= uint64_t(INT_MAX) && (mb & (mb - 1)) == 0;
}
}  // namespace

bool HashFileNotSet(const std::string& path) { return path.empty() || path[0] == '*' || path == "<empty>"; }

bool SaveHashFile(const std::string& path) {
  if (HashFileNotSet(path)) {
    InfoString("Save hash invoked but failed - file not set.");
    return false;
  }
  const int mb = TableMegabytes();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    const int error = errno;
    InfoString("Save hash invoked but failed - %s (%d mb) could not be opened for writing, error: %s (%d).",
               path.c_str(), mb, std::strerror(error), error);
    return false;
  }
  errno = 0;
  const size_t count = size_t(Hash.entryCount);
  int error = 0;
  // Copied out entry by entry: the other processes may go on searching.
  std::vector<HashEntry> chunk(size_t(1) << 16);
  for (size_t done = 0; done < count && error == 0;) {
    const size_t n = std::min(chunk.size(), count - done);
    for (size_t i = 0; i < n; ++i) chunk[i] = LoadEntry(Hash.entries[done + i]);
    if (std::fwrite(chunk.data(), sizeof(HashEntry), n, file) != n) error = errno ? errno : EIO;
    done += n;
  }
  if (error == 0 && std::fflush(file) != 0) error = errno;
  // The last buffered bytes may only fail when the file is closed.
  const bool closed = std::fclose(file) == 0;
  if (!closed && error == 0) error = errno;
  if (error != 0 || !closed) {
    if (error == 0) error = EIO;
    InfoString("Save hash invoked but failed - %s (%d mb) could not be written to, error: %s (%d).",
               path.c_str(), mb, std::strerror(error), error);
    return false;
  }
  InfoString("Save hash invoked and succeeded - %d mb saved to %s.", mb, path.c_str());
  return true;
}

bool LoadHashFile(const std::string& path) {
  if (HashFileNotSet(path)) {
    InfoString("Load hash invoked but failed - file not set.");
    return false;
  }
  uint64_t bytes = 0;
  int error = 0;
  if (!platform::FileSize(path, bytes, error)) {
    InfoString("Load hash invoked but failed - %s could not be queried, error: %s (%d).", path.c_str(),
               std::strerror(error), error);
    return false;
  }
  // Any other size would leave a table the search cannot index properly;
  // refuse it before anything is given up.
  if (!IsTableSize(bytes)) {
    InfoString("Load hash invoked but failed - %s (%" PRIu64
               " bytes) is not a whole power-of-two number of mb.",
               path.c_str(), bytes);
    return false;
  }
  const int mb = int(bytes / Megabyte);
  // Another engine's table keeps its size: a file of another size does not fit it.
  const bool othersTable = Group.overriddenParentId != 0 && Group.tableOwnerId == Group.overriddenParentId;
  if (othersTable && bytes != Hash.entryCount * sizeof(HashEntry)) {
    InfoString("Load hash invoked but failed - %s (%d mb) does not fit the shared table of %d mb.",
               path.c_str(), mb, TableMegabytes());
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    error = errno;
    InfoString("Load hash invoked but failed - %s (%d mb) could not be opened for reading, error: %s (%d).",
               path.c_str(), mb, std::strerror(error), error);
    return false;
  }
  if (!StartProcessGroup(mb)) {
    std::fclose(file);
    InfoString("Load hash invoked but failed - could not allocate %d mb of hash.", mb);
    return false;
  }
  // Never more than the table that is mapped holds.
  if (bytes != Hash.entryCount * sizeof(HashEntry)) {
    std::fclose(file);
    InfoString("Load hash invoked but failed - %s (%d mb) does not fit the table of %d mb.", path.c_str(), mb,
               TableMegabytes());
    return false;
  }
  const size_t count = size_t(bytes / sizeof(HashEntry));
  errno = 0;
  const size_t read = std::fread(Hash.entries, sizeof(HashEntry), count, file);
  error = std::ferror(file) ? errno : 0;
  std::fclose(file);
  if (read != count) {
    // A file that ended early (it shrank since its size was taken) has no error number of its own.
    if (error == 0) error = EIO;
    // Part of a table is not the saved table: start from an empty one.
    ClearHashTable();
    InfoString("Load hash invoked but failed - %s (%d mb) could not be read from, error: %s (%d).",
               path.c_str(), mb, std::strerror(error), error);
    return false;
  }
  InfoString("Load hash invoked and succeeded - %d mb loaded from %s.", mb, path.c_str());
  return true;
}
