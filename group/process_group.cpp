// Starting, restarting and leaving the process group: the shared objects,
// the children and the lines that steer them.
#include "group/process_group.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <vector>
#include "common/output.h"
#include "group/exchange_area.h"
#include "group/hash_memory.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "platform/shared_memory.h"
#include "search/hash_table.h"

GroupState Group;

namespace {
// A child as the parent sees it.
struct Child {
  int pid = -1;
  int input = -1;      // write end of the pipe on its standard input
  bool alive = false;  // still taking part
};
std::vector<Child> children;   // by process number; entry 0 is the parent
platform::SharedRegion exchangeRegion;
void (*forwardSettings)() = nullptr;

constexpr int PollMs = 50;
// A child that is not ready (or not gone) after this long is ended and the
// group goes on without it: a front end must never wait on a stuck helper.
constexpr int WaitLimitMs = 5000;
// An object younger than this whose maker lives is being made, not stale.
constexpr int StaleAgeSeconds = 5;
// Slot of the exchange area's name among those removed on a fatal signal.
constexpr int ExchangeSignalSlot = 1;

std::string AreaName(const char* stem, int first, int second) {
  char name[64];
  std::snprintf(name, sizeof name, "%s%d%d", stem, first, second);
  return name;
}

std::atomic_ref<int32_t> StateWord(int number) {
  return std::atomic_ref<int32_t>(Exchange->childState[number]);
}

void ClearStateWords() {
  for (int i = 0; i < 2048; ++i) StateWord(i).store(0, std::memory_order_relaxed);
}

void DropChild(int number, const char* why) {
  Child& c = children[number];
  if (!c.alive) return;
  Log("*** - child %d (process %d) %s; the group goes on without it", number, c.pid, why);
  c.alive = false;
  platform::CloseDescriptor(c.input);
  c.input = -1;
  ClearSlot(Exchange->root.slots[number]);   // its last results no longer count
}

// Waits until every child still taking part shows `state`; the others are
// ended and dropped.
void WaitForChildren(int32_t state, const char* what) {
  const uint64_t deadline = platform::NowMs() + WaitLimitMs;
  for (;;) {
    bool all = true;
    for (size_t i = 1; i < children.size(); ++i)
      if (children[i].alive && StateWord(int(i)).load(std::memory_order_relaxed) != state) all = false;
    if (all) return;
    if (platform::NowMs() >= deadline) break;
    platform::SleepMs(PollMs);
  }
  for (size_t i = 1; i < children.size(); ++i) {
    if (!children[i].alive || StateWord(int(i)).load(std::memory_order_relaxed) == state) continue;
    platform::KillProcess(children[i].pid);
    DropChild(int(i), what);
  }
}

void CloseExchangeArea() {
  if (exchangeRegion.created) platform::RemoveNamesOnFatalSignal(ExchangeSignalSlot, "");
  Exchange = PrivateExchangeArea();
  platform::CloseSharedRegion(exchangeRegion);
}

// The old group goes: its children quit (or are ended), its objects are released.
void TearDown() {
  SendToChildren("quit");
  WaitForChildren(ChildGone, "did not quit in time and was ended");
  ClearStateWords();
  for (Child& c : children) platform::CloseDescriptor(c.input);
  children.clear();
  ReleaseHashTable();
  CloseExchangeArea();
}

void CreateExchangeArea() {
  int error = 0;
  if (platform::CreateSharedRegion(ExchangeAreaName(), sizeof(ExchangeArea), false, exchangeRegion, error)) {
    Exchange = static_cast<ExchangeArea*>(exchangeRegion.base);
    platform::RemoveNamesOnFatalSignal(ExchangeSignalSlot, exchangeRegion.name);
  } else {
    // Without it the children could not share results: the group runs alone.
    ReportSystemError("shm_open", error);
    Exchange = PrivateExchangeArea();
  }
  ClearStateWords();
}

// The seven numbers a child reads after its program name: parent id,
// process count (the overriding instance's cap), hash MB, shared file
// number, process count, child number, exchange owner id.
std::vector<std::string> ChildArguments(int number, int n, int hashMb) {
  const int own = platform::ProcessId();
  const std::vector<std::string> entries = platform::CommandLineEntries();
  std::vector<std::string> argv{entries.empty() ? platform::OwnEntry() : entries[0]};
  if (Group.overriddenParentId != 0 && Group.tableOwnerId == Group.overriddenParentId &&
      entries.size() >= 3) {
    // The parent's own three numbers stand first, as it was given them.
    argv.push_back(entries[1]);
    argv.push_back(entries[2]);
  } else {
    argv.push_back(std::to_string(Group.tableOwnerId));
    argv.push_back(std::to_string(n));
  }
  for (int v : {hashMb, Group.sharedFileNumber, n, number, own}) argv.push_back(std::to_string(v));
  return argv;
}

int NiceOfLevel(int level) { return level == 0 ? 0 : level == 1 ? 10 : 19; }

void StartChild(int number, int n, int hashMb) {
  const int own = platform::ProcessId();
  Log("       starting child");
  Log("       -- hash size: %d", hashMb);
  Log("       -- shared file number: %d", Group.sharedFileNumber);
  Log("       -- number of processes: %d", n);
  Log("       -- parent id: %d", own);
  Log("       -- overridden parent id: %d", Group.overriddenParentId ? Group.overriddenParentId : own);
  Log("       -- child number: %d", number);
  const std::vector<std::string> argv = ChildArguments(number, n, hashMb);
  std::string line;
  for (const std::string& a : argv) {
    if (!line.empty()) line += ' ';
    line += a;
  }
  Log("       -- full command line: %s", line.c_str());
  platform::HelperProcess helper;
  int error = 0;
  if (!platform::StartHelper(argv, HashTableDescriptor(), helper, error)) {
    Log("*** - child %d could not be started: %s (%d); the group goes on without it", number,
        platform::SystemErrorText(error).c_str(), error);
    return;
  }
  children[number] = Child{helper.pid, helper.inputFd, true};
  if (const int e = platform::SetNiceOf(helper.pid, NiceOfLevel(Group.childPriority)))
    Log("*** - setpriority of child %d failed: %s (%d)", number, platform::SystemErrorText(e).c_str(), e);
}

// Parent: tear down, create the objects, start the children.
bool StartAsParent(int hashMb) {
  if (Group.sharedFileNumber != 0) TearDown();
  Group.hashMb = hashMb;
  Group.tableOwnerId = Group.overriddenParentId ? Group.overriddenParentId : platform::ProcessId();
  Log("       -- shared synchronization file: %s", SyncAreaName().c_str());
  Log("       -- shared exchange file: %s", ExchangeAreaName().c_str());
  const int n = std::max(1, std::min(Group.maxCpus, Group.processorCount));
  bool sized = true;
  if (Group.overriddenParentId == 0) {
    sized = AllocateHashTable(hashMb);
  } else if (OpenHashTable(Group.overriddenParentId)) {
    Log("       -- shared synchronization file region size: %d", int(HashTableRegionSize()));
  } else {
    // The other instance is not (or no longer) there: a table of our own.
    Log("*** - the table of engine %d cannot be opened; this engine uses its own", Group.overriddenParentId);
    Group.tableOwnerId = platform::ProcessId();
    sized = AllocateHashTable(hashMb);
  }
  Group.hashMb = int(Hash.entryCount / 131072);
  CreateExchangeArea();
  Group.processCount = n;
  children.assign(size_t(n), Child{});
  for (int i = n - 1; i >= 1; --i) StartChild(i, n, Group.hashMb);
  WaitForChildren(ChildReady, "did not report ready in time and was ended");
  ClearStateWords();
  if (forwardSettings && LiveProcessCount() > 1) forwardSettings();
  return sized;
}

// Child: map what the parent made.
bool StartAsChild() {
  Log("       -- shared synchronization file: %s", SyncAreaName().c_str());
  Log("       -- shared exchange file: %s", ExchangeAreaName().c_str());
  if (!OpenHashTable(Group.parentId)) return false;
  Log("       -- shared synchronization file region size: %d", int(HashTableRegionSize()));
  int error = 0;
  if (!platform::OpenSharedRegion(ExchangeAreaName(), Group.exchangeOwnerId, exchangeRegion, error))
    return false;
  Exchange = static_cast<ExchangeArea*>(exchangeRegion.base);
  NewSearchGeneration(0);
  return true;
}
}  // namespace

