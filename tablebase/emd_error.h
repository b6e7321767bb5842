// Why a compressed tablebase file could not be used. The numbers are the
// error codes that the registration reports (read error, out of memory,
// file broken).
#pragma once
#include <cstdint>

namespace emd {

enum class EmdError : uint8_t { None = 0, ReadError = 2, OutOfMemory = 5, FileBroken = 6 };

constexpr const char* ErrorText(EmdError error) {
  switch (error) {
    case EmdError::None: return "no error";
    case EmdError::ReadError: return "read error";
    case EmdError::OutOfMemory: return "out of memory";
    case EmdError::FileBroken: return "file broken";
  }
  return "file broken";
}

}  // namespace emd
