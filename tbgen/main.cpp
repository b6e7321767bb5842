// tolvo-tbgen: generates Nalimov endgame tablebase files, checks them, and
// answers where a position's entry lies and what a directory's files say.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <set>
#include <string>
#include <vector>
#include "board/position.h"
#include "common/output.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/platform.h"
#include "tbgen/atomic_files.h"
#include "tbgen/command_line.h"
#include "tbgen/compress.h"
#include "tbgen/endgame.h"
#include "tbgen/generator.h"
#include "tbgen/lookup.h"
#include "tbgen/table_image.h"
#include "tbgen/usage.h"
#include "tbgen/verify.h"

namespace {

using namespace tbgen;

int Usage(const std::string& message) {
  std::fprintf(stderr, "tolvo-tbgen: %s\n(tolvo-tbgen --help explains the options)\n", message.c_str());
  return 2;
}

// Answers FENs from the arguments, or one per line from standard input.
int AnswerFens(const std::vector<std::string>& fens,
               const std::function<std::string(const std::string&)>& answer) {
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

// Memory the system can still give, within the process's address-space
// limit if it has one (less what the program and its threads take); 0 when
// unknown.
uint64_t AvailableMemory() {
  uint64_t available = platform::AvailableMemory();
  if (const uint64_t limit = platform::AddressSpaceLimit()) {
    constexpr uint64_t ProgramAndThreads = 64 << 20;
    const uint64_t room = limit > ProgramAndThreads ? limit - ProgramAndThreads : 0;
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

bool Verify(const GenerationOptions& o, const nalimov::TableInfo& t, Progress& progress) {
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

bool Generate(const GenerationOptions& o, const nalimov::TableInfo& t, Progress& progress) {
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
    if (image.file[side])
      files.push_back({TableFileNames(t, side)[0], image.file[side]->bytes(), image.bytes[side]});
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
  if (image.deepEntries)
    std::printf("; %llu values deeper than an entry holds", (unsigned long long)image.deepEntries);
  std::printf("\n");
  std::fflush(stdout);
  if (o.verify && !Verify(o, t, progress)) return false;
  return true;
}

int RunGeneration(const GenerationOptions& o) {
  if (o.compress && !CompressionAvailable())
    return Usage(
        "--compress: compression is not available yet (the .emd block compressor is not in this build)");
  if (const int code = platform::MakeDirectories(o.dir); code != 0) {
    std::fprintf(stderr, "tolvo-tbgen: cannot create the directory %s: %s\n", o.dir.c_str(),
                 platform::SystemErrorText(code).c_str());
    return 1;
  }
  std::vector<const nalimov::TableInfo*> wanted;
  std::set<const nalimov::TableInfo*> named;
  for (const std::string& name : o.tables) {
    const nalimov::TableInfo* t = nalimov::TableByName(name);
    if (!t) {
      const nalimov::TableInfo* other = TableOfMaterial(Exchanged(MaterialOfName(name)));
      return Usage("no table " + name +
                   (other ? std::string(" (the table list names it ") + other->name + ")" : ""));
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
      std::fprintf(stderr, "tolvo-tbgen: %s needs about %s of memory, %s is available: nothing generated\n",
                   t->name, Gigabytes(need).c_str(), Gigabytes(available).c_str());
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
  const CommandLine line = ReadCommandLine({argv + 1, argv + argc}, platform::ProcessorCount());
  switch (line.action) {
    case CommandLine::Action::Help:
      std::fputs(UsageText(), stdout);
      return 0;
    case CommandLine::Action::Index:
      return AnswerFens(line.fens, IndexLine);
    case CommandLine::Action::Probe:
      return AnswerFens(line.fens,
                        [&](const std::string& fen) { return ProbeLine(line.probeDirectory, fen); });
    case CommandLine::Action::Mistake:
      return Usage(line.mistake);
    case CommandLine::Action::Generate:
      break;
  }
  return RunGeneration(line.options);
}
