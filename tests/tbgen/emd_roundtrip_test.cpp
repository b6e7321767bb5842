// Tables written by the compressor read back byte for byte, whatever their
// content and length; incompressible blocks are stored as they are, and the
// file's figures are those the registration checks.
#include <gtest/gtest.h>
#include <cstdio>
#include <fstream>
#include "tbgen/emd_encoder.h"
#include "tests/support/emd_test_tables.h"

namespace {

using emd::EmdError;
using emd::EmdFile;

constexpr uint32_t Block = emd::TablebaseBlockSize;

struct TableCase {
  const char* name;
  std::vector<uint8_t> bytes;
};

std::vector<TableCase> Tables() {
  std::vector<uint8_t> constant(5 * Block, 0);
  std::vector<uint8_t> twoValues(3 * Block + 100);
  for (size_t i = 0; i < twoValues.size(); ++i) twoValues[i] = (i / 7) % 2 ? 0x81 : 0;
  return {
      {"one byte", {42}},
      {"one full block", StridedTable(Block, 1)},
      {"random with a short last block", RandomTable(3 * Block + 777, 2)},
      {"constant", constant},
      {"two values in runs", twoValues},
      {"strided", StridedTable(9 * Block + 5, 3)},
      {"rook ending", RookEndingTable(262144 - 6)},
      {"rook ending, 16-bit", Widened(RookEndingTable(40000))},
  };
}

TEST(EmdRoundTrip, EveryKindOfTableReadsBackExactly) {
  for (const TableCase& t : Tables()) {
    SCOPED_TRACE(t.name);
    emd::EncodeReport report;
    const std::vector<uint8_t> file = emd::CompressTableToMemory(t.bytes.data(), t.bytes.size(), &report);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(report.outputBytes, file.size());
    EmdFile reader;
    ASSERT_EQ(reader.OpenMemory(file.data(), file.size()), EmdError::None);
    EXPECT_EQ(reader.BlockSize(), Block);
    EXPECT_EQ(reader.BlockCount(), (t.bytes.size() + Block - 1) / Block);
    // The registration's size rule: (blocks - 1) * 8192 + the last block.
    EXPECT_EQ(reader.UncompressedSize(), t.bytes.size());
    EXPECT_EQ(DecodeAll(reader), t.bytes);
    // Compression that pays: constant and table-like data shrink a lot,
    // random data is stored and grows only by the header.
    const double ratio = double(report.outputBytes - report.headerLength) / double(t.bytes.size());
    const std::string name = t.name;
    if (name == "constant") {
      EXPECT_LT(ratio, 0.01);
    }
    if (name == "rook ending" || name == "strided") {
      EXPECT_LT(ratio, 0.5);
    }
    if (name.starts_with("random")) {
      EXPECT_EQ(report.storedBlocks, report.blocks);
      EXPECT_EQ(report.outputBytes - report.headerLength, t.bytes.size());
    }
  }
}

// A block of noise inside a compressible table is kept as it is (its coded
// form would be larger), its neighbours are coded, and a short last block
// that is noise is stored with its own length.
TEST(EmdRoundTrip, IncompressibleBlocksAreStoredUnchanged) {
  std::vector<uint8_t> table = StridedTable(6 * Block + 300, 4);
  const std::vector<uint8_t> noise = RandomTable(Block, 5);
  std::copy(noise.begin(), noise.end(), table.begin() + 2 * Block);
  std::copy(noise.begin(), noise.begin() + 300, table.begin() + 6 * Block);
  const std::vector<uint8_t> file = emd::CompressTableToMemory(table.data(), table.size());
  EmdFile reader;
  ASSERT_EQ(reader.OpenMemory(file.data(), file.size()), EmdError::None);
  const emd::EmdHeader& header = reader.Header();
  ASSERT_EQ(header.blockCount, 7u);
  EXPECT_EQ(header.lastBlockSize, 300u);
  for (uint32_t block = 0; block < header.blockCount; ++block) {
    const bool noisy = block == 2 || block == 6;
    EXPECT_EQ(header.StoredRaw(block), noisy) << block;
    if (!noisy) {
      EXPECT_LT(header.StoredLength(block), Block / 2) << block;
    }
  }
  EXPECT_EQ(header.StoredLength(6), 300u);
  // A stored block sits unchanged in the file.
  EXPECT_TRUE(std::equal(noise.begin(), noise.end(), file.begin() + ptrdiff_t(header.BlockOffset(2))));
  EXPECT_EQ(DecodeAll(reader), table);
}

// From a table file to a compressed file and back, as the generator does it.
TEST(EmdRoundTrip, ThroughFilesOnDisk) {
  const std::vector<uint8_t> table = RookEndingTable(100000);
  const std::string tablePath = EmdTempPath("rook.nbw"), path = tablePath + ".emd";
  std::ofstream(tablePath, std::ios::binary)
      .write(reinterpret_cast<const char*>(table.data()), std::streamsize(table.size()));
  std::string error;
  emd::EncodeReport report;
  ASSERT_TRUE(emd::CompressTableFile(tablePath, path, error, &report)) << error;
  std::remove(tablePath.c_str());
  EXPECT_EQ(std::ifstream(path, std::ios::binary | std::ios::ate).tellg(), std::streamoff(report.outputBytes));
  EXPECT_FALSE(std::ifstream(path + ".part").good());
  EmdFile reader;
  ASSERT_EQ(reader.Open(path), EmdError::None);
  EXPECT_EQ(reader.UncompressedSize(), table.size());
  EXPECT_EQ(DecodeAll(reader), table);
  // Blocks read in any order.
  std::vector<uint8_t> out(Block);
  for (uint32_t block : {7u, 0u, 12u, 3u}) {
    ASSERT_EQ(reader.ReadBlock(block, out.data()), EmdError::None);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + reader.BlockLength(block), table.begin() + block * Block));
  }
  EXPECT_EQ(reader.ReadBlock(reader.BlockCount(), out.data()), EmdError::FileBroken);
  reader.Close();
  std::remove(path.c_str());
}

TEST(EmdRoundTrip, WriterFailuresLeaveNoFile) {
  std::string error;
  const uint8_t byte = 0;
  EXPECT_FALSE(emd::WriteCompressedTable(&byte, 0, EmdTempPath("empty.emd"), error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(std::ifstream(EmdTempPath("empty.emd")).good());
  error.clear();
  EXPECT_FALSE(emd::WriteCompressedTable(&byte, 1, "/nonexistent-directory/kqk.nbw.emd", error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(emd::CompressTableFile(EmdTempPath("missing.nbw"), EmdTempPath("missing.nbw.emd"), error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(std::ifstream(EmdTempPath("missing.nbw.emd")).good());
}

}  // namespace
