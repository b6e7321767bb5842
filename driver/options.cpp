// The handling of the option table: announcing the options, "setoption",
// the table work that waits for the end of a search, and the settings
// summary of the text log.
#include "driver/options.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include "common/output.h"
#include "driver/engine.h"
#include "driver/logs.h"
#include "driver/option_table.h"
#include "driver/startup.h"
#include "group/hash_file.h"
#include "group/hash_memory.h"
#include "group/process_group.h"
#include "platform/host.h"
#include "platform/platform.h"

EngineOptions Options;

namespace {
constexpr size_t RandomizerBytes = 4194304;   // 2^25 bits

// Case-insensitive prefix test of a keyword given in lower case.
bool Starts(const std::string& text, const std::string& keyword) {
  if (text.size() < keyword.size()) return false;
  for (size_t i = 0; i < keyword.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != keyword[i]) return false;
  return true;
}
std::string Lower(const std::string& s) {
  std::string lower = s;
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}
// The text after "<keyword> value " up to the end of the line; a front end
// that ends its lines with CR LF must not put the CR into a path.
std::string TextAfter(const std::string& text, size_t start) {
  if (text.size() <= start) return "";
  std::string value = text.substr(start);
  while (!value.empty() && (value.back() == '\r' || value.back() == '\n')) value.pop_back();
  return value;
}
}  // namespace

void EnableRandomizer() {
  uint8_t*& bitmap = Search.settings.randomizerBitmap;
  if (!bitmap) bitmap = new uint8_t[RandomizerBytes];
  std::memset(bitmap, 0, RandomizerBytes);
}

void ResetRandomizer() {
  if (Search.settings.randomizerBitmap) std::memset(Search.settings.randomizerBitmap, 0, RandomizerBytes);
}

void DisableRandomizer() {
  uint8_t* bitmap = Search.settings.randomizerBitmap;
  Search.settings.randomizerBitmap = nullptr;
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

// --- Table work that waits for the end of a search --------------------------
namespace {
std::vector<TableWork> deferredWork;

void RunTableWork(TableWork work) {
  switch (work) {
    case TableWork::RestartGroup:
      StartProcessGroup(Group.hashMb);
      break;
    case TableWork::ClearHash:
      NewGameReset();
      InfoString("Hash clear invoked.");
      break;
    case TableWork::SaveHash:
      SaveHashFile(Options.hashFile);
      break;
    case TableWork::LoadHash:
      LoadHashFile(Options.hashFile);
      break;
  }
}
}  // namespace

void TableWorkWhenIdle(TableWork work) {
  if (!SearchInProgress()) return RunTableWork(work);
  // One restart builds the table of the latest settings; a second adds nothing.
  if (work == TableWork::RestartGroup && !deferredWork.empty() && deferredWork.back() == work) return;
  deferredWork.push_back(work);
  Log("  .. hash table work waits for the end of the search");
}

void ApplyDeferredOptions() {
  if (deferredWork.empty() || SearchInProgress()) return;
  std::vector<TableWork> work;
  work.swap(deferredWork);
  for (TableWork w : work) RunTableWork(w);
}

// --- Announcing ------------------------------------------------------------
namespace {
std::string ChoiceList(const OptionRow& row) {
  std::string list;
  for (const OptionChoice& c : row.choices) list.append(" var ").append(c.name);
  return list;
}
const char* ChoiceName(const OptionRow& row, int value) {
  for (const OptionChoice& c : row.choices)
    if (c.value == value) return c.name;
  return "";
}

void Announce(const OptionRow& row) {
  const char* name = row.name;
  switch (row.kind) {
    case OptionKind::Button:
      return Send("option name %s type button", name);
    case OptionKind::Check:
      return Send("option name %s type check default %s", name, row.defaultValue ? "true" : "false");
    case OptionKind::Text:
      return Send("option name %s type string default %s", name, row.defaultText);
    case OptionKind::Combo:
      return Send("option name %s type combo default %s%s", name, ChoiceName(row, row.defaultValue),
                  ChoiceList(row).c_str());
    case OptionKind::Spin: {
      const int shown = row.announceCurrent ? *row.number : row.defaultValue;
      if (row.minMaxFirst)
        return Send("option name %s type spin min %d max %d default %d", name, row.min, row.max, shown);
      return Send("option name %s type spin default %d min %d max %d", name, shown, row.min, row.max);
    }
  }
}
}  // namespace

void AnnounceOptions() {
  const bool ownTable = Group.overriddenParentId == 0;
  for (const OptionRow& row : OptionRows())
    if (row.shown == OptionShown::Uci || (row.shown == OptionShown::UciOwnTable && ownTable)) Announce(row);
}

void AnnounceUci3Options() {
  for (const OptionRow& row : OptionRows()) {
    if (!row.uci3Type) continue;
    if (row.kind == OptionKind::Spin)
      Send("option name %s type %s min %d max %d default %d", row.name, row.uci3Type, row.min, row.max,
           row.defaultValue);
    else
      Send("option name %s type %s default %s", row.name, row.uci3Type, row.uci3Default);
  }
}

void AnnounceKvx5Options() {
  for (const OptionRow& row : OptionRows())
    if (row.shown == OptionShown::Kvx5) {
      if (row.kind == OptionKind::Spin)   // announced as the dialect has it: default first
        Send("option name %s type spin default %d min %d max %d", row.name, row.defaultValue, row.min,
             row.max);
      else
        Announce(row);
    }
}

// --- setoption -------------------------------------------------------------
namespace {
// The usual handling of a row: store the value (numbers held to the row's
// range), confirm, then the row's own follow-up. False when the text names
// no value the row knows (a check without true/false, a combo without one
// of its choices).
bool Apply(const OptionRow& row, const std::string& text) {
  const std::string keyword = OptionKeyword(row);
  const size_t valueAt = keyword.size() + 7;   // past " value "
  switch (row.kind) {
    case OptionKind::Button:
      if (row.forwarded) SendToChildren("setoption name " + text);
      if (row.confirmation) InfoString("%s", row.confirmation);
      break;
    case OptionKind::Check: {
      const bool on = Starts(text, keyword + " value true");
      if (!on && !Starts(text, keyword + " value false")) return false;
      if (row.forwarded) SendToChildren("setoption name " + keyword + (on ? " value true" : " value false"));
      *row.flag = on;
      const char* confirmation = on ? row.confirmation : row.confirmationOff;
      if (confirmation) InfoString("%s", confirmation);
      break;
    }
    case OptionKind::Spin: {
      if (row.forwarded) SendToChildren("setoption name " + text);
      const int v = LeadingNumber(text, valueAt);
      *row.number = std::clamp(v, row.min, row.max);
      if (row.confirmation) InfoString(row.confirmation, *row.number);
      break;
    }
    case OptionKind::Combo: {
      const OptionChoice* chosen = nullptr;
      for (const OptionChoice& c : row.choices)
        if (Starts(text, keyword + " value " + Lower(c.name))) chosen = &c;
      if (!chosen) return false;
      if (row.forwarded) SendToChildren("setoption name " + text);
      *row.number = chosen->value;
      InfoString("%s", chosen->confirmation);
      break;
    }
    case OptionKind::Text:
      if (row.forwarded) SendToChildren("setoption name " + text);
      *row.text = TextAfter(text, valueAt);
      if (row.confirmation) InfoString(row.confirmation, row.text->c_str());
      break;
  }
  if (row.changed) row.changed();
  return true;
}

// The keyword a row answers to: its name, and for the kinds with a value " value".
std::string HandledKeyword(const OptionRow& row) {
  const std::string keyword = OptionKeyword(row);
  return row.kind == OptionKind::Button ? keyword : keyword + " value";
}
}  // namespace

void HandleSetOption(const std::string& text) {
  for (const OptionRow& row : OptionRows()) {
    if (!Starts(text, HandledKeyword(row))) continue;
    if (row.handle) {
      row.handle(row, text);
      return;
    }
    if (Apply(row, text)) return;
  }
}

std::vector<std::string> ChildSettingsLines() {
  struct Line {
    int rank;
    std::string text;
  };
  std::vector<Line> lines;
  if (Search.settings.slaveMode != 0)
    lines.push_back({2, FormatText("slave mode %d", Search.settings.slaveMode)});
  for (const OptionRow& row : OptionRows()) {
    if (!row.childRank) continue;
    const std::string head = std::string("setoption name ") + row.name + " value ";
    if (row.kind == OptionKind::Spin && *row.number != row.defaultValue)
      lines.push_back({row.childRank, head + std::to_string(*row.number)});
    else if (row.kind == OptionKind::Combo && *row.number != row.defaultValue)
      lines.push_back({row.childRank, head + ChoiceName(row, *row.number)});
    else if (row.kind == OptionKind::Check && *row.flag)
      lines.push_back({row.childRank, head + "true"});
    else if (row.kind == OptionKind::Text && !row.text->empty())
      lines.push_back({row.childRank, head + *row.text});
  }
  std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) { return a.rank < b.rank; });
  std::vector<std::string> texts;
  for (Line& l : lines) texts.push_back(std::move(l.text));
  return texts;
}