std::string SyncAreaName() {
  // Before a start the name follows the command line; afterwards the table in use.
  const int owner = Group.isChild              ? Group.parentId
                    : Group.tableOwnerId       ? Group.tableOwnerId
                    : Group.overriddenParentId ? Group.overriddenParentId
                                               : platform::ProcessId();
  return AreaName("TolvoSync", 1, owner);
}

std::string ExchangeAreaName() {
  return AreaName("TolvoEx", Group.sharedFileNumber,
                  Group.isChild ? Group.exchangeOwnerId : platform::ProcessId());
}

void SetChildSettingsForwarder(void (*forwarder)()) { forwardSettings = forwarder; }

bool StartProcessGroup(int hashMb) {
  bool ok;
  if (Group.isChild) {
    ok = StartAsChild();
    if (!ok) return false;
  } else {
    ok = StartAsParent(hashMb);
  }
  ++Group.sharedFileNumber;
  if (Group.startCount == 0) {
    Group.startCount = 1;
  } else {
    InfoString("Children restarted.");
    ++Group.startCount;
  }
  return ok;
}

void SendToChildren(const std::string& line) {
  if (Group.isChild || children.size() < 2) return;
  std::string text = line;
  if (!text.empty() && text.back() == '\n') text.pop_back();
  text += '\n';
  for (size_t i = 1; i < children.size(); ++i) {
    if (!children[i].alive) continue;
    int error = 0;
    if (!platform::WriteAll(children[i].input, text, error))
      DropChild(int(i), ("has gone (" + platform::SystemErrorText(error) + ")").c_str());
  }
}

