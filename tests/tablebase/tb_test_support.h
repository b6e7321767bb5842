// What the probing tests share: the small tables made by tolvo-tbgen (kpk,
// krk, kqk, kqkr and the symmetric krkr, uncompressed and compressed), random
// legal positions of a material, the engine's probe as the generator's
// "--probe" text, and registration with its messages captured.
#pragma once
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>
#include "board/position.h"
#include "tablebase/tb_cache.h"
#include "tablebase/tb_probe.h"
#include "tablebase/tb_registry.h"
#include "tests/support/tbgen_run.h"

namespace fs = std::filesystem;

inline std::vector<uint8_t> FileBytes(const fs::path& path) {
  std::vector<uint8_t> bytes(fs::file_size(path));
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f && !bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
  if (f) std::fclose(f);
  return bytes;
}

// The generated tables, made once per version of the generator and kept
// beside it (a 4-man table takes seconds; every test process shares them).
// A lock keeps parallel test processes from generating them twice; the
// directory appears under its final name only when complete. Empty on failure.
inline const std::string& SharedTables() {
  static const std::string dir = [] {
    const fs::path tool(TOLVO_TBGEN_BINARY);
    const std::vector<uint8_t> program = FileBytes(tool);
    const size_t version = std::hash<std::string_view>()(
        std::string_view(reinterpret_cast<const char*>(program.data()), program.size()));
    const fs::path home = tool.parent_path();
    const fs::path final = home / ("tb-test-tables-" + std::to_string(version));
    const int lock = open((home / "tb-test-tables.lock").c_str(), O_CREAT | O_RDWR, 0644);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) return std::string();
    if (!fs::exists(final)) {
      // Tables of other versions of the generator go, and what a broken run left.
      for (const auto& e : fs::directory_iterator(home))
        if (e.path().filename().string().starts_with("tb-test-tables-") ||
            e.path().filename().string().starts_with("tb-test-tables.work"))
          fs::remove_all(e.path());
      const fs::path work = home / ("tb-test-tables.work" + std::to_string(getpid()));
      GenerateTables(work.string(), {"kpk", "krk", "kqkr", "krkr"}, {"--compress"});
      if (!::testing::Test::HasFatalFailure()) fs::rename(work, final);
    }
    close(lock);
    return fs::exists(final / "kqkr.nbb.emd") ? final.string() : std::string();
  }();
  return dir;
}

// Copies generated files into dir: {generated name, name in dir}.
inline void CopyTables(const std::string& dir, const std::vector<std::pair<std::string, std::string>>& files) {
  for (const auto& [from, to] : files)
    fs::copy_file(fs::path(SharedTables()) / from, fs::path(dir) / to, fs::copy_options::overwrite_existing);
}
// Both sides of the tables, uncompressed only (".nbw") or compressed only (".nbw.emd").
inline void CopyWholeTables(const std::string& dir, const std::vector<std::string>& tables, bool compressed) {
  for (const std::string& t : tables)
    for (const char* side : {".nbw", ".nbb"}) {
      const std::string name = t + side + (compressed ? ".emd" : "");
      if (fs::exists(fs::path(SharedTables()) / name)) CopyTables(dir, {{name, name}});
    }
}

inline void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// Registers the directories with what the engine writes straight to standard
// output (the registration's "***" lines) captured; the number of table sides found.
inline int RegisterQuietly(const std::string& paths, std::string* messages = nullptr) {
  ::testing::internal::CaptureStdout();
  const int found = tb::RegisterTablebases(paths);
  const std::string text = ::testing::internal::GetCapturedStdout();
  if (messages) *messages = text;
  return found;
}

// The engine's probe in the generator's words: "mate in N", "mated in N",
// "draw" or "unknown".
inline std::string ProbeText(const Position& p) {
  Score s;
  if (!tb::ProbeTablebase(p, s)) return "unknown";
  if (s == 0) return "draw";
  return s > 0 ? "mate in " + std::to_string((MateScore - s) / 2) : "mated in " + std::to_string((s + MateScore) / 2);
}
inline std::string ProbeFen(const std::string& fen) {
  Position p;
  if (!SetPositionFromFen(p, fen.c_str())) return "bad fen";
  return ProbeText(p);
}

// Random legal positions of a material named like "kqkr" (White's men, then
// Black's), side to move at random; `exchanged` gives the colours the other
// way round (Black has the first king's men).
inline std::vector<std::string> RandomFens(const std::string& material, int count, uint32_t seed, bool exchanged) {
  std::mt19937 random(seed);
  std::vector<std::string> fens;
  while (int(fens.size()) < count) {
    char board[64];
    std::fill(board, board + 64, '.');
    bool white = !exchanged, placed = true;
    for (size_t i = 0; i < material.size() && placed; ++i) {
      if (i > 0 && material[i] == 'k') white = !white;
      int square;
      int tries = 0;
      do square = int(random() % 64);
      while ((board[square] != '.' || (material[i] == 'p' && (square < 8 || square >= 56))) && ++tries < 100);
      placed = tries < 100;
      board[square] = white ? char(std::toupper(material[i])) : material[i];
    }
    char letters[64];
    for (int i = 0; i < 64; ++i) letters[i] = board[i] == '.' ? 0 : board[i];
    std::string fen = FenPlacement(letters);
    fen += random() % 2 ? " w - - 0 1" : " b - - 0 1";
    Position p;
    if (!placed || !SetPositionFromFen(p, fen.c_str())) continue;
    // The side that has just moved may not stand in check (nor the kings touch).
    const bool legal = p.sideToMove == White ? !InCheck<Black>(p) : !InCheck<White>(p);
    if (legal) fens.push_back(fen);
  }
  return fens;
}

// Leaves the engine without tables after each test, with the cache of a
// stand-alone engine's default option.
class TablebaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(SharedTables().empty());
    tb::SetTablebaseCache(1);
  }
  void TearDown() override { tb::RegisterTablebases(""); }
};
