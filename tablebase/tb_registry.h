// The tablebase files the engine has found: for every table and side to
// move, the file (or the extents of a split table) in the tablebase
// directories, checked when found, opened on demand and kept open.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include "tablebase/emd_file.h"

namespace tb {

// A split table keeps 2^31 bytes in each extent file.
constexpr int MaxExtents = 18;
constexpr uint64_t ExtentBytes = uint64_t(1) << 31;

struct Extent {
  std::string path;                  // empty: not registered (or dropped after a read error)
  bool compressed = false;
  // A compressed extent's header, read and checked when it was registered,
  // and the version of the file it came from.
  std::shared_ptr<const emd::EmdHeader> header;
  platform::FileVersion version;
  std::FILE* file = nullptr;         // an uncompressed extent, open once read
  std::unique_ptr<emd::EmdFile> emd; // a compressed extent, open once read
  void Close();
};

struct TableSide {
  Extent extents[MaxExtents];
  int bucketHeads[32];               // block cache lists of this side (-1: empty)
  bool Registered() const { return !extents[0].path.empty(); }
};

// By table number 1..440 and side to move (symmetric tables use side 0 only).
TableSide& SideOf(int table, int side);

// Forgets every registration and finds the tables in the directories of
// `pathList` (separated by ';' or ','; an empty name is the current
// directory). A broken or wrongly sized file is reported with a "***" line
// and left unregistered; the engine goes on. Returns the number of table
// sides registered.
int RegisterTablebases(const std::string& pathList);
// The most men that the registered tables cover: 0, 3, 4, 5 or 6.
int TbMaxMen();
// Closes every open tablebase file (the registrations stay).
void CloseTablebaseFiles();
// File names tried for one extent of a side, in order: plain, ".emd", and
// for tables that are not split the underscore forms; the last form is only
// for tables of up to five men.
std::vector<std::string> ExtentFileNames(const std::string& directory, int table, int side, int extent);

}  // namespace tb
