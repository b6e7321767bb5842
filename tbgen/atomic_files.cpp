#include "tbgen/atomic_files.h"
#include <cstring>
#include "platform/files.h"
#include "platform/mapped_file.h"
#include "platform/platform.h"
#include "platform/termination.h"

namespace tbgen {

namespace {

std::string SystemError(const std::string& what, const std::string& path, int code) {
  return what + " " + path + ": " + platform::SystemErrorText(code);
}

// The file as written, read back from the disk.
bool SameOnDisk(const std::string& path, const uint8_t* data, uint64_t size) {
  int error = 0;
  const auto file = platform::MappedFile::Open(path, error);
  return file && file->size() == size && (size == 0 || std::memcmp(file->data(), data, size) == 0);
}

}  // namespace

void InstallCleanupHandlers() { platform::RemoveTemporaryFilesOnTermination(); }

std::string TemporaryName(const std::string& name) {
  return "." + name + ".part" + std::to_string(platform::ProcessId());
}

bool CommitFiles(const std::string& dir, const std::vector<FileContent>& files, std::string* error) {
  std::vector<std::string> temporary;
  std::vector<int> slots;
  auto fail = [&](const std::string& message) {
    for (size_t i = 0; i < temporary.size(); ++i) {
      platform::RemoveFile(temporary[i]);
      platform::UnlistTemporaryFile(slots[i]);
    }
    if (error) *error = message;
    return false;
  };
  for (const FileContent& f : files) {
    const std::string path = dir + "/" + TemporaryName(f.name);
    const int slot = platform::ListTemporaryFile(path);
    bool created = false;
    const int code = platform::WriteFileSynced(path, f.data, f.size, created);
    if (!created) {
      platform::UnlistTemporaryFile(slot);
      return fail(SystemError("cannot create", path, code));
    }
    temporary.push_back(path);
    slots.push_back(slot);
    if (code != 0) return fail(SystemError("cannot write", path, code));
    if (!SameOnDisk(path, f.data, f.size)) return fail("read back differs from what was written: " + path);
  }
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string final = dir + "/" + files[i].name;
    if (const int code = platform::RenameFile(temporary[i], final); code != 0) {
      const std::string message = SystemError("cannot rename to", final, code);
      for (size_t j = 0; j < i; ++j) platform::RemoveFile(dir + "/" + files[j].name);
      return fail(message);
    }
    platform::UnlistTemporaryFile(slots[i]);
  }
  temporary.clear();
  slots.clear();
  platform::SyncDirectory(dir);
  return true;
}

}  // namespace tbgen
