// Probing the registered tables: the engine's values against the
// generator's own reading of its files (uncompressed and compressed, colours
// as named and exchanged, a symmetric table's one file), 16-bit entries in tables stored in extents,
// files that vanish or turn to garbage while registered, positions without
// an entry, and the search's use of a probe below the root.
#include <gtest/gtest.h>
#include <algorithm>
#include <ctime>
#include <functional>
#include <memory>
#include "search/node.h"
#include "tablebase/emd_checksum.h"
#include "tablebase/emd_file.h"
#include "tablebase/nalimov_catalogue.h"
#include "tablebase/nalimov_locate.h"
#include "tbgen/emd_bit_writer.h"
#include "tests/tablebase/emd_damage.h"
#include "tests/tablebase/tb_test_support.h"

namespace {

using TbProbe = TablebaseTest;
using Bytes = std::vector<uint8_t>;

std::optional<nalimov::TableEntry> EntryOf(const std::string& fen) {
  Position p;
  if (!SetPositionFromFen(p, fen.c_str())) return std::nullopt;
  return nalimov::LocateEntry(p);
}

// A random position of the material whose entry is in `fileSide`'s file and
// satisfies `wanted` (given the entry index).
std::string PositionWhere(const std::string& material, Color fileSide,
                          const std::function<bool(uint64_t)>& wanted) {
  for (uint32_t seed = 1; seed < 100000; ++seed) {
    const std::string fen = RandomFens(material, 1, seed, false)[0];
    const auto e = EntryOf(fen);
    if (e && !e->coloursExchanged && e->fileSide == fileSide && wanted(e->index)) return fen;
  }
  ADD_FAILURE() << "no " << material << " position found";
  return "";
}

// A good compressed file of the table with blocks of 2^log2 bytes, each
// stored unchanged, with the code of `model` (a compressed file of 8192-byte
// blocks).
Bytes CompressedWithBlockSize(const Bytes& table, uint32_t log2, const Bytes& model) {
  emd::EmdHeader m;
  EXPECT_EQ(emd::ParseHeader(model.data(), model.size(), m), emd::EmdError::None);
  const uint32_t size = 1u << log2, blocks = uint32_t((table.size() + size - 1) / size);
  const uint32_t last = table.size() % size;
  Bytes f(model.begin(), model.begin() + 80);
  f[70] = uint8_t(log2);
  Put32(f, 72, blocks);
  f.resize(80 + 8 * blocks);
  emd::BitWriter bits(f);
  for (uint32_t b = 0; b < blocks; ++b) bits.Put(b + 1 < blocks ? 0 : last, int(log2));   // 0: a whole block
  bits.Put(last, int(log2));
  for (uint32_t d : m.distances) bits.Put(d, int(log2));
  bits.Flush();
  const uint64_t lengths = 80 + 8 * m.blockCount + (m.log2BlockSize * (m.blockCount + 25) + 7) / 8;
  f.insert(f.end(), model.begin() + long(lengths), model.begin() + m.headerLength);   // and room for the sum
  Put32(f, 64, uint32_t(f.size()));
  Put32(f, f.size() - 4, emd::HeaderChecksum(f.data(), f.size() - 4));
  f.insert(f.end(), table.begin(), table.end());
  return f;
}

}  // namespace

