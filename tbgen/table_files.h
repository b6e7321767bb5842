// Finished uncompressed tables of a directory, mapped read-only: the value
// of any entry, as a reader sees it (broken as unknown, the deep kppkp
// entries from the list of the value encoding).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "platform/mapped_file.h"
#include "tablebase/nalimov_catalogue.h"
#include "tablebase/nalimov_locate.h"
#include "tablebase/nalimov_value.h"

namespace tbgen {

// The whole file mapped read-only; nullptr with a message naming the file
// when it cannot be opened.
std::unique_ptr<platform::MappedFile> MapFile(const std::string& path, std::string* error);

// File names of a table side: "kqkr.nbw", or "kqpkqp.0.nbw", "kqpkqp.1.nbw", ...
// for tables stored in extents.
std::vector<std::string> TableFileNames(const nalimov::TableInfo& t, Color fileSide);
// Entries of one side per extent file.
uint64_t EntriesPerExtent(const nalimov::TableInfo& t);
// Does the directory hold every file of the table (both sides)?
bool TablePresent(const std::string& dir, const nalimov::TableInfo& t);

class TableFiles {
 public:
  explicit TableFiles(std::string dir) : dir_(std::move(dir)) {}
  // Maps the files of a table; false with a message when one is missing or
  // has the wrong length.
  bool Open(const nalimov::TableInfo& t, std::string* error);
  bool IsOpen(const nalimov::TableInfo& t) const { return !sides_[t.number][White].empty(); }
  // Value of an entry of an open table (unknown for an entry past its end).
  nalimov::TableValue Read(const nalimov::TableInfo& t, Color fileSide, uint64_t index) const;
  nalimov::TableValue Read(const nalimov::TableEntry& e) const { return Read(*e.table, e.fileSide, e.index); }
  void DropPages() const;
  void CloseAll();
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
  std::vector<std::unique_ptr<platform::MappedFile>> sides_[nalimov::TableCount + 1][2];
};

}  // namespace tbgen
