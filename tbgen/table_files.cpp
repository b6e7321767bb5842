#include "tbgen/table_files.h"
#include <algorithm>
#include "platform/files.h"
#include "platform/platform.h"

namespace tbgen {

std::unique_ptr<platform::MappedFile> MapFile(const std::string& path, std::string* error) {
  int code = 0;
  auto file = platform::MappedFile::Open(path, code);
  if (!file && error) *error = path + ": " + platform::SystemErrorText(code);
  return file;
}

uint64_t EntriesPerExtent(const nalimov::TableInfo& t) {
  return t.split ? (uint64_t(1) << 31) / (t.bits / 8) : ~uint64_t(0);
}

std::vector<std::string> TableFileNames(const nalimov::TableInfo& t, Color fileSide) {
  const std::string ext = fileSide == White ? ".nbw" : ".nbb";
  if (!t.split) return {std::string(t.name) + ext};
  std::vector<std::string> names;
  const uint64_t extents = t.entries[fileSide] / EntriesPerExtent(t) + 1;
  for (uint64_t e = 0; e < extents; ++e)
    names.push_back(std::string(t.name) + "." + char(e < 10 ? '0' + e : 'a' + (e - 10)) + ext);
  return names;
}

bool TablePresent(const std::string& dir, const nalimov::TableInfo& t) {
  for (Color side : {White, Black}) {
    if (side == Black && t.symmetric) break;
    for (const std::string& name : TableFileNames(t, side)) {
      uint64_t size = 0;
      int code = 0;
      if (!platform::FileSize(dir + "/" + name, size, code)) return false;
    }
  }
  return true;
}

bool TableFiles::Open(const nalimov::TableInfo& t, std::string* error) {
  if (IsOpen(t)) return true;
  const uint64_t bytesPerEntry = uint64_t(t.bits / 8);
  for (Color side : {White, Black}) {
    if (side == Black && t.symmetric) break;
    const std::vector<std::string> names = TableFileNames(t, side);
    uint64_t remaining = t.entries[side] * bytesPerEntry;
    for (const std::string& name : names) {
      auto file = MapFile(dir_ + "/" + name, error);
      if (!file) return false;
      const uint64_t expected = std::min(remaining, EntriesPerExtent(t) * bytesPerEntry);
      if (file->size() != expected) {
        if (error)
          *error = dir_ + "/" + name + ": " + std::to_string(file->size()) + " bytes, expected " +
                   std::to_string(expected);
        sides_[t.number][White].clear();
        sides_[t.number][Black].clear();
        return false;
      }
      remaining -= expected;
      sides_[t.number][side].push_back(std::move(file));
    }
  }
  return true;
}

nalimov::TableValue TableFiles::Read(const nalimov::TableInfo& t, Color fileSide, uint64_t index) const {
  const auto& extents = sides_[t.number][t.symmetric ? White : fileSide];
  if (extents.empty() || index >= t.entries[fileSide]) return nalimov::TableValue::Unknown();
  if (nalimov::IsDeepEntry(t.number, fileSide, index)) return nalimov::DeepEntryValue;
  const uint64_t perExtent = EntriesPerExtent(t);
  const platform::MappedFile& file = *extents[t.split ? index / perExtent : 0];
  const uint64_t local = t.split ? index % perExtent : index;
  if (t.bits == 8) return nalimov::FromByte(int8_t(file.data()[local]));
  const uint8_t* p = file.data() + 2 * local;
  return nalimov::FromWord(int16_t(uint16_t(p[0] | (p[1] << 8))));
}

void TableFiles::DropPages() const {
  for (const auto& table : sides_)
    for (const auto& side : table)
      for (const auto& file : side) file->DropPages();
}

void TableFiles::CloseAll() {
  for (auto& table : sides_)
    for (auto& side : table) side.clear();
}

}  // namespace tbgen
