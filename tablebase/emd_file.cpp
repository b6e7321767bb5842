#include "tablebase/emd_file.h"
#include <algorithm>
#include <new>
#include "tablebase/emd_decoder.h"

namespace emd {

EmdError EmdFile::Open(const std::string& path) {
  Close();
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) return EmdError::ReadError;
  EmdError error = ReadHeader(file_, header_);
  if (error == EmdError::None) {
    try {
      work_.resize(header_.blockSize);
    } catch (const std::bad_alloc&) {
      error = EmdError::OutOfMemory;
    }
  }
  if (error != EmdError::None) Close();
  return error;
}

EmdError EmdFile::OpenMemory(const uint8_t* data, uint64_t size) {
  Close();
  const EmdError error = ParseHeader(data, size, header_);
  if (error != EmdError::None) {
    Close();
    return error;
  }
  memory_ = data;
  memorySize_ = size;
  return EmdError::None;
}

void EmdFile::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  memory_ = nullptr;
  memorySize_ = 0;
  header_ = EmdHeader();
}

EmdError EmdFile::ReadBlock(uint32_t block, uint8_t* out) {
  if (block >= header_.blockCount) return EmdError::FileBroken;
  if (file_) return emd::ReadBlock(file_, header_, block, work_.data(), out);
  if (!memory_) return EmdError::ReadError;
  // The header check made sure that every block lies inside the bytes.
  const uint8_t* stored = memory_ + header_.BlockOffset(block);
  const uint32_t length = header_.BlockLength(block);
  if (header_.StoredRaw(block)) {
    std::copy(stored, stored + length, out);
    return EmdError::None;
  }
  return DecodeBlock(header_, stored, header_.StoredLength(block), out, length) ? EmdError::None : EmdError::FileBroken;
}

}  // namespace emd