TEST_F(TbProbe, ValuesAgreeWithTheGenerator) {
  // The longest wins of krk and kqkr, each also with the colours exchanged;
  // random positions of every table (krkr's of both sides from its one file).
  const std::vector<std::pair<std::string, std::string>> known = {
      {"8/8/8/8/8/2k5/1R6/K7 w - - 0 1", "mate in 16"},  {"8/8/8/8/8/2K5/1r6/k7 b - - 0 1", "mate in 16"},
      {"8/8/8/8/2r5/8/2k5/K6Q w - - 0 1", "mate in 35"}, {"k6q/2K5/8/2R5/8/8/8/8 b - - 0 1", "mate in 35"},
      {"8/8/8/8/8/1r6/6Q1/k1K5 b - - 0 1", "mate in 19"}, {"K1k5/6q1/1R6/8/8/8/8/8 w - - 0 1", "mate in 19"},
  };
  std::vector<std::string> fens;
  for (const auto& [fen, value] : known) fens.push_back(fen);
  uint32_t seed = 1;
  for (const char* material : {"kpk", "krk", "kqk", "kqkr", "krkr"})
    for (const bool exchanged : {false, true}) {
      const std::vector<std::string> more = RandomFens(material, 60, seed++, exchanged);
      fens.insert(fens.end(), more.begin(), more.end());
    }
  const ToolRun reference = RunTbgen({"--probe", SharedTables()}, fens);
  ASSERT_EQ(reference.lines.size(), fens.size());
  for (size_t i = 0; i < known.size(); ++i) EXPECT_EQ(reference.lines[i], known[i].second) << known[i].first;
  int wins = 0, losses = 0, draws = 0;
  for (const std::string& line : reference.lines) {
    wins += line.starts_with("mate in");
    losses += line.starts_with("mated in");
    draws += line == "draw";
  }
  EXPECT_GT(wins, 50);
  EXPECT_GT(losses, 20);
  EXPECT_GT(draws, 20);

  ScratchDirectory scratch;
  for (const bool compressed : {false, true}) {
    SCOPED_TRACE(compressed ? "compressed" : "uncompressed");
    const fs::path dir = scratch.Path() / (compressed ? "emd" : "plain");
    fs::create_directory(dir);
    CopyWholeTables(dir, {"kpk", "krk", "kqk", "kqkr", "krkr"}, compressed);
    ASSERT_EQ(RegisterQuietly(dir), 9);   // krkr, symmetric, has only its white-to-move file
    // Kings side by side: no entry holds the position, and the table stays readable.
    EXPECT_EQ(ProbeFen("8/8/8/8/8/8/kK6/7R w - - 0 1"), "unknown");
    EXPECT_EQ(ProbeFen("8/8/8/8/8/8/kK6/7R b - - 0 1"), "unknown");
    // A castling right takes the position out of the tables, whose values know none.
    EXPECT_EQ(ProbeFen("4k3/8/8/8/8/8/8/4K2R w K - 0 1"), "unknown");
    EXPECT_NE(ProbeFen("4k3/8/8/8/8/8/8/4K2R w - - 0 1"), "unknown");
    int wrong = 0;
    for (size_t i = 0; i < fens.size(); ++i)
      if (ProbeFen(fens[i]) != reference.lines[i] && ++wrong <= 10)
        ADD_FAILURE() << fens[i] << ": " << ProbeFen(fens[i]) << ", the generator reads "
                      << reference.lines[i];
  }
}

