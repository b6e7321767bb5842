// Damaged compressed files: real files made by the compressor, mutated at
// random (header fields, block sizes, code lengths, block bits, length), most
// of them with the checksum made right again so that the damage reaches the
// fields behind it. Opening and decoding them must never crash, hang or touch
// memory outside the file and the block (the sanitizer build checks that:
// every file and block lives in a buffer of exactly its size).
//
// The suite runs a short round; TOLVO_EMD_FUZZ=<files> asks for a longer one,
// e.g. TOLVO_EMD_FUZZ=1000000 ./tolvo_tests --gtest_filter=EmdFuzz.*
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include "tablebase/emd_checksum.h"
#include "tbgen/emd_encoder.h"
#include "tests/support/emd_test_tables.h"
#include "tests/support/test_data.h"
#include "tests/tablebase/emd_damage.h"

namespace {

using emd::EmdError;

struct Outcome {
  uint64_t files = 0, opened = 0, blocksRead = 0, blocksBroken = 0;
  uint64_t errors[7] = {};
};

std::vector<std::vector<uint8_t>> SeedFiles() {
  std::vector<uint8_t> mixed = StridedTable(4 * emd::TablebaseBlockSize + 1000, 21);
  const std::vector<uint8_t> noise = RandomTable(emd::TablebaseBlockSize, 22);
  std::copy(noise.begin(), noise.end(), mixed.begin() + emd::TablebaseBlockSize);
  const std::vector<std::vector<uint8_t>> tables = {RookEndingTable(3 * emd::TablebaseBlockSize + 333), mixed,
                                                    std::vector<uint8_t>(2 * emd::TablebaseBlockSize + 5, 0)};
  std::vector<std::vector<uint8_t>> files;
  for (const auto& t : tables) files.push_back(emd::CompressTableToMemory(t.data(), t.size()));
  return files;
}

void Exercise(emd::EmdFile& reader, EmdError opened, Outcome& outcome) {
  ++outcome.files;
  ++outcome.errors[int(opened)];
  if (opened != EmdError::None) return;
  ++outcome.opened;
  ASSERT_GE(reader.BlockCount(), 1u);
  ASSERT_LE(reader.BlockSize(), emd::MaxBlockSize);
  for (uint32_t block = 0; block < reader.BlockCount(); ++block) {
    std::vector<uint8_t> out(reader.BlockLength(block));   // exactly the block
    const EmdError error = reader.ReadBlock(block, out.data());
    ASSERT_TRUE(error == EmdError::None || error == EmdError::FileBroken || error == EmdError::ReadError);
    ++(error == EmdError::None ? outcome.blocksRead : outcome.blocksBroken);
  }
}

TEST(EmdFuzz, DamagedFilesNeverCrashTheReader) {
  const char* asked = std::getenv("TOLVO_EMD_FUZZ");
  const uint64_t files = asked ? std::strtoull(asked, nullptr, 10) : Sanitized() ? 10000 : 30000;
  const std::vector<std::vector<uint8_t>> seeds = SeedFiles();
  for (const auto& seed : seeds) ASSERT_FALSE(seed.empty());
  std::mt19937 random(asked ? uint32_t(std::random_device()()) : 2024u);
  const std::string path = EmdTempPath("fuzz.emd");
  Outcome outcome;
  for (uint64_t n = 0; n < files; ++n) {
    std::vector<uint8_t> f = seeds[n % seeds.size()];
    for (int changes = int(random() % 4) + 1; changes > 0; --changes) MutateCompressed(f, random);
    if (random() % 4) Resum(f);
    emd::EmdFile reader;
    if (n % 64 == 0) {
      // Now and then through a file on disk.
      std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
      Exercise(reader, reader.Open(path), outcome);
    } else {
      const std::vector<uint8_t> exact(f);   // a buffer of exactly the file's size
      Exercise(reader, reader.OpenMemory(exact.data(), exact.size()), outcome);
    }
    if (HasFatalFailure()) break;
  }
  std::remove(path.c_str());
  std::printf("[ emd fuzz ] %llu damaged files: %llu opened (%llu blocks read, %llu broken); refused: %llu read error, "
              "%llu out of memory, %llu broken\n",
              (unsigned long long)outcome.files, (unsigned long long)outcome.opened,
              (unsigned long long)outcome.blocksRead, (unsigned long long)outcome.blocksBroken,
              (unsigned long long)outcome.errors[2], (unsigned long long)outcome.errors[5],
              (unsigned long long)outcome.errors[6]);
  EXPECT_EQ(outcome.files, files);
  // The mutations must reach past the header check, or they test nothing.
  EXPECT_GT(outcome.opened, files / 10);
  EXPECT_GT(outcome.blocksBroken, 0u);
}

}  // namespace
