// The Debian package, built from this build tree as `make deb` builds it,
// then unpacked (not installed) and its programs run from where it put them.
#include <gtest/gtest.h>
#include <unistd.h>
#include <filesystem>
#include <string>
#include <vector>
#include "tests/support/engine_process.h"

namespace fs = std::filesystem;

namespace {
// Runs a program to its end; its output lines, and its exit status in `status`.
std::vector<std::string> RunToEnd(const std::string& program, const std::vector<std::string>& args, int& status,
                             int timeoutMs = 120000) {
  EngineProcess run(args, program);
  EXPECT_TRUE(run.Started()) << program;
  run.CloseInput();
  std::vector<std::string> lines = run.ReadAll(timeoutMs);
  status = run.Wait(10000);
  return lines;
}
bool Contains(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& line : lines)
    if (line.find(text) != std::string::npos) return true;
  return false;
}
}  // namespace

TEST(DebianPackage, UnpacksAndItsProgramsRun) {
  if (::access("/usr/bin/dpkg-deb", X_OK) != 0) GTEST_SKIP() << "dpkg-deb is not installed";
  const fs::path dir = fs::temp_directory_path() / ("tolvo-deb-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path build = fs::path(TOLVO_BINARY).parent_path();
  int status = -1;
  const std::vector<std::string> made =
      RunToEnd("/bin/sh", {TOLVO_SOURCE_DIR "/packaging/make_deb.sh", build.string(), dir.string()}, status);
  ASSERT_EQ(status, 0);
  ASSERT_FALSE(made.empty());
  const std::string package = made.back();
  ASSERT_TRUE(fs::exists(package)) << package;
  EXPECT_NE(package.find("tolvo_"), std::string::npos);

  const fs::path root = dir / "root";
  RunToEnd("/usr/bin/dpkg-deb", {"-x", package, root.string()}, status);
  ASSERT_EQ(status, 0);
  // What a user expects of an installed engine: the programs, their manual
  // pages, the copyright file and the directory the engine searches for tables.
  for (const char* path : {"usr/games/tolvo", "usr/bin/tolvo-tbgen", "usr/share/man/man6/tolvo.6.gz",
                           "usr/share/man/man1/tolvo-tbgen.1.gz", "usr/share/doc/tolvo/copyright"})
    EXPECT_TRUE(fs::is_regular_file(root / path)) << path;
  EXPECT_TRUE(fs::is_directory(root / "usr/share/tolvo/tb"));
  const std::vector<std::string> fields = RunToEnd("/usr/bin/dpkg-deb", {"-f", package, "Package", "Version"}, status);
  EXPECT_TRUE(Contains(fields, "Package: tolvo"));

  const std::vector<std::string> bench = RunToEnd((root / "usr/games/tolvo").string(), {"bench", "4"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(Contains(bench, "Nodes searched: ")) << "the packaged engine ran no benchmark";
  // A position whose index the published tables agree on (kqk, White to move).
  const std::vector<std::string> index =
      RunToEnd((root / "usr/bin/tolvo-tbgen").string(), {"--index", "8/8/8/8/8/8/8/K1k4Q w - -"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(Contains(index, "kqk.nbw 3"));
  fs::remove_all(dir);
}
