// The block cache of the tablebase files: its size in blocks, and reads
// from uncompressed and compressed files that must give the file's bytes
// while the cache evicts exactly the least recently used block (checked
// against a model of the recency order after every read).
#include <gtest/gtest.h>
#include <list>
#include "tablebase/nalimov_catalogue.h"
#include "tests/tablebase/tb_test_support.h"

namespace {
using TbCache = TablebaseTest;
}  // namespace

// The cache holds as many blocks as its megabytes hold with their bookkeeping.
TEST_F(TbCache, EntriesByMegabytes) {
  for (const uint64_t megabytes : {1, 2, 8, 64}) {
    tb::SetTablebaseCache(int(megabytes));
    const uint64_t bytes = uint64_t(tb::TablebaseCacheEntries()) * tb::BlockBytes;
    EXPECT_LE(bytes, megabytes << 20) << megabytes;
    EXPECT_GE(bytes, (megabytes << 20) / 100 * 98) << megabytes;
  }
  tb::SetTablebaseCache(0);
  EXPECT_EQ(tb::TablebaseCacheEntries(), 0);
}

TEST_F(TbCache, EvictsTheLeastRecentlyUsedBlock) {
  const int table = nalimov::TableByName("kqkr")->number;
  const std::vector<uint8_t> files[2] = {FileBytes(fs::path(SharedTables()) / "kqkr.nbw"),
                                         FileBytes(fs::path(SharedTables()) / "kqkr.nbb")};
  const uint64_t blocks[2] = {(files[0].size() + tb::BlockBytes - 1) / tb::BlockBytes,
                              (files[1].size() + tb::BlockBytes - 1) / tb::BlockBytes};
  ASSERT_GT(blocks[0], 150u);
  ScratchDirectory scratch;
  for (const bool compressed : {false, true}) {
    SCOPED_TRACE(compressed ? "compressed" : "uncompressed");
    const fs::path dir = scratch.Path() / (compressed ? "emd" : "plain");
    fs::create_directory(dir);
    CopyWholeTables(dir, {"kqkr"}, compressed);
    ASSERT_EQ(RegisterQuietly(dir), 2);
    const size_t capacity = size_t(tb::TablebaseCacheEntries());
    ASSERT_LT(capacity, 150u);   // 1 MB: fewer blocks than a kqkr file has

    std::list<uint64_t> model;   // most recently used first
    auto read = [&](int side, uint64_t block, int offset) {
      const uint64_t at = block * tb::BlockBytes + uint64_t(offset);
      const int32_t expected = at < files[side].size() ? int8_t(files[side][at]) : tb::UnknownValue;
      EXPECT_EQ(tb::ReadTableByte(table, side, block, offset), expected) << side << " " << block << " " << offset;
      const uint64_t key = tb::CacheKey(table, side, block);
      model.remove(key);
      model.push_front(key);
      if (model.size() > capacity) model.pop_back();
      uint64_t keys[200];
      const int n = tb::CachedKeys(keys, 200);
      EXPECT_EQ(std::vector<uint64_t>(keys, keys + n), std::vector<uint64_t>(model.begin(), model.end()));
    };
    // Fill the cache; a hit makes block 0 the newest, so a new block evicts block 1.
    for (uint64_t b = 0; b < capacity; ++b) read(0, b, int(b));
    read(0, 0, 5);
    read(1, 0, 8191);
    EXPECT_EQ(model.back(), tb::CacheKey(table, 0, 2));
    // Blocks near a moving point and anywhere, of both sides; the last
    // block's tail lies past the file's end.
    std::mt19937 random(11);
    for (int n = 0; n < 3000 && !HasFailure(); ++n) {
      const int side = int(random() % 2);
      const uint64_t near = uint64_t(n / 20) % blocks[side];
      const uint64_t block = random() % 2 ? random() % blocks[side] : (near + random() % 40) % blocks[side];
      read(side, block, random() % 8 ? int(random() % tb::BlockBytes) : tb::BlockBytes - 1);
    }
  }
}
