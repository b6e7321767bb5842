#include "tablebase/emd_file.h"
#include <algorithm>
#include <new>
#include "tablebase/emd_decoder.h"

namespace emd {

namespace {
const std::shared_ptr<const EmdHeader>& NoHeader() {
  static const std::shared_ptr<const EmdHeader> none = std::make_shared<const EmdHeader>();
  return none;
}
}  // namespace

EmdError EmdFile::PrepareWork() {
  try {
    work_.resize(header_->blockSize);
  } catch (const std::bad_alloc&) {
    return EmdError::OutOfMemory;
  }
  return EmdError::None;
}

EmdError EmdFile::Open(const std::string& path) {
  Close();
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) return EmdError::ReadError;
  EmdError error = EmdError::None;
  try {
    auto header = std::make_shared<EmdHeader>();
    error = ReadHeader(file_, *header);
    header_ = std::move(header);
  } catch (const std::bad_alloc&) {
    error = EmdError::OutOfMemory;
  }
  if (error == EmdError::None) error = PrepareWork();
  if (error != EmdError::None) Close();
  return error;
}

EmdError EmdFile::OpenWithHeader(const std::string& path, std::shared_ptr<const EmdHeader> header,
                                 const platform::FileVersion& version) {
  Close();
  if (!header) return EmdError::ReadError;
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) return EmdError::ReadError;
  platform::FileVersion now;
  if (!platform::VersionOfOpenFile(file_, now) || !(now == version)) {
    Close();
    return EmdError::FileBroken;
  }
  header_ = std::move(header);
  const EmdError error = PrepareWork();
  if (error != EmdError::None) Close();
  return error;
}

EmdError EmdFile::OpenMemory(const uint8_t* data, uint64_t size) {
  Close();
  auto header = std::make_shared<EmdHeader>();
  const EmdError error = ParseHeader(data, size, *header);
  if (error != EmdError::None) {
    Close();
    return error;
  }
  header_ = std::move(header);
  memory_ = data;
  memorySize_ = size;
  return EmdError::None;
}

void EmdFile::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  memory_ = nullptr;
  memorySize_ = 0;
  header_ = NoHeader();
}

EmdError EmdFile::ReadBlock(uint32_t block, uint8_t* out) {
  const EmdHeader& header = *header_;
  if (block >= header.blockCount) return EmdError::FileBroken;
  if (file_) return emd::ReadBlock(file_, header, block, work_.data(), out);
  if (!memory_) return EmdError::ReadError;
  // The header check made sure that every block lies inside the bytes.
  const uint8_t* stored = memory_ + header.BlockOffset(block);
  const uint32_t length = header.BlockLength(block);
  if (header.StoredRaw(block)) {
    std::copy(stored, stored + length, out);
    return EmdError::None;
  }
  return DecodeBlock(header, stored, header.StoredLength(block), out, length) ? EmdError::None
                                                                              : EmdError::FileBroken;
}

}  // namespace emd
