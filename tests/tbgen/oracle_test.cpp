// Generated tables against the Gaviota tables on every legal position (win,
// draw or loss and the distance to mate), and the full check of a written
// table, which must also catch a table that was changed afterwards.
#include <gtest/gtest.h>
#include <fstream>
#include <iterator>
#include "board/position.h"
#include "tablebase/nalimov_locate.h"
#include "tests/support/test_data.h"
#include "tests/support/tbgen_run.h"
#include "tools/tb_check/oracle_compare.h"

namespace {

// Generates the table and compares it with the oracle; `positions` is the
// number of its legal positions up to symmetry, both sides to move. Large
// tables are sampled (each `probeEvery`-th position); `make tb-check` compares all.
void AgreesWithGaviota(const char* table, uint64_t positions, uint64_t probeEvery = 1) {
  InitBoard();
  ScratchDirectory dir;
  GenerateTables(dir.Text(), {table});
  tbcheck::GaviotaOracle oracle;
  const std::string gaviota = TestDataPath(std::string("gaviota/") + table + ".gtb.cp4");
  ASSERT_TRUE(oracle.Open(gaviota.substr(0, gaviota.rfind('/'))));
  tbgen::TableFiles ours(dir.Text());
  std::string error;
  ASSERT_TRUE(ours.Open(*nalimov::TableByName(table), &error)) << error;
  const tbcheck::CompareReport r = tbcheck::CompareWithOracle(*nalimov::TableByName(table), ours, oracle, probeEvery);
  EXPECT_EQ(r.positions, positions);
  EXPECT_EQ(r.compared, (positions + probeEvery - 1) / probeEvery);
  EXPECT_EQ(r.mismatches, 0u) << ::testing::PrintToString(r.examples);
}

}  // namespace

TEST(TbgenOracle, KpkAgreesWithGaviota) { AgreesWithGaviota("kpk", 165676); }
TEST(TbgenOracle, KrkAgreesWithGaviota) { AgreesWithGaviota("krk", 51044); }
TEST(TbgenOracle, KqkAgreesWithGaviota) { AgreesWithGaviota("kqk", 47136); }
// Pawns of both colours: promotions on both sides and the positions just
// after a double step with an en-passant capture at hand.
TEST(TbgenOracle, KpkpAgreesWithGaviotaEnPassantIncluded) {
  if (Sanitized()) GTEST_SKIP() << "kpkp and the twenty tables it leads into are too slow under the sanitizers";
  AgreesWithGaviota("kpkp", 7478454, 3);
}
TEST(TbgenOracle, KbnkAgreesWithGaviota) {
  if (Sanitized()) GTEST_SKIP() << "kbnk is too slow under the sanitizers; the small tables cover them";
  AgreesWithGaviota("kbnk", 3138965);
}

namespace {

// Overwrites the entry of a file.
void Poke(const std::string& path, uint64_t index, int8_t value) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  ASSERT_TRUE(f.good()) << path;
  f.seekp(std::streamoff(index));
  f.put(char(value));
}

std::string VerifyLine(const ToolRun& run) {
  for (const std::string& l : run.lines)
    if (l.find("verify") != std::string::npos) return l;
  return "";
}

}  // namespace

TEST(TbgenVerify, CleanTableAndChangedEntriesAreTold) {
  InitBoard();
  ScratchDirectory dir;
  GenerateTables(dir.Text(), {"krk"}, {"--verify"});
  ToolRun run = RunTbgen({"-q", "-o", dir.Text(), "--verify-only", "krk"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(VerifyLine(run).find("verify clean: 51044 positions"), std::string::npos) << VerifyLine(run);

  // One position off by a move: it and the positions before it no longer add up.
  Position p;
  ASSERT_TRUE(SetPositionFromFen(p, "8/8/8/8/8/2k5/1R6/K7 w - - 0 1"));
  const auto entry = nalimov::LocateEntry(p);
  ASSERT_TRUE(entry);
  Poke(dir.Text() + "/" + entry->FileName(), entry->index, nalimov::ToByte(nalimov::TableValue::MateIn(15)));
  run = RunTbgen({"-q", "-o", dir.Text(), "--verify-only", "krk"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(VerifyLine(run).find("FAILED"), std::string::npos) << VerifyLine(run);
  EXPECT_EQ(VerifyLine(run).find(" 0 wrong"), std::string::npos) << VerifyLine(run);

  // An entry that no legal position reaches (the generator left it broken) must stay broken.
  GenerateTables(dir.Text(), {"krk"});
  std::ifstream in(dir.Text() + "/krk.nbw", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t broken = bytes.find(char(nalimov::BrokenByte));
  ASSERT_NE(broken, std::string::npos);
  Poke(dir.Text() + "/krk.nbw", broken, 0);
  run = RunTbgen({"-q", "-o", dir.Text(), "--verify-only", "krk"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(VerifyLine(run).find("0 wrong, 1 stray"), std::string::npos) << VerifyLine(run);
}
