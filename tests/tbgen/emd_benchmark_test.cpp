// Compression ratio and speed of the compressor and the block decoder. A
// benchmark, not a test: it runs only when asked for with
//   TOLVO_EMD_BENCH=<file>   an uncompressed table (.nbw/.nbb), read-only, or
//   TOLVO_EMD_BENCH=<n>MB    n MB of a synthetic five-man-like table
// (TOLVO_EMD_BENCH_OUT=<path> keeps the compressed file there).
#include <gtest/gtest.h>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include "tbgen/emd_encoder.h"
#include "tests/support/emd_test_tables.h"

namespace {

// Processor time: the machine may be shared, so wall time says little.
double Seconds(std::clock_t since) { return double(std::clock() - since) / CLOCKS_PER_SEC; }

std::vector<uint8_t> BenchTable(const std::string& what) {
  if (what.ends_with("MB")) return FiveMenLikeTable(std::stoull(what) << 20);
  std::ifstream in(what, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(EmdBenchmark, RatioAndSpeed) {
  const char* what = std::getenv("TOLVO_EMD_BENCH");
  if (!what) GTEST_SKIP() << "set TOLVO_EMD_BENCH to run";
  const std::vector<uint8_t> table = BenchTable(what);
  ASSERT_FALSE(table.empty()) << what;
  const char* kept = std::getenv("TOLVO_EMD_BENCH_OUT");
  const std::string path = kept ? kept : EmdTempPath("bench.emd");
  std::string error;
  emd::EncodeReport report;
  auto start = std::clock();
  ASSERT_TRUE(emd::WriteCompressedTable(table.data(), table.size(), path, error, &report)) << error;
  const double encode = Seconds(start);
  emd::EmdFile file;
  ASSERT_EQ(file.Open(path), emd::EmdError::None);
  EXPECT_TRUE(DecodeAll(file) == table);
  // Block decoding alone: the file in memory, every block, for at least a second.
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> compressed{std::istreambuf_iterator<char>(in), {}};
  ASSERT_EQ(file.OpenMemory(compressed.data(), compressed.size()), emd::EmdError::None);
  std::vector<uint8_t> out(file.BlockSize());
  double decode = 0, decodedBytes = 0;
  for (start = std::clock(); decode < 1.0; decode = Seconds(start)) {
    for (uint32_t block = 0; block < file.BlockCount(); ++block) ASSERT_EQ(file.ReadBlock(block, out.data()), emd::EmdError::None);
    decodedBytes += double(table.size());
  }
  if (!kept) std::remove(path.c_str());
  const double mb = double(table.size()) / 1048576.0;
  std::string distances;
  for (uint32_t d : report.distances) distances.append(1, ' ').append(std::to_string(d));
  std::printf("[ emd bench ] %s: %.1f MB -> %.2f MB (%.2f%%, %.2f:1), %u of %u blocks stored; "
              "compress %.1f s (%.1f MB/s) of processor time; blocks decode at %.0f MB/s\n[ emd bench ] distances:%s\n",
              what, mb, double(report.outputBytes) / 1048576.0, 100.0 * double(report.outputBytes) / double(table.size()),
              double(table.size()) / double(report.outputBytes), report.storedBlocks, report.blocks, encode, mb / encode,
              decodedBytes / 1048576.0 / decode, distances.c_str());
}

}  // namespace
