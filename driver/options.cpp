#include "driver/options.h"

#include <cctype>
#include <climits>
#include <cstring>
#include <string_view>
#include <vector>
#include "common/output.h"
#include "driver/engine.h"
#include "driver/logs.h"
#include "driver/startup.h"
#include "eval/evaluate.h"
#include "group/process_group.h"
#include "platform/host.h"
#include "platform/platform.h"
#include "search/hash_file.h"
#include "search/hash_table.h"
#include "search/search.h"

EngineOptions Options;

namespace {
constexpr size_t RandomizerBytes = 4194304;   // 2^25 bits
}  // namespace

void AnnounceOptions() {
  Send("option name UCI_Query type button");
  if (Options.overriddenParentId == 0) Send("option name Hash type spin min 2 max 4096 default 32");
  Send("option name Log type check default false");
  Send("option name xLog type check default false");
  if (Options.overriddenParentId == 0) Send("option name Max CPUs type spin min 1 max %d default %d", 2048, 2048);
  Send("option name CPU Usage type spin min 1 max 100 default 100");
  Send("option name NalimovPath type string default <empty>");
  Send("option name NalimovCache type spin min 1 max 256 default 1");
  Send("option name NalimovUsage type combo default Rarely var Frequently var Normally var Rarely var Never");
  Send("option name Main Process Priority type combo default Inherit var Normal var BelowNormal var Low var Inherit");
  Send("option name Child Process Priority type combo default BelowNormal var Normal var BelowNormal var Low");
  Send("option name Use Large Pages type check default false");
  Send("option name Always Score Main Move type check default false");
  Send("option name Display Upperbounds type check default false");
  Send("option name Preserve Analysis type check default false");
  Send("option name Clear Hash type button");
  Send("option name Hash File type string default <empty>");
  Send("option name Save Hash type button");
  Send("option name Load Hash type button");
  Send("option name Ponder type check default false");
  Send("option name MultiPV type spin default 1 min 1 max %d", 256);
  Send("option name MultiPV_cp type spin default 20000 min 0 max 20000");
  Send("option name TC Buffer type spin default %d min 0 max 120", Options.tcBuffer);
  Send("option name TC Normal Move Time type spin default %d min 1 max 10000", Options.tcNormalMoveTime);
  Send("option name TC Max Move Time type spin default %d min 1 max 10000", Options.tcMaxMoveTime);
  static const char* const pieces[6] = {"Pawn", "Knight", "King Bishop", "Queen Bishop", "Rook", "Queen"};
  for (const char* piece : pieces) {
    Send("option name White %s cp type spin default 0 min -1000 max 1000", piece);
    Send("option name Black %s cp type spin default 0 min -1000 max 1000", piece);
  }
  Send("option name Rook Endgame Scaling type spin default 100 min 0 max 1000");
  Send("option name UCI_LimitStrength type check default false");
  Send("option name UCI_Elo type spin default %d min 1200 max 2400", 1200);
  Send("option name UCI_EngineAbout type string default %s", EngineAboutAddress);
}

int LeadingNumber(const std::string& text, size_t from) {
  size_t i = from;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    if (value <= INT_MAX) value = value * 10 + (text[i] - '0');
  if (negative) value = -value;
  return int(value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : value);
}

void EnableRandomizer() {
  if (!RandomizerBitmap) RandomizerBitmap = new uint8_t[RandomizerBytes];
  std::memset(RandomizerBitmap, 0, RandomizerBytes);
}

void ResetRandomizer() {
  if (RandomizerBitmap) std::memset(RandomizerBitmap, 0, RandomizerBytes);
}

void DisableRandomizer() {
  uint8_t* bitmap = RandomizerBitmap;
  RandomizerBitmap = nullptr;
  delete[] bitmap;
}

int NiceOfPriority(int level) { return level == 0 ? 0 : level == 1 ? 10 : 19; }

void ApplyMainProcessPriority(int level) {
  if (level < 0 || level > 2) return;
  const int nice = NiceOfPriority(level);
  if (const int error = platform::SetOwnNice(nice))
    Log("*** - setpriority to nice %d failed: %s (%d); priority stays at nice %d", nice,
        platform::SystemErrorText(error).c_str(), error, platform::OwnNice());
}

