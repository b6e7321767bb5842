#include "tablebase/tb_cache.h"

#include <cstdio>
#include <memory>
#include <vector>
#include "tablebase/nalimov_catalogue.h"
#include "tablebase/tb_registry.h"

namespace tb {

namespace {
struct Entry {
  int table = 0, side = 0;
  uint64_t block = 0;
  int newer = -1, older = -1;          // recency list
  int bucketNext = -1, bucketPrev = -1;
  int valid = 0;                       // bytes of the block that the file held
};

std::vector<Entry> entries;
// BlockBytes per entry. Left uninitialised: only the `valid` bytes of an
// entry are ever read, and untouched pages cost nothing, so a large cache
// is set up at once (filling 256 MB took a second, more in a busy group).
std::unique_ptr<uint8_t[]> blocks;
int newest = -1, oldest = -1;          // recency list ends
std::vector<int> freeEntries;

constexpr uint64_t BlocksPerExtent = ExtentBytes / BlockBytes;

void Unlink(int i) {
  Entry& e = entries[size_t(i)];
  (e.newer >= 0 ? entries[size_t(e.newer)].older : newest) = e.older;
  (e.older >= 0 ? entries[size_t(e.older)].newer : oldest) = e.newer;
  int& head = SideOf(e.table, e.side).bucketHeads[e.block % 32];
  if (e.bucketPrev >= 0) entries[size_t(e.bucketPrev)].bucketNext = e.bucketNext;
  else head = e.bucketNext;
  if (e.bucketNext >= 0) entries[size_t(e.bucketNext)].bucketPrev = e.bucketPrev;
  e.newer = e.older = e.bucketNext = e.bucketPrev = -1;
}

void LinkFirst(int i) {
  Entry& e = entries[size_t(i)];
  e.older = newest;
  e.newer = -1;
  if (newest >= 0) entries[size_t(newest)].newer = i;
  newest = i;
  if (oldest < 0) oldest = i;
  int& head = SideOf(e.table, e.side).bucketHeads[e.block % 32];
  e.bucketNext = head;
  e.bucketPrev = -1;
  if (head >= 0) entries[size_t(head)].bucketPrev = i;
  head = i;
}

void ForgetBlocks() {
  newest = oldest = -1;
  freeEntries.clear();
  for (int i = int(entries.size()) - 1; i >= 0; --i) {
    entries[size_t(i)] = Entry{};
    freeEntries.push_back(i);
  }
  for (const nalimov::TableInfo& t : nalimov::Tables())
    for (int side = 0; side < 2; ++side)
      for (int& head : SideOf(t.number, side).bucketHeads) head = -1;
}

// Reads one block of an extent into `out`; the number of bytes it held, or
// -1 when it cannot be read.
int ReadBlock(Extent& extent, uint64_t block, uint8_t* out) {
  if (extent.path.empty()) return -1;
  if (extent.compressed) {
    // The header was read and checked at registration; a file that has
    // changed since is not read with it.
    for (int attempt = 0; !extent.emd; ++attempt) {
      auto file = std::make_unique<emd::EmdFile>();
      const emd::EmdError error = file->OpenWithHeader(extent.path, extent.header, extent.version);
      if (error == emd::EmdError::None) extent.emd = std::move(file);
      else if (error == emd::EmdError::ReadError && attempt == 0)
        CloseTablebaseFiles();  // perhaps too many files open
      else return -1;
    }
    if (extent.emd->BlockSize() != BlockBytes || block >= extent.emd->BlockCount()) return -1;
    const uint32_t length = extent.emd->BlockLength(uint32_t(block));
    return extent.emd->ReadBlock(uint32_t(block), out) == emd::EmdError::None ? int(length) : -1;
  }
  for (int attempt = 0; !extent.file; ++attempt) {
    extent.file = std::fopen(extent.path.c_str(), "rb");
    if (!extent.file && attempt == 0) CloseTablebaseFiles();
    else if (!extent.file) return -1;
  }
  if (fseeko(extent.file, off_t(block * BlockBytes), SEEK_SET) != 0) return -1;
  const size_t n = std::fread(out, 1, BlockBytes, extent.file);
  // A short block is the end of the file; anything else is an error.
  if (n == 0 || (n < size_t(BlockBytes) && (!std::feof(extent.file) || std::ferror(extent.file)))) return -1;
  return int(n);
}
}  // namespace

void SetTablebaseCache(int megabytes) {
  const uint64_t bytes = megabytes > 0 ? uint64_t(megabytes) << 20 : 0;
  const size_t count = bytes < 32 ? 0 : size_t(bytes / CacheEntryBytes);
  entries.assign(count, Entry{});
  blocks.reset();
  if (count) blocks.reset(new uint8_t[count * BlockBytes]);
  ResetTablebaseCache();
}

int TablebaseCacheEntries() { return int(entries.size()); }

void ResetTablebaseCache() {
  CloseTablebaseFiles();
  ForgetBlocks();
}

int32_t ReadTableByte(int table, int side, uint64_t block, int offset) {
  if (entries.empty() || offset < 0 || offset >= BlockBytes) return UnknownValue;
  TableSide& s = SideOf(table, side);
  for (int i = s.bucketHeads[block % 32]; i >= 0; i = entries[size_t(i)].bucketNext) {
    Entry& e = entries[size_t(i)];
    if (e.table != table || e.side != side || e.block != block) continue;
    Unlink(i);
    LinkFirst(i);
    return offset < e.valid ? int8_t(blocks[size_t(i) * BlockBytes + size_t(offset)]) : UnknownValue;
  }
  int i;
  if (!freeEntries.empty()) {
    i = freeEntries.back();
    freeEntries.pop_back();
  } else {
    i = oldest;
    Unlink(i);
  }
  const nalimov::TableInfo& t = *nalimov::TableByNumber(table);
  const int extentNumber = t.split ? int(block / BlocksPerExtent) : 0;
  const uint64_t inExtent = t.split ? block % BlocksPerExtent : block;
  if (extentNumber >= MaxExtents) {
    freeEntries.push_back(i);
    return UnknownValue;
  }
  Extent& extent = s.extents[extentNumber];
  const int valid = ReadBlock(extent, inExtent, &blocks[size_t(i) * BlockBytes]);
  if (valid < 0) {
    // A file that cannot be read (broken, removed, replaced) is not tried
    // again until the next registration.
    extent.Close();
    extent.path.clear();
    freeEntries.push_back(i);
    return UnknownValue;
  }
  Entry& e = entries[size_t(i)];
  e.table = table;
  e.side = side;
  e.block = block;
  e.valid = valid;
  LinkFirst(i);
  return offset < valid ? int8_t(blocks[size_t(i) * BlockBytes + size_t(offset)]) : UnknownValue;
}

uint64_t CacheKey(int table, int side, uint64_t block) {
  return (uint64_t(table) << 40) | (uint64_t(side) << 39) | block;
}

int CachedKeys(uint64_t* keys, int capacity) {
  int n = 0;
  for (int i = newest; i >= 0 && n < capacity; i = entries[size_t(i)].older)
    keys[n++] = CacheKey(entries[size_t(i)].table, entries[size_t(i)].side, entries[size_t(i)].block);
  return n;
}

}  // namespace tb
