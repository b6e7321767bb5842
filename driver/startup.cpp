#include "driver/startup.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include "common/output.h"
#include "driver/engine.h"
#include "driver/logs.h"
#include "driver/options.h"
#include "eval/tables.h"
#include "group/exchange_area.h"
#include "group/process_group.h"
#include "platform/host.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "search/hash_table.h"
#include "search/node.h"
#include "search/search.h"
#include "tablebase/tb_cache.h"
#include "tablebase/tb_registry.h"

namespace {
// Where a stand-alone engine looks for tablebases until NalimovPath says otherwise.
constexpr const char* DefaultTablebasePath = "/usr/local/share/tolvo/tb;/usr/share/tolvo/tb";
}  // namespace

CommandLineFields ReadCommandLineFields(const std::vector<std::string>& fields) {
  CommandLineFields f;
  auto field = [&](size_t number) { return LeadingNumber(fields[number - 1], 0); };
  const size_t count = fields.size();
  if (count > 4) {
    f.isChild = true;
    f.parentId = field(1);
    f.requestedHashMb = field(3);
    f.sharedFileNumber = field(4);
    f.processCount = field(5);
    if (count >= 6) f.childNumber = field(6);
    if (count >= 7) f.exchangeOwnerId = field(7);
    return f;
  }
  if (count >= 2) {
    f.overriddenParentId = field(1);
    f.processorCapGiven = true;
    f.processorCap = field(2);
  }
  if (count >= 3) f.requestedHashMb = field(3);
  return f;
}

int HashSizeOfRequest(int requestMb) {
  if (requestMb < 2) return 1;
  int size = 1;
  while (size <= requestMb / 2) size *= 2;
  return size;
}

int ProcessorCountWithCap(int systemCount, const CommandLineFields& fields) {
  int count = systemCount;
  if (fields.processorCapGiven && fields.processorCap < count) count = fields.processorCap;
  // A cap of 0 (or text where a number belongs) still leaves this process.
  return count < 1 ? 1 : count;
}

ConfigSettings ReadConfigWord(const std::string& word) {
  ConfigSettings s;
  if (word.rfind("randomize", 0) != 0 && word.rfind("RANDOMIZE", 0) != 0) return s;
  s.randomizer = true;
  if (word.size() > 10 && word[10] >= '0' && word[10] <= '9') s.threshold = LeadingNumber(word, 10);
  return s;
}

void ApplyConfigFile(const std::string& path) {
  std::ifstream in(path);
  std::string word;
  if (!in || !(in >> word)) return;
  if (word.size() > 2047) word.resize(2047);
  const ConfigSettings s = ReadConfigWord(word);
  if (!s.randomizer) return;
  EnableRandomizer();
  if (s.threshold >= 0) Search.settings.randomizerThreshold = s.threshold;
}

namespace {
// A child maps the areas its parent created. Without them (a stand-alone start
// given five or more numbers, or a parent that has gone) it cannot work: it
// says so on standard output, which a child otherwise never uses, and ends.
[[noreturn]] void NoParentAreas() {
  char text[160];
  const int n =
      std::snprintf(text, sizeof text, "*** - cannot open the shared areas of parent process %d, exiting.\n",
                    Group.parentId);
  platform::WriteStdout(text, size_t(n));
  std::exit(1);
}
}  // namespace

void StartUp(int argc, char** argv, bool alone) {
  platform::SetOwnEntry(argv[0]);
  platform::IgnoreBrokenPipes();
  platform::SetStdoutFailureHandler([] { Quit(); });
  InitBoard();
  InitEvaluation();
  // The stored king-attack table must equal the one computed here and now.
  CheckKingAttackTable(
      [](int index, int32_t stored, int32_t computed) { Send("%d %d %d", index, stored, computed); });

  const int64_t now = platform::CalendarTimeSeconds();
  std::srand(unsigned(now));
  Search.randomOrderingState = uint32_t(now);

  ApplyConfigFile("tolvo.config");

  const CommandLineFields fields = ReadCommandLineFields(std::vector<std::string>(argv + 1, argv + argc));
  Group.maxCpus = alone ? 1 : 2048;
  Group.processorCount = ProcessorCountWithCap(platform::ProcessorCount(), fields);
  Group.isChild = Output.isChild = fields.isChild;
  if (fields.isChild) {
    Group.parentId = fields.parentId;
    Group.sharedFileNumber = fields.sharedFileNumber;
    Group.processCount = fields.processCount;
    Group.processNumber = fields.childNumber;
    Group.exchangeOwnerId = fields.exchangeOwnerId;
  } else {
    Group.overriddenParentId = fields.overriddenParentId;
  }
  Group.hashMb = HashSizeOfRequest(fields.requestedHashMb);

  Options.tablebaseCacheMb = 1;
  tb::SetTablebaseCache(Options.tablebaseCacheMb);
  if (Group.isChild) {
    // The child number picks this process's state word in the exchange area.
    if (Group.processNumber < 1 || Group.processNumber >= 2048 || !StartProcessGroup(Group.hashMb))
      NoParentAreas();
    // Children explore the tree in their own order, so that they do not all
    // search what the parent searches; child 3, which searches two lines for
    // the parent's time decisions, keeps the learned order.
    Search.settings.randomQuietOrdering = Group.processNumber != SecondLineProcess;
  } else {
    platform::ReapHelpersAutomatically();
    RemoveStaleSharedObjects();
    SetChildSettingsForwarder(ForwardSettingsToChildren);
    StartProcessGroup(Group.hashMb);   // Group.hashMb is smaller afterwards when the memory was not to be had
  }

  ResetToStartPosition();
  Options.hashFile.clear();
  NewSearchGeneration(0);
  Engine.searching = false;
  if (Group.isChild) std::atomic_ref<int32_t>(Exchange->childState[Group.processNumber]).store(ChildReady);

  Options.tablebasePath.clear();
  if (!Group.isChild) {
    // After the children have started: they learn the path when it is set again.
    Options.tablebaseCacheMb = 8;
    tb::SetTablebaseCache(Options.tablebaseCacheMb);
    Options.tablebasePath = DefaultTablebasePath;
    tb::RegisterTablebases(Options.tablebasePath);
  }
  NewGameReset();
  ApplyMainProcessPriority(Options.mainPriority);
}
