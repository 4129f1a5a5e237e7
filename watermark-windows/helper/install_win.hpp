#pragma once
// Windows side of the install read checks that need platform types.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "install.hpp"

namespace install {

// Owns a file handle; invalid when the open failed.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// The full path of the running executable.
shared::Result<std::string> module_path();

// All bytes of a file, or the I/O error of the open or a read.
shared::Result<std::vector<std::uint8_t>> read_whole_file(const std::string& path);

// One REG_SZ value of at most 2048 bytes, or nothing on any failure. Without a value name the
// key's default value is read.
std::optional<std::string> read_string(HKEY root, std::string_view subkey,
                                       std::optional<std::string_view> value_name = std::nullopt);

// state_ready for another path, so tests need not touch the real install folder.
bool state_ready_at(const std::string& path);

}  // namespace install
