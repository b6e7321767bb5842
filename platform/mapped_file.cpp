#include "platform/mapped_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::unique_ptr<MappedFile> MappedFile::Open(const std::string& path, int& errorCode) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    errorCode = errno;
    return nullptr;
  }
  struct stat info;
  if (fstat(fd, &info) != 0) {
    errorCode = errno;
    close(fd);
    return nullptr;
  }
  const uint64_t size = uint64_t(info.st_size);
  void* data = size ? mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0) : nullptr;
  errorCode = data == MAP_FAILED ? errno : 0;
  close(fd);
  if (data == MAP_FAILED) return nullptr;
  return std::unique_ptr<MappedFile>(new MappedFile(static_cast<const uint8_t*>(data), size));
}

MappedFile::~MappedFile() {
  if (data_) munmap(const_cast<uint8_t*>(data_), size_);
}

void MappedFile::DropPages() const {
  if (data_) madvise(const_cast<uint8_t*>(data_), size_, MADV_DONTNEED);
}

}  // namespace platform
