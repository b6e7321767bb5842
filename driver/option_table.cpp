// The rows of the option table and the few options whose handling is their own.
#include "driver/option_table.h"

#include <algorithm>
#include <cctype>
#include "board/castling_setup.h"
#include "common/output.h"
#include "driver/engine.h"
#include "driver/logs.h"
#include "driver/options.h"
#include "driver/startup.h"
#include "eval/evaluate.h"
#include "group/hash_memory.h"
#include "group/process_group.h"
#include "search/hash_table.h"
#include "tablebase/tb_cache.h"
#include "tablebase/tb_registry.h"

namespace {
// Keyword tests of the handlers below: case-insensitive prefixes.
bool Starts(const std::string& text, const std::string& keyword) {
  if (text.size() < keyword.size()) return false;
  for (size_t i = 0; i < keyword.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != keyword[i]) return false;
  return true;
}
bool SwitchedOn(const OptionRow& row, const std::string& text) {
  return Starts(text, OptionKeyword(row) + " value true");
}
bool SwitchedOff(const OptionRow& row, const std::string& text) {
  return Starts(text, OptionKeyword(row) + " value false");
}
int Clamp(int v, int low, int high) { return v < low ? low : v > high ? high : v; }
int NumberOf(const OptionRow& row, const std::string& text) {
  return Clamp(LeadingNumber(text, OptionKeyword(row).size() + 7), row.min, row.max);   // past " value "
}

void QueryDialects(const OptionRow&, const std::string&) {
  InfoString("slave mode supported");
  InfoString("uci3 supported");
  InfoString("kvx5 supported");
  InfoString("hqz5 supported");
  InfoString("queryok");
}

// The table may belong to another engine instance (three-number command line).
bool OwnTable() { return Group.overriddenParentId == 0; }

void SetHash(const OptionRow& row, const std::string& text) {
  if (!OwnTable()) return;
  // Requests below the announced minimum still give the 1 MB table of the command line's rule.
  const int requested = HashSizeOfRequest(std::min(LeadingNumber(text, OptionKeyword(row).size() + 7), row.max));
  // A size the machine cannot hold is refused before anything changes: the
  // table in use (and what it holds) stays.
  if (std::string why; !UseLargePages && !HashTableFits(requested, why)) {
    InfoString("Hash size not changed - could not allocate %d mb of hash: %s; the table keeps %d mb.", requested,
               why.c_str(), Group.hashMb);
    return;
  }
  Group.hashMb = requested;
  TableWorkWhenIdle(TableWork::RestartGroup);
  InfoString("Hash size set to %d mb", Group.hashMb);
}

void SetMaxCpus(const OptionRow& row, const std::string& text) {
  if (!OwnTable()) return;
  Group.maxCpus = NumberOf(row, text);
  const int n = Group.processCount;
  if (Group.maxCpus < n || (Group.maxCpus > n && Group.processorCount > n))
    TableWorkWhenIdle(TableWork::RestartGroup);
  InfoString("Max CPUs set to %d", Group.maxCpus);
}

void SetTextLog(const OptionRow& row, const std::string& text) {
  if (SwitchedOn(row, text)) OpenTextLog();
  else if (SwitchedOff(row, text)) CloseLogs();   // both logs
}
void SetHtmlLog(const OptionRow& row, const std::string& text) {
  if (SwitchedOn(row, text)) OpenHtmlLog();
  else if (SwitchedOff(row, text)) CloseHtmlLog();
}

void SetLargePages(const OptionRow& row, const std::string& text) {
  const bool on = SwitchedOn(row, text);
  if (!on && !SwitchedOff(row, text)) return;
  if (UseLargePages == on) {
    InfoString(on ? "Use large pages enabled (no change)." : "Use large pages disabled (no change).");
    return;
  }
  UseLargePages = on;
  InfoString(on ? "Use large pages enabled." : "Use large pages disabled.");
  TableWorkWhenIdle(TableWork::RestartGroup);
}

void SetRandomizerMode(const OptionRow& row, const std::string& text) {
  if (SwitchedOn(row, text)) {
    EnableRandomizer();
    InfoString("Randomizer mode enabled.");
  } else if (SwitchedOff(row, text)) {
    DisableRandomizer();
    InfoString("Randomizer mode disabled.");
  }
}
void ResetRandomizerBitmap(const OptionRow&, const std::string&) {
  ResetRandomizer();
  InfoString("Randomizer reset invoked.");
}

void SetLimitStrength(const OptionRow& row, const std::string& text) {
  if (SwitchedOn(row, text)) {
    Options.limitStrength = true;
    InfoString("Limited strength mode enabled, will play at %d Elo.", Options.elo);
  } else if (SwitchedOff(row, text)) {
    Options.limitStrength = false;
    InfoString("Limited strength mode disabled.");
  }
}
void SetElo(const OptionRow& row, const std::string& text) {
  Options.elo = NumberOf(row, text);
  InfoString("Elo set to %d, currently %s", Options.elo, Options.limitStrength ? "in use" : "ignored");
}

// Confirmed once the table is clear (after the search, when one runs).
void ClearHash() { TableWorkWhenIdle(TableWork::ClearHash); }
void RegisterTablebases() { tb::RegisterTablebases(Options.tablebasePath); }
void ResizeTablebaseCache() { tb::SetTablebaseCache(Options.tablebaseCacheMb); }
void SaveHash(const OptionRow&, const std::string&) { TableWorkWhenIdle(TableWork::SaveHash); }
void LoadHash(const OptionRow&, const std::string&) { TableWorkWhenIdle(TableWork::LoadHash); }
void Ignore(const OptionRow&, const std::string&) {}
// The replacement priorities depend on it.
void RebuildPriorities() { NewSearchGeneration(HashGeneration()); }
void ApplyMainPriority() { ApplyMainProcessPriority(Options.mainPriority); }

std::string RandomizerModeLine() {
  return Search.settings.randomizerBitmap ? "     Randomizer mode enabled" : "";
}

constexpr OptionChoice UsageChoices[] = {
    {"Frequently", 6, "Nalimov usage set to frequently", "frequently"},
    {"Normally", 10, "Nalimov usage set to normally", "normally"},
    {"Rarely", 16, "Nalimov usage set to rarely", "rarely"},
    {"Never", 120, "Nalimov usage set to never", "never"},
};
constexpr OptionChoice MainPriorityChoices[] = {
    {"Normal", 0, "Main process priority set to normal.", "Normal"},
    {"BelowNormal", 1, "Main process priority set to below-normal.", "BelowNormal"},
    {"Low", 2, "Main process priority set to low.", "Low"},
    {"Inherit", 3, "Main process priority set to inherit.", "Inherit"},
};
constexpr OptionChoice ChildPriorityChoices[] = {
    {"Normal", 0, "Child process priority set to normal.", "Normal"},
    {"BelowNormal", 1, "Child process priority set to below-normal.", "BelowNormal"},
    {"Low", 2, "Child process priority set to low.", "Low"},
};

// A piece adjustment row: name, index in the adjustment list, confirmation.
constexpr OptionRow Adjustment(const char* name, int index, const char* confirmation, const char* summary) {
  return {.name = name,
          .kind = OptionKind::Spin,
          .min = -1000,
          .max = 1000,
          .number = &Options.materialAdjust[index],
          .forwarded = true,
          .confirmation = confirmation,
          .summaryRank = 300 + index,
          .summary = summary,
          .childRank = 9 + index};
}

// Summary ranks give the order of the text-log head; the lines that are not
// options (dialects 10-30, slave mode 270, large-page outcome 440, position
// 450) sit between.
const OptionRow Rows[] = {
    {.name = "UCI_Query", .kind = OptionKind::Button, .handle = QueryDialects},
    {.name = "Hash",
     .kind = OptionKind::Spin,
     .shown = OptionShown::UciOwnTable,
     .min = 2,
     .max = 65536,
     .defaultValue = 32,
     .minMaxFirst = true,
     .number = &Group.hashMb,
     .handle = SetHash,
     .summaryRank = 110,
     .summary = "     Hash size set to %d mb"},
    {.name = "Log", .kind = OptionKind::Check, .handle = SetTextLog},
    {.name = "xLog", .kind = OptionKind::Check, .handle = SetHtmlLog},
    {.name = "Max CPUs",
     .kind = OptionKind::Spin,
     .shown = OptionShown::UciOwnTable,
     .min = 1,
     .max = 2048,
     .defaultValue = 2048,
     .minMaxFirst = true,
     .number = &Group.maxCpus,
     .handle = SetMaxCpus,
     .summaryRank = 120,
     .summary = "     Max CPUs set to %d"},
    {.name = "CPU Usage",
     .kind = OptionKind::Spin,
     .min = 1,
     .max = 100,
     .defaultValue = 100,
     .minMaxFirst = true,
     .number = &Options.cpuUsage,
     .forwarded = true,
     .confirmation = "CPU usage set to %d",
     .summaryRank = 140,
     .summary = "     CPU usage set to %d",
     .childRank = 4},
    {.name = "NalimovPath",
     .kind = OptionKind::Text,
     .defaultText = "<empty>",
     .text = &Options.tablebasePath,
     .forwarded = true,
     .confirmation = "Nalimov path set to %s",
     .changed = RegisterTablebases,
     .uci3Type = "path",
     .uci3Default = "<empty>",
     .summaryRank = 170,
     .summary = "     Nalimov path set to %s",
     .childRank = 6},
    {.name = "NalimovCache",
     .kind = OptionKind::Spin,
     .min = 1,
     .max = 256,
     .defaultValue = 1,
     .minMaxFirst = true,
     .number = &Options.tablebaseCacheMb,
     .forwarded = true,
     .confirmation = "Nalimov cache set to %d",
     .changed = ResizeTablebaseCache,
     .uci3Type = "slider",
     .summaryRank = 180,
     .summary = "     Nalimov cache set to %d",
     .childRank = 5},
    {.name = "NalimovUsage",
     .kind = OptionKind::Combo,
     .defaultValue = 16,
     .choices = UsageChoices,
     .number = &Search.settings.tablebaseUsage,
     .forwarded = true,
     .summaryRank = 190,
     .summary = "     Nalimov usage set to %s",
     .childRank = 7},
    {.name = "Main Process Priority",
     .kind = OptionKind::Combo,
     .defaultValue = 3,
     .choices = MainPriorityChoices,
     .number = &Options.mainPriority,
     .changed = ApplyMainPriority,
     .summaryRank = 200,
     .summary = "    Main Process Priority set to %s"},
    {.name = "Child Process Priority",
     .kind = OptionKind::Combo,
     .defaultValue = 1,
     .choices = ChildPriorityChoices,
     .number = &Group.childPriority,
     .changed = ApplyChildPriority,
     .summaryRank = 210,
     .summary = "    Child Process Priority set to %s"},
    {.name = "Use Large Pages",
     .kind = OptionKind::Check,
     .flag = &UseLargePages,
     .handle = SetLargePages,
     .summaryRank = 430,
     .summary = "    Use Large Pages set to true"},
    {.name = "Always Score Main Move",
     .kind = OptionKind::Check,
     .flag = &Search.settings.alwaysScoreMainMove,
     .confirmation = "Always score main move enabled.",
     .confirmationOff = "Always score main move disabled.",
     .summaryRank = 410,
     .summary = "    Always Score Main Move set to true"},
    {.name = "Display Upperbounds",
     .kind = OptionKind::Check,
     .flag = &Search.settings.displayUpperbounds,
     .confirmation = "Display upperbounds enabled.",
     .confirmationOff = "Display upperbounds disabled.",
     .summaryRank = 420,
     .summary = "    Display Upperbounds set to true"},
    {.name = "Preserve Analysis",
     .kind = OptionKind::Check,
     .flag = &PreserveAnalysis,
     .forwarded = true,
     .confirmation = "Preserve analysis enabled.",
     .confirmationOff = "Preserve analysis disabled.",
     .changed = RebuildPriorities,
     .summaryRank = 130,
     .summary = "     Preserve analysis enabled.",
     .childRank = 8},
    {.name = "Clear Hash", .kind = OptionKind::Button, .forwarded = true, .changed = ClearHash},
    {.name = "Hash File",
     .kind = OptionKind::Text,
     .defaultText = "<empty>",
     .text = &Options.hashFile,
     .confirmation = "Hash file set to %s",
     .uci3Type = "file",
     .uci3Default = "*.thf",
     .summaryRank = 220,
     .summary = "     Hash path set to %s"},
    {.name = "Save Hash", .kind = OptionKind::Button, .handle = SaveHash},
    {.name = "Load Hash", .kind = OptionKind::Button, .handle = LoadHash},
    {.name = "Ponder",
     .kind = OptionKind::Check,
     .flag = &Options.ponder,
     .summaryRank = 40,
     .summary = "     ponder mode has been enabled."},
    {.name = "MultiPV",
     .kind = OptionKind::Spin,
     .min = 1,
     .max = 256,
     .defaultValue = 1,
     .number = &Search.settings.multiPv,
     .forwarded = true,
     .confirmation = "Displaying %d variations.",
     .summaryRank = 230,
     .summary = "     Multipv set to %d variations",
     .childRank = 1},
    {.name = "MultiPV_cp",
     .kind = OptionKind::Spin,
     .min = 0,
     .max = EveryLineMargin,
     .defaultValue = EveryLineMargin,
     .number = &Search.settings.multiPvCp,
     .forwarded = true,
     .confirmation = "Displaying variations up to %d cp.",
     .summaryRank = 240,
     .summary = "     Multipv_cp set to %d centipawns",
     .childRank = 3},
    {.name = "TC Buffer",
     .kind = OptionKind::Spin,
     .min = 0,
     .max = 120,
     .defaultValue = 3,
     .announceCurrent = true,
     .number = &Options.tcBuffer,
     .confirmation = "TC Buffer set to %d seconds",
     .summaryRank = 280,
     .summary = "     TC Buffer set to %d"},
    {.name = "TC Normal Move Time",
     .kind = OptionKind::Spin,
     .min = 1,
     .max = 10000,
     .defaultValue = 80,
     .announceCurrent = true,
     .number = &Options.tcNormalMoveTime,
     .confirmation = "TC Normal Move Time set to %d",
     .summaryRank = 284,
     .summary = "    TC Normal Move Time set to %d"},
    {.name = "TC Max Move Time",
     .kind = OptionKind::Spin,
     .min = 1,
     .max = 10000,
     .defaultValue = 100,
     .announceCurrent = true,
     .number = &Options.tcMaxMoveTime,
     .confirmation = "TC Max Move Time set to %d",
     .summaryRank = 285,
     .summary = "    TC Max Move Time set to %d"},
    Adjustment("White Pawn cp", 0, "White pawn adjustment value set to %d cp",
               "White Pawn adjustment set to %d cp"),
    Adjustment("Black Pawn cp", 1, "Black pawn adjustment value set to %d cp",
               "Black Pawn adjustment set to %d cp"),
    Adjustment("White Knight cp", 2, "White knight adjustment value set to %d cp",
               "White Knight adjustment set to %d cp"),
    Adjustment("Black Knight cp", 3, "Black knight adjustment value set to %d cp",
               "Black Knight adjustment set to %d cp"),
    Adjustment("White King Bishop cp", 4, "White king bishop adjustment value set to %d cp",
               "White King Bishop adjustment set to %d cp"),
    Adjustment("Black King Bishop cp", 5, "Black king bishop adjustment value set to %d cp",
               "Black King Bishop adjustment set to %d cp"),
    Adjustment("White Queen Bishop cp", 6, "White queen bishop adjustment value set to %d cp",
               "White Queen Bishop adjustment set to %d cp"),
    Adjustment("Black Queen Bishop cp", 7, "Black queen bishop adjustment value set to %d cp",
               "Black Queen Bishop adjustment set to %d cp"),
    Adjustment("White Rook cp", 8, "White rook adjustment value set to %d cp",
               "White Rook adjustment set to %d cp"),
    Adjustment("Black Rook cp", 9, "Black rook adjustment value set to %d cp",
               "Black Rook adjustment set to %d cp"),
    Adjustment("White Queen cp", 10, "White queen adjustment value set to %d cp",
               "White Queen adjustment set to %d cp"),
    Adjustment("Black Queen cp", 11, "Black queen adjustment value set to %d cp",
               "Black Queen adjustment set to %d cp"),
    {.name = "Rook Endgame Scaling",
     .kind = OptionKind::Spin,
     .min = 0,
     .max = 1000,
     .defaultValue = 100,
     .number = &RookEndgameScaling,
     .forwarded = true,
     .confirmation = "Rook endgame scaling set to %d percent.",
     .summaryRank = 400,
     .summary = "    Rook endgame scaling to %d percent",
     .childRank = 21},
    {.name = "UCI_LimitStrength",
     .kind = OptionKind::Check,
     .flag = &Options.limitStrength,
     .handle = SetLimitStrength,
     .summaryRank = 250,
     .summary = "     Limit strength mode enabled"},
    {.name = "UCI_Elo",
     .kind = OptionKind::Spin,
     .min = 1200,
     .max = 2400,
     .defaultValue = 1200,
     .number = &Options.elo,
     .handle = SetElo,
     .summaryRank = 260,
     .summary = "     Elo set to %d"},
    {.name = "UCI_EngineAbout",
     .kind = OptionKind::Text,
     .defaultText = EngineAboutAddress,
     .handle = Ignore},
    // Time-control limits a front end need not see.
    {.name = "TC Hard Buffer msec",
     .kind = OptionKind::Spin,
     .shown = OptionShown::Hidden,
     .min = 0,
     .max = 60000,
     .defaultValue = 250,
     .number = &Options.tcHardBuffer,
     .confirmation = "TC Hard Buffer set to %d milliseconds",
     .summaryRank = 281,
     .summary = "    TC Hard Buffer set to %d"},
    {.name = "TC Hard Move Time msec",
     .kind = OptionKind::Spin,
     .shown = OptionShown::Hidden,
     .min = 1,
     .max = 60000,
     .defaultValue = 5,
     .number = &Options.tcHardMoveTime,
     .confirmation = "TC Hard Move Time set to %d milliseconds",
     .summaryRank = 282,
     .summary = "    TC Hard Move Time set to %d"},
    {.name = "TC Hard Move Depth",
     .kind = OptionKind::Spin,
     .shown = OptionShown::Hidden,
     .min = 1,
     .max = 100,
     .defaultValue = 5,
     .number = &Options.tcHardMoveDepth,
     .confirmation = "TC Hard Move Depth set to %d",
     .summaryRank = 283,
     .summary = "    TC Hard Move Depth set to %d"},
    // The randomizer of the "kvx5" dialect.
    {.name = "kvx5_randomizer_threshold",
     .kind = OptionKind::Spin,
     .shown = OptionShown::Kvx5,
     .min = 1,
     .max = 512,
     .defaultValue = 8,
     .number = &Search.settings.randomizerThreshold,
     .confirmation = "Randomizer threshold set to %d",
     .summaryRank = 150,
     .summary = "     Randomizer threshold set to %d"},
    {.name = "kvx5_randomizer_mode",
     .kind = OptionKind::Check,
     .shown = OptionShown::Kvx5,
     .handle = SetRandomizerMode,
     .summaryRank = 160,
     .summaryLine = RandomizerModeLine},
    {.name = "kvx5_randomizer_reset",
     .kind = OptionKind::Button,
     .shown = OptionShown::Kvx5,
     .handle = ResetRandomizerBitmap},
    // What today's front ends expect beyond the options above; announced last.
    {.name = "UCI_ShowWDL",
     .kind = OptionKind::Check,
     .flag = &Options.showWdl,
     .confirmation = "Show WDL enabled.",
     .confirmationOff = "Show WDL disabled."},
    // Not announced: a cluster controller that drives the engine in slave
    // mode reads its normal lines as well.
    {.name = "Slave Info",
     .kind = OptionKind::Check,
     .shown = OptionShown::Hidden,
     .flag = &Output.slaveInfo,
     .confirmation = "Slave info enabled.",
     .confirmationOff = "Slave info disabled."},
    // Chess960: castling fields read as X-FEN or Shredder-FEN and castling
    // written as the king taking its rook, for the positions set after it.
    {.name = "UCI_Chess960",
     .kind = OptionKind::Check,
     .flag = &Chess960Mode,
     .forwarded = true,
     .confirmation = "Chess960 enabled.",
     .confirmationOff = "Chess960 disabled.",
     .childRank = 22},
};
}  // namespace

std::span<const OptionRow> OptionRows() { return Rows; }

std::string OptionKeyword(const OptionRow& row) {
  std::string keyword = row.name;
  for (char& c : keyword) c = char(std::tolower(static_cast<unsigned char>(c)));
  return keyword;
}

const OptionRow* FindOptionRow(const std::string& name) {
  std::string wanted = name;
  for (char& c : wanted) c = char(std::tolower(static_cast<unsigned char>(c)));
  for (const OptionRow& row : Rows)
    if (OptionKeyword(row) == wanted) return &row;
  return nullptr;
}
