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
