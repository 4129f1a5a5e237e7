#pragma once
// Windows side of the install read checks that need platform types.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "install.hpp"

namespace install {

// One REG_SZ value of at most 2048 bytes, or nothing on any failure. Without a value name the
// key's default value is read.
std::optional<std::string> read_string(HKEY root, std::string_view subkey,
                                       std::optional<std::string_view> value_name = std::nullopt);

// state_ready for another path, so tests need not touch the real install folder.
bool state_ready_at(const std::string& path);

}  // namespace install
