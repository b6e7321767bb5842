// A compressed tablebase file opened for reading: its checked header and
// block-by-block access, from a file on disk or from bytes in memory (which
// must outlive the object).
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>
#include "platform/files.h"
#include "tablebase/emd_error.h"
#include "tablebase/emd_header.h"

namespace emd {

class EmdFile {
 public:
  EmdFile() = default;
  EmdFile(const EmdFile&) = delete;
  EmdFile& operator=(const EmdFile&) = delete;
  ~EmdFile() { Close(); }

  EmdError Open(const std::string& path);
  // Opens a file whose header was read before (when it was registered):
  // the header is shared, not read again. A file that is no longer the
  // version the header came from is broken.
  EmdError OpenWithHeader(const std::string& path, std::shared_ptr<const EmdHeader> header,
                          const platform::FileVersion& version);
  EmdError OpenMemory(const uint8_t* data, uint64_t size);
  void Close();

  const EmdHeader& Header() const { return *header_; }
  uint32_t BlockCount() const { return header_->blockCount; }
  uint32_t BlockSize() const { return header_->blockSize; }
  uint64_t UncompressedSize() const { return header_->UncompressedSize(); }
  uint32_t BlockLength(uint32_t block) const { return header_->BlockLength(block); }

  // Decodes block `block` into out, which has room for BlockLength(block)
  // bytes (never more than BlockSize()).
  EmdError ReadBlock(uint32_t block, uint8_t* out);

 private:
  EmdError PrepareWork();
  std::shared_ptr<const EmdHeader> header_ = std::make_shared<const EmdHeader>();
  std::FILE* file_ = nullptr;
  const uint8_t* memory_ = nullptr;
  uint64_t memorySize_ = 0;
  std::vector<uint8_t> work_;
};

}  // namespace emd
