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
#include "search/hash_file.h"

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
  Log("%s, level %d, revision 0x%x", description.c_str(), cpu.family, unsigned(cpu.model << 8 | cpu.stepping));
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

std::vector<std::string> SettingsSummary() {
  std::vector<std::string> lines;
  const EngineOptions& o = Options;
  if (Engine.uci3) lines.push_back("     uci3 has been invoked.");
  if (Engine.kvx5) lines.push_back("     kvx5 has been invoked.");
  if (Engine.hqz5) lines.push_back("     hqz5 has been invoked.");
  if (o.ponder) lines.push_back("     ponder mode has been enabled.");
  if (o.hashMb != 32) lines.push_back(FormatText("     Hash size set to %d mb", o.hashMb));
  if (o.maxCpus != 2048) lines.push_back(FormatText("     Max CPUs set to %d", o.maxCpus));
  if (o.preserveAnalysis) lines.push_back("     Preserve analysis enabled.");
  if (o.cpuUsage != 100) lines.push_back(FormatText("     CPU usage set to %d", o.cpuUsage));
  if (RandomizerThreshold != 8) lines.push_back(FormatText("     Randomizer threshold set to %d", RandomizerThreshold));
  if (RandomizerBitmap) lines.push_back("     Randomizer mode enabled");
  if (!o.tablebasePath.empty()) lines.push_back("     Nalimov path set to " + o.tablebasePath);
  if (o.tablebaseCacheMb != 1) lines.push_back(FormatText("     Nalimov cache set to %d", o.tablebaseCacheMb));
  if (o.tablebaseUsage != 16)
    lines.push_back(FormatText("     Nalimov usage set to %s", o.tablebaseUsage == 6    ? "frequently"
                                                            : o.tablebaseUsage == 10 ? "normally"
                                                                                     : "never"));
  static const char* const mainNames[3] = {"Normal", "BelowNormal", "Low"};
  if (o.mainPriority >= 0 && o.mainPriority <= 2)
    lines.push_back(FormatText("    Main Process Priority set to %s", mainNames[o.mainPriority]));
  if (o.childPriority == 0 || o.childPriority == 2)
    lines.push_back(FormatText("    Child Process Priority set to %s", o.childPriority == 0 ? "Normal" : "Low"));
  if (!o.hashFile.empty()) lines.push_back("     Hash path set to " + o.hashFile);
  if (o.multiPv != 1) lines.push_back(FormatText("     Multipv set to %d variations", o.multiPv));
  if (o.multiPvCp != 20000) lines.push_back(FormatText("     Multipv_cp set to %d centipawns", o.multiPvCp));
  if (o.limitStrength) lines.push_back("     Limit strength mode enabled");
  if (o.elo != 1200) lines.push_back(FormatText("     Elo set to %d", o.elo));
  if (Engine.slaveMode != 0) lines.push_back(FormatText("     Slave mode set to %d", Engine.slaveMode));
  if (o.tcBuffer != 3) lines.push_back(FormatText("     TC Buffer set to %d", o.tcBuffer));
  if (o.tcHardBuffer != 250) lines.push_back(FormatText("    TC Hard Buffer set to %d", o.tcHardBuffer));
  if (o.tcHardMoveTime != 5) lines.push_back(FormatText("    TC Hard Move Time set to %d", o.tcHardMoveTime));
  if (o.tcHardMoveDepth != 5) lines.push_back(FormatText("    TC Hard Move Depth set to %d", o.tcHardMoveDepth));
  if (o.tcNormalMoveTime != 80) lines.push_back(FormatText("    TC Normal Move Time set to %d", o.tcNormalMoveTime));
  if (o.tcMaxMoveTime != 100) lines.push_back(FormatText("    TC Max Move Time set to %d", o.tcMaxMoveTime));
  static const char* const adjusted[12] = {
      "White Pawn",         "Black Pawn",        "White Knight",      "Black Knight",
      "White King Bishop",  "Black King Bishop", "White Queen Bishop", "Black Queen Bishop",
      "White Rook",         "Black Rook",        "White Queen",       "Black Queen"};
  for (int i = 0; i < 12; ++i)
    if (o.materialAdjust[i]) lines.push_back(FormatText("%s adjustment set to %d cp", adjusted[i], o.materialAdjust[i]));
  if (o.rookEndgameScaling != 100)
    lines.push_back(FormatText("    Rook endgame scaling to %d percent", o.rookEndgameScaling));
  if (o.alwaysScoreMainMove) lines.push_back("    Always Score Main Move set to true");
  if (o.displayUpperbounds) lines.push_back("    Display Upperbounds set to true");
  if (o.useLargePages) lines.push_back("    Use Large Pages set to true");
  lines.push_back(LargePageSummary(CurrentLargePageStatus));
  if (Engine.savedPositionText.find("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq") == std::string::npos)
    lines.push_back("     Position set to " + Engine.savedPositionText);
  return lines;
}

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
    std::fprintf(log, "              %d.%s%s       %s\n", (halfMoves + 1) / 2, halfMoves % 2 == 0 ? " .." : "",
                 lastMoveText.c_str(), fen.c_str());
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
