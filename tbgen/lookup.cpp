#include "tbgen/lookup.h"
#include <map>
#include <memory>
#include "board/position.h"
#include "common/bitops.h"
#include "tablebase/nalimov_locate.h"
#include "tbgen/table_files.h"

namespace tbgen {

namespace {

struct Located {
  std::optional<nalimov::TableEntry> entry;
  std::string error;
};

Located Locate(const std::string& fen) {
  Position p;
  if (fen.empty() || !SetPositionFromFen(p, fen.c_str())) return {std::nullopt, "error: not a FEN: " + fen};
  if (PopCount(p.Pieces(WhiteKing)) != 1 || PopCount(p.Pieces(BlackKing)) != 1)
    return {std::nullopt, "error: a position needs one king of each colour"};
  if (PopCount(p.occupied) > 6) return {std::nullopt, "error: no table has more than six men"};
  if (PopCount(p.occupied) == 2) return {std::nullopt, "draw"};
  auto entry = nalimov::LocateEntry(p);
  if (!entry) return {std::nullopt, "error: no table for this material (more than three men of one kind)"};
  if (entry->index == nalimov::InvalidIndex)
    return {std::nullopt, "error: the position cannot occur (no entry holds it)"};
  return {entry, ""};
}

}  // namespace

std::string IndexLine(const std::string& fen) {
  const Located l = Locate(fen);
  if (!l.entry) return l.error == "draw" ? "error: two bare kings have no table" : l.error;
  const nalimov::TableEntry& e = *l.entry;
  const auto names = TableFileNames(*e.table, e.fileSide);
  const uint64_t perExtent = EntriesPerExtent(*e.table);
  if (!e.table->split) return names[0] + " " + std::to_string(e.index);
  return names[e.index / perExtent] + " " + std::to_string(e.index % perExtent);
}

std::string ProbeLine(const std::string& dir, const std::string& fen) {
  const Located l = Locate(fen);
  if (!l.entry) return l.error;
  // One set of mapped files per directory for the whole run.
  static std::map<std::string, std::unique_ptr<TableFiles>> opened;
  auto& files = opened[dir];
  if (!files) files = std::make_unique<TableFiles>(dir);
  if (!files->Open(*l.entry->table, nullptr)) return "unknown";
  return files->Read(*l.entry).Text();
}

}  // namespace tbgen
