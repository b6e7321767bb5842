// Hostile tablebase files: the generated kpk, krk and kqk files, uncompressed
// and compressed, mutated at random (header fields, block sizes, code
// lengths, block bytes, entries, length), most compressed ones with their
// checksum made right again so that the damage gets past it. Registering
// them, or putting them in the place of registered files, and probing every
// block must never crash, hang or read outside its buffers (the sanitized
// build checks that), and every value read must be one a table can hold.
//
// The suite tries 300 files; TOLVO_TB_FUZZ_FILES=<files> asks for more
// (`make tb-fuzz` runs 20000 in the sanitized build).
#include <gtest/gtest.h>
#include <cstdlib>
#include "tablebase/nalimov_catalogue.h"
#include "tests/tablebase/emd_damage.h"
#include "tests/tablebase/tb_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;
using TbFuzz = TablebaseTest;

// One random change to an uncompressed file: entries of any value (the
// broken mark 127 among them), or another length.
void MutateUncompressed(Bytes& f, std::mt19937& random) {
  if (f.empty()) {
    f.push_back(uint8_t(random()));
    return;
  }
  switch (random() % 4) {
    case 0: for (int i = int(random() % 16) + 1; i > 0; --i) f[random() % f.size()] = uint8_t(random()); break;
    case 1: f[random() % f.size()] = 127; break;
    case 2: f.resize(random() % 2 ? random() % (f.size() + 1) : f.size() - 1); break;
    case 3: for (int i = int(random() % 9000); i > 0; --i) f.push_back(uint8_t(random())); break;
  }
}

bool PlausibleScore(Score s) { return s == 0 || (std::abs(s) >= 7906 && std::abs(s) <= MateScore); }

}  // namespace

TEST_F(TbFuzz, HostileFilesNeverCrashTheProbe) {
  const char* asked = std::getenv("TOLVO_TB_FUZZ_FILES");
  const uint64_t files = asked ? std::strtoull(asked, nullptr, 10) : 300;
  const uint32_t seed = asked ? uint32_t(std::random_device()()) : 2024u;
  const std::vector<std::string> tables = {"kpk", "krk", "kqk"};
  struct Seed {
    std::string name;
    Bytes plain, compressed;
  };
  std::vector<Seed> seeds;
  for (const std::string& t : tables)
    for (const char* side : {".nbw", ".nbb"}) {
      const fs::path base = fs::path(SharedTables()) / (t + side);
      seeds.push_back({t + side, FileBytes(base), FileBytes(base.string() + ".emd")});
      ASSERT_FALSE(seeds.back().plain.empty() || seeds.back().compressed.empty());
    }
  std::vector<Position> positions;
  uint32_t positionSeed = 1;
  for (const std::string& t : tables)
    for (const bool exchanged : {false, true})
      for (const std::string& fen : RandomFens(t, 30, positionSeed++, exchanged)) {
        positions.emplace_back();
        SetPositionFromFen(positions.back(), fen.c_str());
      }

  ScratchDirectory dir;
  std::mt19937 random(seed);
  uint64_t tried = 0, refused = 0, sides = 0, answered = 0, unknown = 0, bytesRead = 0;
  while (tried < files && !HasFailure()) {
    fs::remove_all(dir.Path());
    fs::create_directory(dir.Path());
    // Every other round the damaged files replace good ones already registered.
    const bool replacing = random() % 2;
    std::vector<std::pair<fs::path, Bytes>> damaged;
    for (const Seed& s : seeds) {
      const bool compressed = random() % 2;
      const fs::path path = dir.Path() / (s.name + (compressed ? ".emd" : ""));
      Bytes f = compressed ? s.compressed : s.plain;
      if (replacing) WriteFile(path, f);
      for (int changes = int(random() % 3) + 1; changes > 0; --changes)
        compressed ? MutateCompressed(f, random) : MutateUncompressed(f, random);
      if (compressed && random() % 4) Resum(f);
      damaged.emplace_back(path, std::move(f));
      ++tried;
    }
    std::string messages;
    if (replacing) sides += uint64_t(RegisterQuietly(dir.Text(), &messages));
    for (const auto& [path, bytes] : damaged) WriteFile(path, bytes);
    if (!replacing) sides += uint64_t(RegisterQuietly(dir.Text(), &messages));
    for (size_t at = 0; (at = messages.find("***", at)) != std::string::npos; ++at) ++refused;
    for (const Position& p : positions) {
      Score s = 12345;
      if (!tb::ProbeTablebase(p, s)) {
        ++unknown;
        continue;
      }
      ++answered;
      EXPECT_TRUE(PlausibleScore(s)) << s;
    }
    // Every block of every side, and one past the end.
    for (const std::string& t : tables) {
      const nalimov::TableInfo& info = *nalimov::TableByName(t);
      for (int side = 0; side < 2; ++side)
        for (uint64_t b = 0; b <= info.entries[side] / tb::BlockBytes + 1; ++b) {
          const int32_t v = tb::ReadTableByte(info.number, side, b, int(random() % tb::BlockBytes));
          EXPECT_TRUE(v == tb::UnknownValue || (v >= -128 && v <= 127)) << v;
          bytesRead += v != tb::UnknownValue;
        }
    }
  }
  std::printf("[ tb fuzz ] %llu files tried (seed %u): %llu refused at registration, %llu table sides registered; "
              "%llu probes answered, %llu unknown; %llu block reads gave a byte\n",
              (unsigned long long)tried, seed, (unsigned long long)refused, (unsigned long long)sides,
              (unsigned long long)answered, (unsigned long long)unknown, (unsigned long long)bytesRead);
  EXPECT_GE(tried, files);
  // The mutations must get past the checks as well as be refused by them.
  EXPECT_GT(refused, tried / 20);
  EXPECT_GT(answered, 0u);
}