namespace {
// Case-insensitive prefix test of an option keyword (given in lower case).
bool Starts(const std::string& text, std::string_view keyword) {
  if (text.size() < keyword.size()) return false;
  for (size_t i = 0; i < keyword.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != keyword[i]) return false;
  return true;
}
// "<keyword> value true|false": sets the switch and confirms "<Name> enabled."
// or "<Name> disabled.". False when the text is neither.
bool SetSwitch(const std::string& text, const std::string& keyword, const char* name, bool& flag) {
  const bool on = Starts(text, keyword + " value true");
  if (!on && !Starts(text, keyword + " value false")) return false;
  flag = on;
  InfoString("%s %s.", name, on ? "enabled" : "disabled");
  return true;
}
// The value begins one character after the keyword (past the separating blank).
int NumberAfter(const std::string& text, std::string_view keyword) { return LeadingNumber(text, keyword.size() + 1); }
std::string TextAfter(const std::string& text, std::string_view keyword) {
  if (text.size() <= keyword.size() + 1) return "";
  std::string value = text.substr(keyword.size() + 1);
  // A front end that ends its lines with CR LF must not put the CR into a path.
  while (!value.empty() && (value.back() == '\r' || value.back() == '\n')) value.pop_back();
  return value;
}
int Clamp(int v, int low, int high) { return v < low ? low : v > high ? high : v; }
void Forward(const std::string& text) { SendToChildren("setoption name " + text); }

// Changes that replace or rewrite the whole hash table (or the root records
// with it) would pull the memory from under a running search: they wait for
// its end and then run in the order they were asked for.
enum class TableWork { RestartGroup, ClearHash, SaveHash, LoadHash };
std::vector<TableWork> deferredWork;

void RunTableWork(TableWork work) {
  switch (work) {
    case TableWork::RestartGroup:
      StartProcessGroup(Options.hashMb);
      Options.hashMb = Group.hashMb;
      break;
    case TableWork::ClearHash:
      NewGameReset();
      break;
    case TableWork::SaveHash:
      SaveHashFile(Options.hashFile);
      break;
    case TableWork::LoadHash:
      LoadHashFile(Options.hashFile);
      Options.hashMb = Group.hashMb;   // the table takes the file's size
      break;
  }
}

// A search runs, or its result waits for "stop" or "ponderhit" (clearing
// the root records then would lose the move it is to report).
bool SearchInProgress() { return Engine.searching || Engine.ponderInfinitePending; }

void TableWorkWhenIdle(TableWork work) {
  if (!SearchInProgress()) return RunTableWork(work);
  // One restart builds the table of the latest settings; a second adds nothing.
  if (work == TableWork::RestartGroup && !deferredWork.empty() && deferredWork.back() == work) return;
  deferredWork.push_back(work);
  Log("  .. hash table work waits for the end of the search");
}

void SetPriorityOption(int& option, int level, bool ownProcess, const char* confirmation) {
  option = level;
  if (ownProcess) ApplyMainProcessPriority(level);
  InfoString("%s", confirmation);
}

struct AdjustmentRow {
  std::string_view keyword;
  const char* confirmation;
};
// In the order of Options.materialAdjust.
constexpr AdjustmentRow Adjustments[12] = {
    {"white pawn cp value", "White pawn adjustment value set to %d cp"},
    {"black pawn cp value", "Black pawn adjustment value set to %d cp"},
    {"white knight cp value", "White knight adjustment value set to %d cp"},
    {"black knight cp value", "Black knight adjustment value set to %d cp"},
    {"white king bishop cp value", "White king bishop adjustment value set to %d cp"},
    {"black king bishop cp value", "Black king bishop adjustment value set to %d cp"},
    {"white queen bishop cp value", "White queen bishop adjustment value set to %d cp"},
    {"black queen bishop cp value", "Black queen bishop adjustment value set to %d cp"},
    {"white rook cp value", "White rook adjustment value set to %d cp"},
    {"black rook cp value", "Black rook adjustment value set to %d cp"},
    {"white queen cp value", "White queen adjustment value set to %d cp"},
    {"black queen cp value", "Black queen adjustment value set to %d cp"},
};

struct NumberRow {
  std::string_view keyword;
  int EngineOptions::*field;
  const char* confirmation;
};
// The time-control rows store the number as given.
constexpr NumberRow TimeRows[6] = {
    {"tc buffer value", &EngineOptions::tcBuffer, "TC Buffer set to %d seconds"},
    {"tc hard buffer msec value", &EngineOptions::tcHardBuffer, "TC Hard Buffer set to %d milliseconds"},
    {"tc hard move time msec value", &EngineOptions::tcHardMoveTime, "TC Hard Move Time set to %d milliseconds"},
    {"tc hard move depth value", &EngineOptions::tcHardMoveDepth, "TC Hard Move Depth set to %d"},
    {"tc normal move time value", &EngineOptions::tcNormalMoveTime, "TC Normal Move Time set to %d"},
    {"tc max move time value", &EngineOptions::tcMaxMoveTime, "TC Max Move Time set to %d"},
};

void SetPreserveAnalysis(bool on) {
  SendToChildren(on ? "setoption name preserve analysis value true" : "setoption name preserve analysis value false");
  Options.preserveAnalysis = PreserveAnalysis = on;
  NewSearchGeneration(HashGeneration());   // the replacement priorities depend on it
  InfoString(on ? "Preserve analysis enabled." : "Preserve analysis disabled.");
}

void SetLargePages(bool on) {
  if (UseLargePages == on) {
    InfoString(on ? "Use large pages enabled (no change)." : "Use large pages disabled (no change).");
    return;
  }
  Options.useLargePages = UseLargePages = on;
  InfoString(on ? "Use large pages enabled." : "Use large pages disabled.");
  TableWorkWhenIdle(TableWork::RestartGroup);
}
}  // namespace