int LiveProcessCount() {
  if (Group.isChild) return Group.processCount;
  int live = 1;
  for (size_t i = 1; i < children.size(); ++i) {
    if (children[i].alive && !platform::ProcessExists(children[i].pid)) DropChild(int(i), "has gone");
    live += children[i].alive;
  }
  return live;
}

bool ChildTakesPart(int number) {
  if (Group.isChild || number == 0) return true;
  return number < int(children.size()) && children[size_t(number)].alive;
}

void ApplyChildPriority() {
  for (size_t i = 1; i < children.size(); ++i) {
    if (!children[i].alive) continue;
    if (const int e = platform::SetNiceOf(children[i].pid, NiceOfLevel(Group.childPriority)))
      Log("*** - setpriority of child %d failed: %s (%d)", int(i), platform::SystemErrorText(e).c_str(), e);
  }
}

void LeaveProcessGroup() {
  if (Group.isChild) {
    StateWord(Group.processNumber).store(ChildGone, std::memory_order_relaxed);
    // A parent that was killed cannot remove its names, and no later start
    // may come to do it: its children do, so that the memory goes with the
    // last of them. The table goes too unless it belongs to another engine.
    if (platform::ParentProcessId() != Group.exchangeOwnerId) {
      if (!exchangeRegion.name.empty()) platform::RemoveSharedName(exchangeRegion.name);
      if (Group.parentId == Group.exchangeOwnerId) platform::RemoveSharedName(SyncAreaName());
    }
  } else {
    SendToChildren("quit");
    for (Child& c : children) platform::CloseDescriptor(c.input);
    children.clear();
  }
  ReleaseHashTable();
  CloseExchangeArea();
}

void RemoveSharedObjectsOf(int pid) {
  if (pid <= 0 || platform::IsProgramProcess(pid)) return;
  const std::string id = std::to_string(pid);
  for (const std::string& name : platform::SharedObjectNames("Tolvo")) {
    // The table "TolvoSync1<id>" and the exchange areas "TolvoEx<generation><id>".
    bool ours = name == AreaName("TolvoSync", 1, pid);
    if (!ours && name.rfind("TolvoEx", 0) == 0 && name.size() > 7 + id.size() &&
        name.compare(name.size() - id.size(), id.size(), id) == 0) {
      const std::string generation = name.substr(7, name.size() - 7 - id.size());
      ours = generation.size() <= 4 &&
             std::all_of(generation.begin(), generation.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    }
    if (ours && !platform::AnyOtherProcessMaps(name)) platform::RemoveSharedName(name);
  }
}

void RemoveStaleSharedObjects() {
  for (const std::string& name : platform::SharedObjectNames("Tolvo")) {
    const bool sync = name.rfind("TolvoSync1", 0) == 0;
    if (!sync && name.rfind("TolvoEx", 0) != 0) continue;
    const std::string digits =
        name.substr(sync ? 10 : 7);  // the creator's id; the exchange area's after its generation
    bool allDigits = !digits.empty() && digits.size() <= 16;
    for (char c : digits) allDigits = allDigits && std::isdigit(static_cast<unsigned char>(c));
    if (!allDigits) continue;
    // The generation and the id are written without a separator: the object
    // is kept while any reading of them names a process that maps it.
    bool ownerMaps = false, ownerExists = false;
    const size_t lastSplit = sync ? 1 : digits.size();
    for (size_t split = sync ? 0 : 1; split < lastSplit && !ownerMaps; ++split) {
      if (digits[split] == '0' || digits.size() - split > 9) continue;
      const int pid = int(std::strtol(digits.c_str() + split, nullptr, 10));
      ownerMaps = platform::ProcessMaps(pid, name);
      ownerExists = ownerExists || platform::IsProgramProcess(pid);
    }
    if (ownerMaps) continue;
    // One made moments ago may not be mapped yet by its living maker.
    if (ownerExists && platform::SharedObjectAgeSeconds(name) < StaleAgeSeconds) continue;
    // Children of a killed engine, or a second engine on its table, still use it.
    if (platform::AnyOtherProcessMaps(name)) continue;
    platform::RemoveSharedName(name);
  }
}