TEST_F(TbProbe, SixteenBitEntriesInExtents) {
  // krnkbn is stored in six extents of 16-bit entries; the extent files hold
  // draws but for the few words written here.
  const nalimov::TableInfo& t = *nalimov::TableByName("krnkbn");
  ASSERT_TRUE(t.split && t.bits == 16);
  const uint64_t bytes = t.entries[White] * 2, extents = bytes / tb::ExtentBytes + 1;
  ASSERT_EQ(extents, 6u);
  ScratchDirectory dir;
  auto extentPath = [&](uint64_t e) { return dir.Path() / ("krnkbn." + std::to_string(e) + ".nbw"); };
  for (uint64_t e = 0; e < extents; ++e) {
    WriteFile(extentPath(e), {});
    fs::resize_file(extentPath(e), e + 1 < extents ? tb::ExtentBytes : bytes % tb::ExtentBytes);
  }
  const struct {
    uint64_t extent;
    int16_t word;
    const char* value;
  } rows[] = {
      {0, int16_t(32767 - 200), "mate in 200"}, {3, int16_t(300 - 32766), "mated in 300"},
      {5, int16_t(32767 - 1), "mate in 1"},     {4, 32767, "unknown"},   // the broken mark
      {2, 0, "draw"},
  };
  std::vector<std::string> fens;
  for (const auto& r : rows) {
    fens.push_back(
        PositionWhere("krnkbn", White, [&](uint64_t i) { return 2 * i / tb::ExtentBytes == r.extent; }));
    const uint64_t at = 2 * EntryOf(fens.back())->index % tb::ExtentBytes;
    std::FILE* f = std::fopen(extentPath(r.extent).c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    const uint8_t word[2] = {uint8_t(uint16_t(r.word) & 255), uint8_t(uint16_t(r.word) >> 8)};
    ASSERT_EQ(fseeko(f, off_t(at), SEEK_SET), 0);
    ASSERT_EQ(std::fwrite(word, 1, 2, f), 2u);
    std::fclose(f);
  }
  ASSERT_EQ(RegisterQuietly(dir.Text()), 1);
  EXPECT_EQ(tb::TbMaxMen(), 6);
  for (size_t i = 0; i < fens.size(); ++i) EXPECT_EQ(ProbeFen(fens[i]), rows[i].value) << fens[i];
  // Without extent 4 the extents before it are still read, those after it not.
  fs::remove(extentPath(4));
  ASSERT_EQ(RegisterQuietly(dir.Text()), 1);
  EXPECT_EQ(ProbeFen(fens[1]), "mated in 300");
  EXPECT_EQ(ProbeFen(fens[2]), "unknown");
}

TEST_F(TbProbe, FilesThatVanishOrTurnToGarbageReadAsUnknown) {
  const std::string early = PositionWhere("kqkr", White, [](uint64_t i) { return i / tb::BlockBytes < 4; });
  const std::string late = PositionWhere("kqkr", White, [](uint64_t i) { return i / tb::BlockBytes > 150; });
  const std::string krk = "8/8/8/8/8/2k5/1R6/K7 w - - 0 1";
  ScratchDirectory scratch;
  CopyWholeTables(scratch.Text(), {"kqkr", "krk"}, false);
  RegisterQuietly(scratch.Text());
  const std::string earlyValue = ProbeFen(early), lateValue = ProbeFen(late);
  ASSERT_NE(earlyValue, "unknown");
  ASSERT_NE(lateValue, "unknown");

  auto garbage = [](const fs::path& file, uint64_t size) {
    std::vector<uint8_t> bytes(size);
    std::mt19937 random(5);
    for (uint8_t& b : bytes) b = uint8_t(random());
    WriteFile(file, bytes);
  };
  const struct {
    const char* what;
    bool compressed;
    bool readFirst;   // the file was opened and a block cached before the damage
    std::function<void(const fs::path&)> damage;
  } rows[] = {
      {"removed", false, false, [](const fs::path& f) { fs::remove(f); }},
      {"removed", true, false, [](const fs::path& f) { fs::remove(f); }},
      {"replaced by garbage", false, false, [&](const fs::path& f) { garbage(f, 100); }},
      {"replaced by garbage", true, false, [&](const fs::path& f) { garbage(f, fs::file_size(f)); }},
      {"cut short while open", false, true,
       [](const fs::path& f) { fs::resize_file(f, 8 * tb::BlockBytes); }},
      {"cut short while open", true, true,
       [](const fs::path& f) { fs::resize_file(f, fs::file_size(f) / 2); }},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.what) + (r.compressed ? ", compressed" : ""));
    const std::string name = std::string("kqkr.nbw") + (r.compressed ? ".emd" : "");
    const fs::path file = scratch.Path() / name;
    fs::remove_all(scratch.Path());
    fs::create_directory(scratch.Path());
    CopyWholeTables(scratch.Text(), {"kqkr", "krk"}, r.compressed);
    RegisterQuietly(scratch.Text());
    if (r.readFirst) {
      EXPECT_EQ(ProbeFen(early), earlyValue);
    }
    r.damage(file);
    EXPECT_EQ(ProbeFen(late), "unknown");
    EXPECT_EQ(ProbeFen(krk), "mate in 16");   // other tables are not affected
    // A file that failed is not read again until the next registration.
    CopyTables(scratch.Text(), {{name, name}});
    EXPECT_EQ(ProbeFen(late), "unknown");
    RegisterQuietly(scratch.Text());
    EXPECT_EQ(ProbeFen(late), lateValue);
  }
}