void ApplyDeferredOptions() {
  if (deferredWork.empty() || SearchInProgress()) return;
  std::vector<TableWork> work;
  work.swap(deferredWork);
  for (TableWork w : work) RunTableWork(w);
}

void HandleSetOption(const std::string& text) {
  const auto& t = text;
  if (Starts(t, "uci_query")) {
    InfoString("slave mode supported");
    InfoString("uci3 supported");
    InfoString("kvx5 supported");
    InfoString("hqz5 supported");
    InfoString("queryok");
    return;
  }
  if (Starts(t, "hash value")) {
    if (Options.overriddenParentId != 0) return;   // the table belongs to another engine instance
    Options.hashMb = HashSizeOfRequest(NumberAfter(t, "hash value"));
    TableWorkWhenIdle(TableWork::RestartGroup);
    InfoString("Hash size set to %d mb", Options.hashMb);
    return;
  }
  if (Starts(t, "log value true")) {
    Options.logOn = true;
    return OpenTextLog();
  }
  if (Starts(t, "xlog value true")) {
    Options.htmlLogOn = true;
    return OpenHtmlLog();
  }
  if (Starts(t, "max cpus value")) {
    if (Options.overriddenParentId != 0) return;
    Options.maxCpus = Clamp(NumberAfter(t, "max cpus value"), 1, 2048);
    const int n = Group.processCount;
    if (Options.maxCpus < n || (Options.maxCpus > n && Group.processorCount > n))
      TableWorkWhenIdle(TableWork::RestartGroup);
    InfoString("Max CPUs set to %d", Options.maxCpus);
    return;
  }
  if (Starts(t, "use large pages value true")) return SetLargePages(true);
  if (Starts(t, "use large pages value false")) return SetLargePages(false);
  if (Starts(t, "preserve analysis value true")) return SetPreserveAnalysis(true);
  if (Starts(t, "preserve analysis value false")) return SetPreserveAnalysis(false);
  if (SetSwitch(t, "always score main move", "Always score main move", Options.alwaysScoreMainMove)) return;
  if (SetSwitch(t, "display upperbounds", "Display upperbounds", Options.displayUpperbounds)) return;
  if (Starts(t, "log value false")) {
    Options.logOn = Options.htmlLogOn = false;
    return CloseLogs();
  }
  for (int i = 0; i < 12; ++i) {
    if (!Starts(t, Adjustments[i].keyword)) continue;
    Forward(t);
    Options.materialAdjust[i] = NumberAfter(t, Adjustments[i].keyword);
    return InfoString(Adjustments[i].confirmation, Options.materialAdjust[i]);
  }
  if (Starts(t, "rook endgame scaling value")) {
    Forward(t);
    Options.rookEndgameScaling = RookEndgameScaling = NumberAfter(t, "rook endgame scaling value");
    return InfoString("Rook endgame scaling set to %d percent.", Options.rookEndgameScaling);
  }
  if (Starts(t, "ponder value true")) {
    Options.ponder = true;
    return;
  }
  if (Starts(t, "ponder value false")) {
    Options.ponder = false;
    return;
  }
  if (Starts(t, "cpu usage value")) {
    Forward(t);
    Options.cpuUsage = Clamp(NumberAfter(t, "cpu usage value"), 1, 100);
    return InfoString("CPU usage set to %d", Options.cpuUsage);
  }
  if (Starts(t, "kvx5_randomizer_threshold value")) {
    Options.randomizerThreshold = RandomizerThreshold = NumberAfter(t, "kvx5_randomizer_threshold value");
    return InfoString("Randomizer threshold set to %d", Options.randomizerThreshold);
  }
  if (Starts(t, "kvx5_randomizer_mode value true")) {
    EnableRandomizer();
    return InfoString("Randomizer mode enabled.");
  }
  if (Starts(t, "kvx5_randomizer_mode value false")) {
    DisableRandomizer();
    return InfoString("Randomizer mode disabled.");
  }
  if (Starts(t, "kvx5_randomizer_reset")) {
    ResetRandomizer();
    return InfoString("Randomizer reset invoked.");
  }
  if (Starts(t, "nalimovpath value")) {
    Forward(t);
    Options.tablebasePath = TextAfter(t, "nalimovpath value");
    return InfoString("Nalimov path set to %s", Options.tablebasePath.c_str());
  }
  if (Starts(t, "nalimovcache value")) {
    Forward(t);
    Options.tablebaseCacheMb = NumberAfter(t, "nalimovcache value");
    return InfoString("Nalimov cache set to %d", Options.tablebaseCacheMb);
  }
  static constexpr struct {
    std::string_view keyword;
    int usage;
    const char* confirmation;
  } UsageRows[4] = {{"nalimovusage value frequently", 6, "Nalimov usage set to frequently"},
                    {"nalimovusage value normally", 10, "Nalimov usage set to normally"},
                    {"nalimovusage value rarely", 16, "Nalimov usage set to rarely"},
                    {"nalimovusage value never", 120, "Nalimov usage set to never"}};
  for (const auto& row : UsageRows) {
    if (!Starts(t, row.keyword)) continue;
    Options.tablebaseUsage = row.usage;
    return InfoString("%s", row.confirmation);
  }
  if (Starts(t, "main process priority value inherit"))
    return SetPriorityOption(Options.mainPriority, 3, false, "Main process priority set to inherit.");
  if (Starts(t, "main process priority value normal"))
    return SetPriorityOption(Options.mainPriority, 0, true, "Main process priority set to normal.");
  if (Starts(t, "main process priority value belownormal"))
    return SetPriorityOption(Options.mainPriority, 1, true, "Main process priority set to below-normal.");
  if (Starts(t, "main process priority value low"))
    return SetPriorityOption(Options.mainPriority, 2, true, "Main process priority set to low.");
  // The group applies the child level to the children it runs and starts.
  if (Starts(t, "child process priority value normal"))
    return SetPriorityOption(Options.childPriority, 0, false, "Child process priority set to normal.");
  if (Starts(t, "child process priority value belownormal"))
    return SetPriorityOption(Options.childPriority, 1, false, "Child process priority set to below-normal.");
  if (Starts(t, "child process priority value low"))
    return SetPriorityOption(Options.childPriority, 2, false, "Child process priority set to low.");
  if (Starts(t, "clear hash")) {
    Forward(t);
    TableWorkWhenIdle(TableWork::ClearHash);
    return InfoString("Hash clear invoked.");
  }
  if (Starts(t, "hash file value")) {
    Options.hashFile = TextAfter(t, "hash file value");
    return InfoString("Hash file set to %s", Options.hashFile.c_str());
  }
  if (Starts(t, "save hash")) return TableWorkWhenIdle(TableWork::SaveHash);
  if (Starts(t, "load hash")) return TableWorkWhenIdle(TableWork::LoadHash);
  if (Starts(t, "multipv value")) {
    Forward(t);
    Options.multiPv = Clamp(NumberAfter(t, "multipv value"), 1, 256);
    return InfoString("Displaying %d variations.", Options.multiPv);
  }
  if (Starts(t, "multipv_cp value")) {
    Forward(t);
    Options.multiPvCp = Clamp(NumberAfter(t, "multipv_cp value"), 0, 20000);
    return InfoString("Displaying variations up to %d cp.", Options.multiPvCp);
  }
  for (const NumberRow& row : TimeRows) {
    if (!Starts(t, row.keyword)) continue;
    Options.*row.field = NumberAfter(t, row.keyword);
    return InfoString(row.confirmation, Options.*row.field);
  }
  if (Starts(t, "uci_limitstrength value true")) {
    Options.limitStrength = true;
    return InfoString("Limited strength mode enabled, will play at %d Elo.", Options.elo);
  }
  if (Starts(t, "uci_limitstrength value false")) {
    Options.limitStrength = false;
    return InfoString("Limited strength mode disabled.");
  }
  if (Starts(t, "uci_elo value")) {
    Options.elo = NumberAfter(t, "uci_elo value");
    return InfoString("Elo set to %d, currently %s", Options.elo, Options.limitStrength ? "in use" : "ignored");
  }
}
