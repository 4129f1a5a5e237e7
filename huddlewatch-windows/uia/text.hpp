#pragma once
// Texts the desktop hands over: UTF-16 from the platform, executable names and window titles.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "readers/model.hpp"

namespace uia {

// UTF-16 as UTF-8, each unpaired surrogate replaced by U+FFFD. The Windows side converts every
// name, title, path and argument it reads with this.
std::string from_utf16(std::u16string_view text);

// The code point at `pos` (an unpaired surrogate gives U+FFFD); moves `pos` behind it.
char32_t next_code_point(std::u16string_view text, std::size_t& pos);

// The application of a process by the file name of its image, ASCII letters compared without
// regard to case: "zoom.exe", "ms-teams.exe", or one of the browsers that show Meet.
std::optional<readers::App> app_for_executable(std::string_view name);

// A browser window is a Meet window when its title holds "meet" in any letter case (full Unicode
// lower-casing).
bool is_meet_title(std::string_view title);

}  // namespace uia