TEST_F(TbProbe, FilesOfOtherBlockSizesAreNotRead) {
  const Bytes table = FileBytes(fs::path(SharedTables()) / "krk.nbw");
  const Bytes wide = CompressedWithBlockSize(table, 14, FileBytes(fs::path(SharedTables()) / "krk.nbw.emd"));
  emd::EmdFile good;
  ASSERT_EQ(good.OpenMemory(wide.data(), wide.size()), emd::EmdError::None);
  Bytes block(16384);
  ASSERT_EQ(good.ReadBlock(0, block.data()), emd::EmdError::None);
  ASSERT_TRUE(std::equal(block.begin(), block.end(), table.begin()));
  // Registration refuses such a file...
  ScratchDirectory dir;
  WriteFile(dir.Path() / "krk.nbw.emd", wide);
  std::string messages;
  EXPECT_EQ(RegisterQuietly(dir.Text(), &messages), 0);
  EXPECT_EQ(messages, "*** " + dir.Text() + "/krk.nbw.emd: Unsupported block size 16384\n");
  // ... and one that takes a registered file's place is not read either.
  const std::string fen = PositionWhere("krk", White, [](uint64_t i) { return i < 8192; });
  CopyTables(dir.Text(), {{"krk.nbw.emd", "krk.nbw.emd"}});
  ASSERT_EQ(RegisterQuietly(dir.Text()), 1);
  ASSERT_NE(ProbeFen(fen), "unknown");
  RegisterQuietly(dir.Text());
  WriteFile(dir.Path() / "krk.nbw.emd", wide);
  EXPECT_EQ(ProbeFen(fen), "unknown");
}

// A compressed file's header is read and checked once, at registration;
// opening the file again (first block, a new cache size) reads only blocks.
TEST_F(TbProbe, CompressedFilesKeepTheHeaderOfTheirRegistration) {
  ScratchDirectory scratch;
  CopyWholeTables(scratch.Text(), {"krk"}, true);
  ASSERT_EQ(RegisterQuietly(scratch.Text()), 2);
  const std::string fen = "8/8/8/8/8/2k5/1R6/K7 w - - 0 1";
  // Spoil the header's checksum on disk, keeping the file's size and time:
  // a reader that parsed the header again would refuse the file.
  const fs::path file = scratch.Path() / "krk.nbw.emd";
  Bytes bytes = FileBytes(file);
  uint32_t headerLength = 0;
  ASSERT_EQ(emd::CheckFixedFields(bytes.data(), bytes.size(), headerLength), emd::EmdError::None);
  const auto written = fs::last_write_time(file);
  bytes[headerLength - 1] ^= 0x5a;
  WriteFile(file, bytes);
  fs::last_write_time(file, written);
  EXPECT_EQ(ProbeFen(fen), "mate in 16");
  tb::SetTablebaseCache(2);   // closes the files and forgets the blocks
  EXPECT_EQ(ProbeFen(fen), "mate in 16");
  // A new registration reads the header again, and refuses it.
  std::string messages;
  EXPECT_EQ(RegisterQuietly(scratch.Text(), &messages), 1);
  EXPECT_NE(messages.find("krk.nbw.emd"), std::string::npos) << messages;
  EXPECT_EQ(ProbeFen(fen), "unknown");
}

