// The text log: its name, the head with the system description and the
// changed settings, and the board diagram after each "position" command.
// The dialogue itself reaches it through the output operations.
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include "board/piece.h"
#include "common/output.h"
#include "driver/engine.h"
#include "driver/logs.h"
#include "driver/options.h"
#include "platform/platform.h"
#include "platform/system_info.h"

std::string LogDateText() { return platform::LocalTimeFormatted("%b_%d"); }

std::string FirstFreeLogName(const std::function<std::string(int)>& nameOf) {
  for (int i = 1;; ++i) {
    std::string name = nameOf(i);
    std::FILE* existing = std::fopen(name.c_str(), "r");
    if (!existing) return name;
    std::fclose(existing);
  }
}

namespace {

void WriteSystemDescription() {
  const platform::CpuDescription cpu = platform::ReadCpuDescription();
  std::string description = cpu.modelName;
  if (!cpu.vendor.empty()) description = description.empty() ? cpu.vendor : description + ", " + cpu.vendor;
  const std::string mhz = cpu.mhz > 0 ? FormatText("%d MHz", cpu.mhz) : "";
  Log("%d processors, %s %s", platform::ProcessorCount(), platform::ArchitectureText().c_str(), mhz.c_str());
  Log("%s, level %d, revision 0x%x", description.c_str(), cpu.family,
      unsigned(cpu.model << 8 | cpu.stepping));
  uint64_t total = 0, available = 0;
  if (platform::ReadMemoryStatus(total, available))
    Log("%" PRId64 " mb RAM, %" PRId64 " mb available, page size = %d", int64_t(total / 1024 / 1024),
        int64_t(available / 1024 / 1024), platform::PageSize());
  const std::string release = platform::KernelRelease();
  if (!release.empty()) Log("     Linux %s", release.c_str());
  Log("     Process priority: %s", platform::OwnPriorityClassName().c_str());
  Log("%s", "");
}
}  // namespace

void OpenTextLog() {
  if (Output.textLog) return;
  const std::string date = LogDateText();
  const std::string name = FirstFreeLogName([&](int i) {
    return Output.isChild ? FormatText("uci_child.%s.%d.%d.txt", date.c_str(), i, platform::ProcessId())
                          : FormatText("uci.%s.%d.txt", date.c_str(), i);
  });
  std::FILE* file = std::fopen(name.c_str(), "w");
  if (!file) return;
  Output.textLog = file;
  Output.textLogOpenTick = platform::NowMs();
  Output.lastLogSecond = -1;
  Log("%s", platform::LocalTimeText().c_str());
  Log("%s", platform::CommandLine().c_str());
  Log("%s", "");
  WriteSystemDescription();
  for (const std::string& line : SettingsSummary()) Log("%s", line.c_str());
  Log("%s", "");
}

void CloseTextLog() {
  if (!Output.textLog) return;
  std::fclose(Output.textLog);
  Output.textLog = nullptr;
}

void WritePositionDiagram(const Position& p, int halfMoves, const std::string& lastMoveText) {
  std::FILE* log = Output.textLog;
  if (!log) return;
  const std::string fen = PositionToFen(p);
  std::fputc('\n', log);
  if (halfMoves == 0)
    std::fprintf(log, "                             ( %s )\n", fen.c_str());
  else
    std::fprintf(log, "              %d.%s%s       %s\n", (halfMoves + 1) / 2,
                 halfMoves % 2 == 0 ? " .." : "", lastMoveText.c_str(), fen.c_str());
  for (int rank = 7; rank >= 0; --rank) {
    std::fputs("\n                ", log);
    for (int file = 0; file < 8; ++file) {
      std::fputc(PieceLetters[p.CodeAt(MakeSquare(file, rank))], log);
      std::fputc(' ', log);
    }
  }
  std::fputs("\n\n", log);
  std::fflush(log);
}
