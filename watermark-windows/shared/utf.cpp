#include "utf.hpp"

#include <cstddef>
#include <cstdint>

namespace shared {
namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

// UTF-8 forms of every Unicode White_Space character.
constexpr std::string_view WHITE_SPACE[] = {
    "\t",           "\n",           "\v",           "\f",           "\r",           " ",
    "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81", "\xE2\x80\x82",
    "\xE2\x80\x83", "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88",
    "\xE2\x80\x89", "\xE2\x80\x8A", "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F",
    "\xE3\x80\x80",
};

// Byte length of the white-space character that the text starts (or ends) with, or 0.
std::size_t space_at(std::string_view text, bool at_end) {
  for (std::string_view space : WHITE_SPACE) {
    if (at_end ? text.ends_with(space) : text.starts_with(space)) return space.size();
  }
  return 0;
}
constexpr char32_t INVALID = 0xFFFFFFFF;

struct Decoded {
  char32_t code_point;  // INVALID for an ill-formed subsequence
  std::size_t length;   // bytes consumed: the whole character, or the maximal ill-formed subpart
};

// One step of UTF-8 decoding with the ranges of the Unicode standard's table of well-formed
// byte sequences, so overlong forms, surrogates and values above U+10FFFF are ill-formed.
Decoded decode_utf8(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(pos);
  if (lead < 0x80) return {lead, 1};

  std::size_t need;
  std::uint8_t low = 0x80, high = 0xBF;
  char32_t cp;
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 2;
    cp = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 3;
    cp = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {INVALID, 1};
  }

  std::size_t length = 1;
  for (std::size_t i = 0; i < need; ++i) {
    if (pos + length >= text.size()) return {INVALID, length};
    const std::uint8_t next = byte(pos + length);
    if (next < low || next > high) return {INVALID, length};
    low = 0x80;
    high = 0xBF;
    cp = (cp << 6) | (next & 0x3F);
    ++length;
  }
  return {cp, length};
}

void append_utf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

template <bool Lossy>
std::optional<std::u16string> to_utf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const Decoded d = decode_utf8(text, pos);
    if (d.code_point == INVALID) {
      if (!Lossy) return std::nullopt;
      out.push_back(static_cast<char16_t>(REPLACEMENT));
    } else {
      append_utf16(out, d.code_point);
    }
    pos += d.length;
  }
  return out;
}

template <bool Lossy>
std::optional<std::string> to_utf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    char32_t cp = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      if (!Lossy) return std::nullopt;
      cp = REPLACEMENT;
    }
    append_utf8(out, cp);
  }
  return out;
}

}  // namespace

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string_view trim_leading_white_space(std::string_view text) {
  while (std::size_t n = space_at(text, false)) text.remove_prefix(n);
  return text;
}

std::string_view trim_white_space(std::string_view text) {
  text = trim_leading_white_space(text);
  while (std::size_t n = space_at(text, true)) text.remove_suffix(n);
  return text;
}

bool is_valid_utf8(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    const Decoded d = decode_utf8(text, pos);
    if (d.code_point == INVALID) return false;
    pos += d.length;
  }
  return true;
}

std::optional<std::u16string> utf8_to_utf16(std::string_view text) { return to_utf16<false>(text); }

std::u16string utf8_to_utf16_lossy(std::string_view text) { return *to_utf16<true>(text); }

std::optional<std::string> utf16_to_utf8(std::u16string_view text) { return to_utf8<false>(text); }

std::string utf16_to_utf8_lossy(std::u16string_view text) { return *to_utf8<true>(text); }

}  // namespace shared
