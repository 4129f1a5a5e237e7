#include "readers/unicode.hpp"

#include <algorithm>
#include <vector>

#include "readers/unicode_tables.hpp"

namespace readers::unicode {
namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;
constexpr char32_t CAPITAL_SIGMA = 0x03A3;
constexpr char32_t FINAL_SIGMA = 0x03C2;

bool in_ranges(const tables::Range* ranges, std::size_t size, char32_t cp) {
  const tables::Range* end = ranges + size;
  const tables::Range* it = std::upper_bound(
      ranges, end, cp, [](char32_t c, const tables::Range& r) { return c < r.first; });
  return it != ranges && cp <= (it - 1)->last;
}

bool is_continuation(unsigned char b) {
  return (b & 0xC0) == 0x80;
}

}  // namespace

std::string_view version() {
  return tables::VERSION;
}

Char decode(std::string_view text, std::size_t pos) {
  const auto b0 = static_cast<unsigned char>(text[pos]);
  if (b0 < 0x80) return {b0, 1};
  std::size_t len;
  char32_t cp;
  char32_t min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return {REPLACEMENT, 1};
  }
  if (text.size() - pos < len) return {REPLACEMENT, 1};
  for (std::size_t i = 1; i < len; ++i) {
    const auto b = static_cast<unsigned char>(text[pos + i]);
    if (!is_continuation(b)) return {REPLACEMENT, 1};
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {REPLACEMENT, 1};
  return {cp, len};
}

bool is_white_space(char32_t cp) {
  return (cp >= 0x09 && cp <= 0x0D) || cp == 0x20 || cp == 0x85 || cp == 0xA0 || cp == 0x1680 ||
         (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F ||
         cp == 0x205F || cp == 0x3000;
}

bool is_cased(char32_t cp) {
  return in_ranges(tables::CASED, tables::CASED_SIZE, cp);
}

bool is_case_ignorable(char32_t cp) {
  return in_ranges(tables::CASE_IGNORABLE, tables::CASE_IGNORABLE_SIZE, cp);
}

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string to_lower(std::string_view text) {
  struct Decoded {
    Char c;
    std::size_t pos;
  };
  std::vector<Decoded> chars;
  chars.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const Char c = decode(text, pos);
    chars.push_back({c, pos});
    pos += c.size;
  }

  // Final_Sigma: a cased letter before (skipping case-ignorable characters) and none after.
  const auto final_sigma = [&](std::size_t i) {
    std::size_t j = i;
    while (j > 0 && is_case_ignorable(chars[j - 1].c.cp)) --j;
    if (j == 0 || !is_cased(chars[j - 1].c.cp)) return false;
    std::size_t k = i + 1;
    while (k < chars.size() && is_case_ignorable(chars[k].c.cp)) ++k;
    return k == chars.size() || !is_cased(chars[k].c.cp);
  };

  const tables::LowerEntry* begin = tables::LOWER;
  const tables::LowerEntry* end = tables::LOWER + tables::LOWER_SIZE;
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < chars.size(); ++i) {
    const Char c = chars[i].c;
    if (c.cp < 0x80) {
      const char ch = text[chars[i].pos];
      out += (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
      continue;
    }
    if (c.cp == REPLACEMENT) {  // keeps ill-formed bytes (and a real U+FFFD) unchanged
      out.append(text.substr(chars[i].pos, c.size));
      continue;
    }
    if (c.cp == CAPITAL_SIGMA && final_sigma(i)) {
      append_utf8(out, FINAL_SIGMA);
      continue;
    }
    const tables::LowerEntry* it = std::lower_bound(
        begin, end, c.cp, [](const tables::LowerEntry& e, char32_t cp) { return e.from < cp; });
    if (it == end || it->from != c.cp) {
      out.append(text.substr(chars[i].pos, c.size));
      continue;
    }
    for (char32_t to : it->to) {
      if (to != 0) append_utf8(out, to);
    }
  }
  return out;
}

std::string_view trim_start(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const Char c = decode(text, pos);
    if (!is_white_space(c.cp)) break;
    pos += c.size;
  }
  return text.substr(pos);
}

std::string_view trim(std::string_view text) {
  text = trim_start(text);
  std::size_t end = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const Char c = decode(text, pos);
    pos += c.size;
    if (!is_white_space(c.cp)) end = pos;
  }
  return text.substr(0, end);
}

std::size_t char_count(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size(); pos += decode(text, pos).size) ++count;
  return count;
}

std::string_view first_chars(std::string_view text, std::size_t count) {
  std::size_t pos = 0;
  for (; pos < text.size() && count > 0; --count) pos += decode(text, pos).size;
  return text.substr(0, pos);
}

bool is_boundary(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return pos == text.size();
  // A continuation byte starts a character only when it is ill-formed on its own.
  if (!is_continuation(static_cast<unsigned char>(text[pos]))) return true;
  for (std::size_t start = pos; start > 0 && pos - start < 4;) {
    --start;
    if (!is_continuation(static_cast<unsigned char>(text[start]))) {
      return start + decode(text, start).size <= pos;
    }
  }
  return true;
}

}  // namespace readers::unicode
