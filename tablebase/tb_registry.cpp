#include "tablebase/tb_registry.h"

#include <cinttypes>
#include <cstring>
#include <vector>
#include "common/output.h"
#include "platform/platform.h"
#include "tablebase/emd_header.h"
#include "tablebase/nalimov_catalogue.h"
#include "tablebase/tb_cache.h"

namespace tb {

namespace {
TableSide sides[nalimov::TableCount + 1][2];
int highestTable = 0;

// Messages about broken files go straight to the front end, and to the log.
void Report(const std::string& text) {
  Log("%s", text.c_str());
  const std::string line = text + "\n";
  platform::WriteStdout(line.data(), line.size());
}

int ExtentsOf(const nalimov::TableInfo& t, int side) {
  if (!t.split) return 1;
  const uint64_t bytes = t.entries[side] * uint64_t(t.bits / 8);
  return int(bytes / ExtentBytes) + 1;
}

// Entries an extent must hold: a whole extent but for the last one.
uint64_t ExpectedEntries(const nalimov::TableInfo& t, int side, int extent, uint64_t& fullExtentEntries) {
  fullExtentEntries = ExtentBytes / uint64_t(t.bits / 8);
  if (!t.split) return t.entries[side];
  const int last = ExtentsOf(t, side) - 1;
  return extent < last ? fullExtentEntries : t.entries[side] % fullExtentEntries;
}

uint64_t FileBytes(std::FILE* f) {
  if (std::fseek(f, 0, SEEK_END) != 0) return 0;
  const long long end = std::ftell(f);
  std::rewind(f);
  return end < 0 ? 0 : uint64_t(end);
}

// Opens one extent file of a side under the first name form that exists,
// checks it and records its path. False when no form exists or the file is
// broken (reported).
bool RegisterExtent(const std::string& directory, int table, int side, int extent) {
  const nalimov::TableInfo& t = *nalimov::TableByNumber(table);
  Extent& slot = sides[table][side].extents[extent];
  if (!slot.path.empty()) return true;
  const std::vector<std::string> names = ExtentFileNames(directory, table, side, extent);
  std::FILE* f = nullptr;
  size_t form = 0;
  for (; form < names.size() && !f; ++form) f = std::fopen(names[form].c_str(), "rb");
  if (!f) return false;
  const std::string& name = names[form - 1];
  const bool compressed = form > 1;
  uint64_t fullEntries = 0;
  const uint64_t expected = ExpectedEntries(t, side, extent, fullEntries);
  uint64_t entries = 0;
  std::shared_ptr<emd::EmdHeader> header;
  platform::FileVersion version;
  if (!compressed) {
    entries = FileBytes(f) / uint64_t(t.bits / 8);
  } else {
    header = std::make_shared<emd::EmdHeader>();
    emd::EmdError error = emd::ReadHeader(f, *header);
    if (error == emd::EmdError::None && !platform::VersionOfOpenFile(f, version))
      error = emd::EmdError::ReadError;
    if (error != emd::EmdError::None) {
      std::fclose(f);
      Report("*** Unable to read " + name + " - " + emd::ErrorText(error));
      return false;
    }
    if (header->blockSize != 8192) {
      std::fclose(f);
      Report(FormatText("*** %s: Unsupported block size %u", name.c_str(), header->blockSize));
      return false;
    }
    entries = header->UncompressedSize() / uint64_t(t.bits / 8);
  }
  std::fclose(f);
  if (expected != 0 && entries != expected && entries != fullEntries) {
    Report(FormatText("*** %s corrupted %" PRIu64 " %" PRIu64 " %" PRIu64, name.c_str(), fullEntries,
                      expected, entries));
    return false;
  }
  slot.Close();
  slot.path = name;
  slot.compressed = compressed;
  slot.header = std::move(header);
  slot.version = version;
  return true;
}

void RegisterSide(const std::string& directory, int table, int side) {
  const nalimov::TableInfo& t = *nalimov::TableByNumber(table);
  const int extents = ExtentsOf(t, side);
  for (int e = 0; e < extents; ++e)
    if (!RegisterExtent(directory, table, side, e)) break;
  if (sides[table][side].Registered() && table > highestTable) highestTable = table;
}
}  // namespace

void Extent::Close() {
  if (file) std::fclose(file);
  file = nullptr;
  emd.reset();
}

TableSide& SideOf(int table, int side) { return sides[table][side]; }

std::vector<std::string> ExtentFileNames(const std::string& directory, int table, int side, int extent) {
  const nalimov::TableInfo& t = *nalimov::TableByNumber(table);
  std::string base = directory;
  if (!base.empty() && base.back() != '/') base += '/';
  base += t.name;
  if (t.split) base += '.', base += char(extent < 10 ? '0' + extent : 'a' + extent - 10);
  const char* sideText = side == 0 ? "nbw" : "nbb";
  std::vector<std::string> names = {base + "." + sideText, base + "." + sideText + ".emd"};
  if (!t.split) {
    names.push_back(base + "_" + sideText + ".emd");
    names.push_back(base + "_" + sideText + "_emd");
    // The short form of old file systems (eight letters and an extension).
    if (table <= 145) names.push_back(base + sideText + ".emd");
  }
  return names;
}

int RegisterTablebases(const std::string& pathList) {
  CloseTablebaseFiles();
  for (auto& table : sides)
    for (TableSide& s : table) {
      for (Extent& e : s.extents) e = Extent{};
      for (int& head : s.bucketHeads) head = -1;
    }
  highestTable = 0;
  ResetTablebaseCache();
  std::vector<std::string> directories;
  size_t start = 0;
  for (;;) {
    const size_t end = pathList.find_first_of(";,", start);
    std::string directory =
        pathList.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (directory.size() > 1023) directory.resize(1023);
    directories.push_back(directory);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  // An empty option registers nothing (not even the current directory).
  if (pathList.empty()) directories.clear();
  int registered = 0;
  for (const std::string& directory : directories)
    for (const nalimov::TableInfo& t : nalimov::Tables()) {
      RegisterSide(directory, t.number, 0);
      if (!t.symmetric) RegisterSide(directory, t.number, 1);
    }
  for (const nalimov::TableInfo& t : nalimov::Tables())
    registered += SideOf(t.number, 0).Registered() + (!t.symmetric && SideOf(t.number, 1).Registered());
  return registered;
}

int TbMaxMen() {
  if (!TablebaseCacheEntries()) return 0;
  const int h = highestTable;
  return h < 1 ? 0 : h < 6 ? 3 : h < 36 ? 4 : h < 146 ? 5 : 6;
}

void CloseTablebaseFiles() {
  for (auto& table : sides)
    for (TableSide& s : table)
      for (Extent& e : s.extents) e.Close();
}

}  // namespace tb
