#pragma once
// UTF-8 <-> UTF-16 conversions. The strict forms fail on any ill-formed input; the lossy forms
// put U+FFFD in place of each maximal ill-formed subsequence (UTF-8) or unpaired surrogate
// (UTF-16), as the Unicode standard recommends.

#include <optional>
#include <string>
#include <string_view>

namespace shared {

bool is_valid_utf8(std::string_view text);

std::optional<std::u16string> utf8_to_utf16(std::string_view text);
std::u16string utf8_to_utf16_lossy(std::string_view text);

std::optional<std::string> utf16_to_utf8(std::u16string_view text);
std::string utf16_to_utf8_lossy(std::u16string_view text);

// UTF-8 text without the Unicode White_Space characters at its start (and end).
std::string_view trim_leading_white_space(std::string_view text);
std::string_view trim_white_space(std::string_view text);

// Appends the UTF-8 form of a Unicode scalar value.
void append_utf8(std::string& out, char32_t code_point);

}  // namespace shared
