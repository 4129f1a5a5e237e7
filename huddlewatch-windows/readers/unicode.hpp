#pragma once
// UTF-8 text handling of the readers: character iteration, Unicode White_Space and the full
// lower-case mapping. Text that is not valid UTF-8 is never rejected: each byte that does not
// start a well-formed sequence counts as one character of its own and is kept as it is.
#include <cstddef>
#include <string>
#include <string_view>

namespace readers::unicode {

// Version of the Unicode Character Database the tables were generated from.
std::string_view version();

// One decoded character: its scalar value (U+FFFD for an ill-formed byte) and its byte length.
struct Char {
  char32_t cp;
  std::size_t size;
};

// Decodes the character starting at byte `pos` (pos < text.size()).
Char decode(std::string_view text, std::size_t pos);

// The White_Space characters: U+0009..U+000D, U+0020, U+0085, U+00A0, U+1680,
// U+2000..U+200A, U+2028, U+2029, U+202F, U+205F, U+3000.
bool is_white_space(char32_t cp);
bool is_cased(char32_t cp);
bool is_case_ignorable(char32_t cp);

void append_utf8(std::string& out, char32_t cp);

// Full lower-case mapping, with the final-sigma rule and without language-specific rules.
std::string to_lower(std::string_view text);

std::string_view trim(std::string_view text);
std::string_view trim_start(std::string_view text);

std::size_t char_count(std::string_view text);
// The first `count` characters of the text (all of it when it has fewer).
std::string_view first_chars(std::string_view text, std::size_t count);
// True when byte `pos` starts a character or is the end of the text.
bool is_boundary(std::string_view text, std::size_t pos);

}  // namespace readers::unicode
