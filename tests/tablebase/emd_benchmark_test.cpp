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
#include "tablebase/emd_encoder.h"
#include "tests/tablebase/emd_test_tables.h"

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
  start = std::clock();
  const std::vector<uint8_t> decoded = DecodeAll(file);
  const double decode = Seconds(start);
  EXPECT_TRUE(decoded == table);
  if (!kept) std::remove(path.c_str());
  const double mb = double(table.size()) / 1048576.0;
  std::string distances;
  for (uint32_t d : report.distances) distances.append(1, ' ').append(std::to_string(d));
  std::printf("[ emd bench ] %s: %.1f MB -> %.2f MB (%.2f%%, %.2f:1), %u of %u blocks stored; "
              "compress %.1f s (%.1f MB/s), decode %.2f s (%.0f MB/s) of processor time\n[ emd bench ] distances:%s\n",
              what, mb, double(report.outputBytes) / 1048576.0, 100.0 * double(report.outputBytes) / double(table.size()),
              double(table.size()) / double(report.outputBytes), report.storedBlocks, report.blocks, encode, mb / encode,
              decode, mb / decode, distances.c_str());
}

}  // namespace