void ForwardSettingsToChildren() {
  for (const std::string& line : ChildSettingsLines()) SendToChildren(line);
}

// --- The settings summary of the text log -----------------------------------
std::vector<std::string> SettingsSummary() {
  struct Line {
    int rank;
    std::string text;
  };
  std::vector<Line> lines;
  auto add = [&](int rank, const std::string& text) {
    if (!text.empty()) lines.push_back({rank, text});
  };
  if (Engine.uci3) add(10, "     uci3 has been invoked.");
  if (Engine.kvx5) add(20, "     kvx5 has been invoked.");
  if (Engine.hqz5) add(30, "     hqz5 has been invoked.");
  if (Search.settings.slaveMode != 0)
    add(270, FormatText("     Slave mode set to %d", Search.settings.slaveMode));
  add(440, LargePageSummary(CurrentLargePageStatus));
  if (Engine.savedPositionText.find("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq") ==
      std::string::npos)
    add(450, "     Position set to " + Engine.savedPositionText);
  for (const OptionRow& row : OptionRows()) {
    if (!row.summaryRank) continue;
    if (row.summaryLine) {
      add(row.summaryRank, row.summaryLine());
      continue;
    }
    switch (row.kind) {
      case OptionKind::Check:
        if (*row.flag) add(row.summaryRank, row.summary);
        break;
      case OptionKind::Spin:
        if (*row.number != row.defaultValue) add(row.summaryRank, FormatText(row.summary, *row.number));
        break;
      case OptionKind::Text:
        if (!row.text->empty()) add(row.summaryRank, FormatText(row.summary, row.text->c_str()));
        break;
      case OptionKind::Combo:
        if (*row.number != row.defaultValue)
          for (const OptionChoice& c : row.choices)
            if (c.value == *row.number) add(row.summaryRank, FormatText(row.summary, c.summaryName));
        break;
      case OptionKind::Button:
        break;
    }
  }
  std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) { return a.rank < b.rank; });
  std::vector<std::string> texts;
  for (Line& l : lines) texts.push_back(std::move(l.text));
  return texts;
}
