// A whole file mapped read-only into memory: the tablebase generator reads
// finished tables this way, and checks what it wrote against the disk.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class MappedFile {
 public:
  // Maps the file at `path`; nullptr with the system's error number when it
  // cannot be opened or mapped. An empty file maps to no bytes.
  static std::unique_ptr<MappedFile> Open(const std::string& path, int& errorCode);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  const uint8_t* data() const { return data_; }
  uint64_t size() const { return size_; }
  // Lets the system drop the pages read so far (they stay in the page cache
  // and are read again from there when needed).
  void DropPages() const;

 private:
  MappedFile(const uint8_t* data, uint64_t size) : data_(data), size_(size) {}
  const uint8_t* data_;
  uint64_t size_;
};

}  // namespace platform
