// tolvo-tbgen: generates Nalimov endgame tablebase files, checks them, and
// answers where a position's entry lies and what a directory's files say.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <thread>
#include <vector>
#include "board/position.h"
#include "common/output.h"
#include "tools/tbgen/atomic_files.h"
#include "tools/tbgen/compress.h"
#include "tools/tbgen/endgame.h"
#include "tools/tbgen/generator.h"
#include "tools/tbgen/lookup.h"
#include "tools/tbgen/table_image.h"
#include "tools/tbgen/usage.h"
#include "tools/tbgen/verify.h"

namespace {

using namespace tbgen;

struct Options {
  std::string dir = ".";
  bool compress = false, verify = false, verifyOnly = false, quiet = false;
  int threads = int(std::max(1u, std::thread::hardware_concurrency()));
  int allMen = 0;
  std::vector<std::string> tables;
};

int Usage(const std::string& message) {
  std::fprintf(stderr, "tolvo-tbgen: %s\n(tolvo-tbgen --help explains the options)\n", message.c_str());
  return 2;
}

// Answers FENs from the arguments, or one per line from standard input.
int AnswerFens(const std::vector<std::string>& fens, const std::function<std::string(const std::string&)>& answer) {
  if (!fens.empty()) {
    for (const std::string& fen : fens) std::printf("%s\n", answer(fen).c_str());
    return 0;
  }
  for (std::string line; std::getline(std::cin, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::printf("%s\n", answer(line).c_str());
    std::fflush(stdout);
  }
  return 0;
}

// Memory the system can still give (/proc/meminfo), within the process's
// address-space limit if it has one; 0 when unknown.
uint64_t AvailableMemory() {
  uint64_t available = 0;
  std::ifstream in("/proc/meminfo");
  std::string key, unit;
  uint64_t kb;
  while (in >> key >> kb >> unit)
    if (key == "MemAvailable:") available = kb * 1024;
  struct rlimit limit;
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    constexpr uint64_t ProgramAndThreads = 64 << 20;
    const uint64_t room = limit.rlim_cur > ProgramAndThreads ? limit.rlim_cur - ProgramAndThreads : 0;
    available = available ? std::min(available, room) : room;
  }
  return available;
}

// Memory to generate a table: the generator's arrays, the image of the
// files and the smaller tables it reads.
uint64_t MemoryNeeded(const nalimov::TableInfo& t) {
  uint64_t need = Generator::MemoryNeeded(t) + ImageMemory(t);
  for (const nalimov::TableInfo* next : SuccessorTables(t)) need += ImageMemory(*next);
  return need;
}

std::string Gigabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f GB", double(bytes) / 1e9);
  return text;
}

