// The hash table as a file ("Save Hash", "Load Hash"): a raw image of the
// entries in index order, no header. A file's size in MB is the table's size.
#pragma once
#include <string>
#include "group/hash_memory.h"

// A path that names no file: empty, the front end's "<empty>", or a filter
// pattern such as "*.thf".
bool HashFileNotSet(const std::string& path);

// Writes the whole table to `path` and prints the outcome ("Save hash invoked
// and succeeded - %d mb saved to %s." or why it failed). The table is left
// as it is. True when every byte reached the file.
bool SaveHashFile(const std::string& path);
// Re-creates the table at the file's size (a restart of the process group)
// and reads the file into it; prints the outcome. A file whose size is not a
// whole power-of-two number of MB is refused and the table left untouched; a
// read that fails leaves the re-created table cleared. True on success.
bool LoadHashFile(const std::string& path);
