// Questions about files that the C library cannot answer.
#pragma once
#include <cstdint>
#include <string>

namespace platform {

// Size in bytes of the file at `path` (64-bit). False, with the system's
// error number in errorCode, when it cannot be queried.
bool FileSize(const std::string& path, uint64_t& size, int& errorCode);

}  // namespace platform