bool MakeDirectory(const std::string& dir) {
  std::string path;
  for (size_t i = 0; i <= dir.size(); ++i) {
    if (i == dir.size() || (dir[i] == '/' && i > 0)) {
      path = dir.substr(0, i);
      if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
  }
  struct stat st;
  return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool OpenWithSuccessors(TableFiles& files, const nalimov::TableInfo& t, bool itself) {
  std::string error;
  for (const nalimov::TableInfo* next : SuccessorTables(t))
    if (!files.Open(*next, &error)) {
      std::fprintf(stderr, "tolvo-tbgen: %s needs %s: %s\n", t.name, next->name, error.c_str());
      return false;
    }
  if (itself && !files.Open(t, &error)) {
    std::fprintf(stderr, "tolvo-tbgen: %s\n", error.c_str());
    return false;
  }
  return true;
}

bool Verify(const Options& o, const nalimov::TableInfo& t, Progress& progress) {
  TableFiles files(o.dir);
  if (!OpenWithSuccessors(files, t, true)) return false;
  const auto start = std::chrono::steady_clock::now();
  progress.SetTable(t.name);
  const VerifyReport r = VerifyTable(t, files, o.threads, progress);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  progress.Finish("verified");
  std::printf("%s: verify %s: %llu positions, %llu wrong, %llu stray entries (%.1f s)\n", t.name,
              r.Clean() ? "clean" : "FAILED", (unsigned long long)r.positions, (unsigned long long)r.wrong,
              (unsigned long long)r.strayEntries, seconds);
  for (const std::string& e : r.examples) std::printf("  %s\n", e.c_str());
  std::fflush(stdout);
  return r.Clean();
}

bool Generate(const Options& o, const nalimov::TableInfo& t, Progress& progress) {
  const auto start = std::chrono::steady_clock::now();
  TableFiles smaller(o.dir);
  if (!OpenWithSuccessors(smaller, t, false)) return false;
  Generator g(t, smaller, o.threads, progress);
  TableImage image;
  try {
    g.Run();
    smaller.CloseAll();
    image = BuildImage(g, o.threads, progress);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "\ntolvo-tbgen: %s: %s\n", t.name, e.what());
    return false;
  }
  std::vector<FileContent> files;
  for (Color side : {White, Black})
    if (image.file[side]) files.push_back({TableFileNames(t, side)[0], image.file[side]->bytes(), image.bytes[side]});
  std::string error;
  if (!CommitFiles(o.dir, files, &error)) {
    std::fprintf(stderr, "\ntolvo-tbgen: %s: %s\n", t.name, error.c_str());
    return false;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  progress.Finish("written");
  std::printf("%s: %llu positions, %s, %.1f s", t.name, (unsigned long long)image.positions,
              Gigabytes(image.bytes[0] + image.bytes[1]).c_str(), seconds);
  for (Color side : {White, Black})
    if (image.longest[side].moves)
      std::printf("; longest %s: mate in %d (%s)", side == White ? "wtm" : "btm", image.longest[side].moves,
                  image.longest[side].fen.c_str());
  if (image.deepEntries) std::printf("; %llu values deeper than an entry holds", (unsigned long long)image.deepEntries);
  std::printf("\n");
  std::fflush(stdout);
  if (o.verify && !Verify(o, t, progress)) return false;
  return true;
}

int RunGeneration(const Options& o) {
  if (o.compress && !CompressionAvailable())
    return Usage("--compress: compression is not available yet (the .emd block compressor is not in this build)");
  if (!MakeDirectory(o.dir)) {
    std::fprintf(stderr, "tolvo-tbgen: cannot create the directory %s: %s\n", o.dir.c_str(), std::strerror(errno));
    return 1;
  }
  std::vector<const nalimov::TableInfo*> wanted;
  std::set<const nalimov::TableInfo*> named;
  for (const std::string& name : o.tables) {
    const nalimov::TableInfo* t = nalimov::TableByName(name);
    if (!t) {
      const nalimov::TableInfo* other = TableOfMaterial(Exchanged(MaterialOfName(name)));
      return Usage("no table " + name + (other ? std::string(" (the table list names it ") + other->name + ")" : ""));
    }
    wanted.push_back(t);
    named.insert(t);
  }
  if (o.allMen) {
    if (o.allMen < 3 || o.allMen > 6) return Usage("--all takes 3, 4, 5 or 6");
    for (const nalimov::TableInfo& t : nalimov::Tables())
      if (t.men <= o.allMen) wanted.push_back(&t);
  }
  if (wanted.empty()) return Usage("name the endgames to generate (for example kqkr), or --all N");
  InstallCleanupHandlers();
  Progress progress(!o.quiet);
  bool ok = true;
  if (o.verifyOnly) {
    // With --compress, tables generated earlier get their compressed form
    // too, once they have passed the check.
    for (const nalimov::TableInfo* t : wanted) {
      std::string error;
      if (!Verify(o, *t, progress)) ok = false;
      else if (o.compress && !CompressTable(o.dir, *t, &error)) {
        std::fprintf(stderr, "tolvo-tbgen: %s\n", error.c_str());
        ok = false;
      }
    }
    return ok ? 0 : 1;
  }
  // Every table to build must fit before the first one starts.
  std::vector<const nalimov::TableInfo*> order;
  for (const nalimov::TableInfo* t : BuildOrder(wanted))
    if (named.count(t) || !TablePresent(o.dir, *t)) order.push_back(t);
  const uint64_t available = AvailableMemory();
  for (const nalimov::TableInfo* t : order) {
    const uint64_t need = MemoryNeeded(*t);
    if (available && need > available) {
      std::fprintf(stderr, "tolvo-tbgen: %s needs about %s of memory, %s is available: nothing generated\n", t->name,
                   Gigabytes(need).c_str(), Gigabytes(available).c_str());
      return 1;
    }
  }
  const auto start = std::chrono::steady_clock::now();
  int generated = 0;
  for (const nalimov::TableInfo* t : order) {
    if (!Generate(o, *t, progress)) return 1;
    ++generated;
    if (o.compress) {
      std::string error;
      if (!CompressTable(o.dir, *t, &error)) {
        std::fprintf(stderr, "tolvo-tbgen: %s\n", error.c_str());
        return 1;
      }
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%d tables generated in %s (%.1f s)\n", generated, o.dir.c_str(), seconds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  InitBoard();
  Output.silentMode = true;   // the board's "info string" lines are the engine's, not the tool's
  Options o;
  std::vector<std::string> args(argv + 1, argv + argc);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* what) -> const std::string* {
      if (i + 1 >= args.size()) return nullptr;
      (void)what;
      return &args[++i];
    };
    if (a == "--help" || a == "-h") {
      std::fputs(UsageText(), stdout);
      return 0;
    } else if (a == "--index") {
      return AnswerFens({args.begin() + long(i) + 1, args.end()}, IndexLine);
    } else if (a == "--probe") {
      const std::string* dir = value("directory");
      if (!dir) return Usage("--probe needs a directory");
      return AnswerFens({args.begin() + long(i) + 1, args.end()},
                        [&](const std::string& fen) { return ProbeLine(*dir, fen); });
    } else if (a == "-o") {
      const std::string* dir = value("directory");
      if (!dir) return Usage("-o needs a directory");
      o.dir = *dir;
    } else if (a == "--threads") {
      const std::string* n = value("count");
      if (!n || std::atoi(n->c_str()) < 1) return Usage("--threads needs a number of threads (1 or more)");
      o.threads = std::atoi(n->c_str());
    } else if (a == "--all") {
      const std::string* n = value("men");
      if (!n) return Usage("--all needs a number of men");
      o.allMen = std::atoi(n->c_str());
    } else if (a == "--verify") {
      o.verify = true;
    } else if (a == "--verify-only") {
      o.verifyOnly = true;
    } else if (a == "--compress") {
      o.compress = true;
    } else if (a == "-q" || a == "--quiet") {
      o.quiet = true;
    } else if (!a.empty() && a[0] == '-') {
      return Usage("unknown option " + a);
    } else {
      o.tables.push_back(a);
    }
  }
  return RunGeneration(o);
}
