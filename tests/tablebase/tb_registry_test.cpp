// Finding the tablebase files: every name form, path lists, the checks that
// refuse a broken file (with the line the engine prints) while the other
// files stay usable, and the most men the registered tables cover.
#include <gtest/gtest.h>
#include <functional>
#include "tablebase/emd_checksum.h"
#include "tablebase/nalimov_catalogue.h"
#include "tbgen/emd_encoder.h"
#include "tests/tablebase/emd_damage.h"
#include "tests/tablebase/tb_test_support.h"

namespace {

using TbRegistry = TablebaseTest;
using Bytes = std::vector<uint8_t>;

// The longest krk win, read from krk.nbw as it is and with the colours
// exchanged, and a loss read from krk.nbb.
const char* const KrkWhiteToMove = "8/8/8/8/8/2k5/1R6/K7 w - - 0 1";
const char* const KrkExchanged = "8/8/8/8/8/2K5/1r6/k7 b - - 0 1";
const char* const KrkLongestWin = "mate in 16";
const char* const KrkBlackToMove = "8/8/8/8/8/2k5/1R6/K7 b - - 0 1";
const char* const KrkLongestLoss = "mated in 16";


// A file of the right size holding nothing but draws (no disk space used).
void SparseFile(const fs::path& path, uint64_t bytes) {
  WriteFile(path, {});
  fs::resize_file(path, bytes);
}
uint64_t FileLength(const char* table, int side) {
  const nalimov::TableInfo& t = *nalimov::TableByName(table);
  return t.entries[side] * uint64_t(t.bits / 8);
}

}  // namespace

TEST_F(TbRegistry, EveryFileNameFormIsFound) {
  const struct {
    const char* white;
    const char* black;
    bool compressed;
  } forms[] = {
      {"krk.nbw", "krk.nbb", false},        {"krk.nbw.emd", "krk.nbb.emd", true},
      {"krk_nbw.emd", "krk_nbb.emd", true}, {"krk_nbw_emd", "krk_nbb_emd", true},
      {"krknbw.emd", "krknbb.emd", true},
  };
  ScratchDirectory scratch;
  for (const auto& form : forms) {
    SCOPED_TRACE(form.white);
    const fs::path dir = scratch.Path() / form.white;
    fs::create_directory(dir);
    const std::string suffix = form.compressed ? ".emd" : "";
    CopyTables(dir, {{"krk.nbw" + suffix, form.white}, {"krk.nbb" + suffix, form.black}});
    EXPECT_EQ(RegisterQuietly(dir.string()), 2);
    EXPECT_EQ(ProbeFen(KrkWhiteToMove), KrkLongestWin);
    EXPECT_EQ(ProbeFen(KrkExchanged), KrkLongestWin);
    EXPECT_EQ(ProbeFen(KrkBlackToMove), KrkLongestLoss);
  }
  // The eight-letter form is only for tables of up to five men; the tables
  // stored in extents have the plain and ".emd" forms of each extent.
  EXPECT_EQ(tb::ExtentFileNames("d", nalimov::TableByName("krpkr")->number, 1, 0).back(), "d/krpkrnbb.emd");
  EXPECT_EQ(tb::ExtentFileNames("d", nalimov::TableByName("krnknn")->number, 0, 0).back(),
            "d/krnknn_nbw_emd");
  EXPECT_EQ(tb::ExtentFileNames("d/", nalimov::TableByName("krnkbn")->number, 1, 11),
            (std::vector<std::string>{"d/krnkbn.b.nbb", "d/krnkbn.b.nbb.emd"}));
}

TEST_F(TbRegistry, PathListsSplitAtSemicolonsAndCommas) {
  ScratchDirectory scratch;
  const std::string dir = scratch.Text();
  for (const char* table : {"kpk", "krk", "kqk"}) {
    fs::create_directory(scratch.Path() / table);
    CopyWholeTables(dir + "/" + table, {table}, false);
  }
  const struct {
    std::string paths;
    int sides;
    bool kpk, krk, kqk;
  } rows[] = {
      {dir + "/kpk;" + dir + "/krk," + dir + "/kqk", 6, true, true, true},
      {dir + "/kpk,," + dir + "/missing;" + dir + "/kqk/", 4, true, false, true},
      {dir + "/krk", 2, false, true, false},   // a new list forgets the old one
      {"", 0, false, false, false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.paths);
    EXPECT_EQ(RegisterQuietly(r.paths), r.sides);
    EXPECT_EQ(ProbeFen("8/8/8/8/8/1k6/1P6/1K6 w - - 0 1") != "unknown", r.kpk);
    EXPECT_EQ(ProbeFen(KrkWhiteToMove) != "unknown", r.krk);
    EXPECT_EQ(ProbeFen("8/8/8/5k2/8/8/1Q6/K7 w - - 0 1") != "unknown", r.kqk);
  }
}