TEST_F(TbProbe, SearchNodesCountTheirDistanceFromTheRoot) {
  ScratchDirectory dir;
  CopyWholeTables(dir.Text(), {"kqkr", "kqk", "krk"}, false);
  RegisterQuietly(dir.Text());
  const std::vector<std::string> fens = RandomFens("kqkr", 200, 3, false);
  auto first = [&](const std::string& prefix) {
    for (const std::string& f : fens)
      if (ProbeFen(f).starts_with(prefix)) return f;
    return std::string();
  };
  const struct {
    std::string fen;
    int depth;
    bool probed;
    int shift;   // the score less the table's, at ply 3
  } rows[] = {
      {first("mate in"), 16, true, -3},
      {first("mated in"), 16, true, 3},
      {first("draw"), 16, true, 0},
      {first("mate in"), 15, false, 0},                       // below the usage depth
      {"8/8/8/8/2r5/3p4/2k5/K6Q w - - 0 1", 40, false, 0},    // five men, tables of four
  };
  auto s = std::make_unique<SearchContext>();
  s->settings.tablebaseUsage = 16;
  for (const auto& r : rows) {
    SCOPED_TRACE(r.fen);
    Position p;
    ASSERT_TRUE(SetPositionFromFen(p, r.fen.c_str()));
    s->position = &p;
    Score table = 0;
    tb::ProbeTablebase(p, table);
    const uint64_t hits = s->tbHits;
    int score = 12345;
    EXPECT_EQ(TablebaseScoreAtNode(*s, r.depth, 3, score), r.probed);
    EXPECT_EQ(s->tbHits, hits + r.probed);
    if (r.probed) {
      EXPECT_EQ(score, table + r.shift);
    }
  }
}

// Probes per second from the cache and from the files (every probe a miss).
// A benchmark, not a test: TOLVO_TB_BENCH=1 runs it.
TEST_F(TbProbe, ProbesPerSecond) {
  if (!std::getenv("TOLVO_TB_BENCH")) GTEST_SKIP() << "set TOLVO_TB_BENCH=1 to run";
  // One position in each block of both kqkr files, in block order.
  std::vector<Position> positions;
  std::vector<std::pair<uint64_t, std::string>> byBlock;
  for (const std::string& fen : RandomFens("kqkr", 20000, 9, false))
    if (const auto e = EntryOf(fen); e && e->fileSide == White)
      byBlock.emplace_back(e->index / tb::BlockBytes, fen);
  std::sort(byBlock.begin(), byBlock.end());
  for (size_t i = 0; i < byBlock.size(); ++i)
    if (i == 0 || byBlock[i].first != byBlock[i - 1].first) {
      positions.emplace_back();
      SetPositionFromFen(positions.back(), byBlock[i].second.c_str());
    }
  ASSERT_GT(positions.size(), 130u);   // more blocks than a 1 MB cache holds
  ScratchDirectory scratch;
  for (const bool compressed : {false, true}) {
    const fs::path dir = scratch.Path() / (compressed ? "emd" : "plain");
    fs::create_directory(dir);
    CopyWholeTables(dir, {"kqkr"}, compressed);
    for (const int megabytes : {8, 1}) {
      tb::SetTablebaseCache(megabytes);
      RegisterQuietly(dir);
      for (const Position& p : positions) ProbeText(p);   // warm the files (and an 8 MB cache)
      uint64_t probes = 0;
      const std::clock_t start = std::clock();
      const auto wallStart = std::chrono::steady_clock::now();
      double seconds = 0;
      while (seconds < 1.0) {
        for (const Position& p : positions) {
          Score s;
          probes += tb::ProbeTablebase(p, s);
        }
        seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
      }
      const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
      std::printf("[ tb bench ] %s, %s: %.0f probes per second of processor time "
                  "(%.0f per second of wall time)\n", compressed ? "compressed" : "uncompressed",
                  megabytes == 8 ? "from the cache" : "every probe a block read",
                  double(probes) / seconds, double(probes) / wall);
    }
  }
}