// The line printed for each kind of refusal (which damage each check of a
// compressed file's header refuses is the header test's).
TEST_F(TbRegistry, BrokenFilesAreReportedAndSkipped) {
  ScratchDirectory scratch;
  const std::string dir = scratch.Text();
  const Bytes krk = FileBytes(fs::path(SharedTables()) / "krk.nbw");
  const Bytes emd = FileBytes(fs::path(SharedTables()) / "krk.nbw.emd");
  const struct {
    const char* what;
    const char* name;
    std::function<Bytes()> file;
    std::string message;   // empty: the file is good
  } rows[] = {
      {"one entry short", "krk.nbw", [&] { return Bytes(krk.begin(), krk.end() - 1); },
       "*** " + dir + "/krk.nbw corrupted 2147483648 27030 27029"},
      {"one entry long", "krk.nbw", [&] { Bytes f = krk; f.push_back(0); return f; },
       "*** " + dir + "/krk.nbw corrupted 2147483648 27030 27031"},
      {"compressed table one entry short", "krk.nbw.emd",
       [&] { return emd::CompressTableToMemory(krk.data(), krk.size() - 1); },
       "*** " + dir + "/krk.nbw.emd corrupted 2147483648 27030 27029"},
      {"no banner", "krk.nbw.emd", [&] { Bytes f = emd; f[3] ^= 1; Resum(f); return f; },
       "*** Unable to read " + dir + "/krk.nbw.emd - read error"},
      {"blocks past the end", "krk.nbw.emd", [&] { return Bytes(emd.begin(), emd.end() - 1); },
       "*** Unable to read " + dir + "/krk.nbw.emd - file broken"},
      {"summed again by the file's own rule", "krk.nbw.emd", [&] { Bytes f = emd; Resum(f); return f; }, ""},
  };
  CopyTables(dir, {{"krk.nbb", "krk.nbb"}});
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    fs::remove(scratch.Path() / "krk.nbw");
    fs::remove(scratch.Path() / "krk.nbw.emd");
    WriteFile(scratch.Path() / r.name, r.file());
    std::string messages;
    EXPECT_EQ(RegisterQuietly(dir, &messages), r.message.empty() ? 2 : 1);
    EXPECT_EQ(messages, r.message.empty() ? "" : r.message + "\n");
    // The other side's file is still read.
    EXPECT_EQ(ProbeFen(KrkWhiteToMove), r.message.empty() ? KrkLongestWin : "unknown");
    EXPECT_EQ(ProbeFen(KrkExchanged), r.message.empty() ? KrkLongestWin : "unknown");
    EXPECT_EQ(ProbeFen(KrkBlackToMove), KrkLongestLoss);
  }
}

TEST_F(TbRegistry, MaxMenFollowsTheLargestTable) {
  ScratchDirectory scratch;
  const fs::path dir = scratch.Path();
  const struct {
    std::function<void()> add;
    int cacheMb;
    int maxMen;
  } rows[] = {
      {[] {}, 1, 0},
      {[&] { CopyWholeTables(dir, {"kpk"}, false); }, 1, 3},
      {[&] { CopyWholeTables(dir, {"kqkr"}, true); }, 1, 4},
      {[&] { SparseFile(dir / "krpkr.nbb", FileLength("krpkr", 1)); }, 1, 5},
      {[&] { SparseFile(dir / "krnknn.nbw", FileLength("krnknn", 0)); }, 1, 6},
      {[] {}, 0, 0},   // without a cache nothing can be read
  };
  for (const auto& r : rows) {
    r.add();
    tb::SetTablebaseCache(r.cacheMb);
    RegisterQuietly(dir);
    EXPECT_EQ(tb::TbMaxMen(), r.maxMen);
  }
  // A position of the 5-man file of draws is read; without a table it is unknown.
  tb::SetTablebaseCache(1);
  RegisterQuietly(dir);
  EXPECT_EQ(ProbeFen("8/8/3k4/8/2r5/2P5/2K5/7R b - - 0 1"), "draw");
  EXPECT_EQ(ProbeFen("8/8/3k4/8/2r5/2P5/2K5/7R w - - 0 1"), "unknown");
  EXPECT_EQ(ProbeFen("8/8/3k4/8/2rp4/2P5/2K5/7R b - - 0 1"), "unknown");
}
