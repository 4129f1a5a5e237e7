#include "uia/text.hpp"

#include <array>
#include <cstddef>

#include "readers/unicode.hpp"

namespace uia {
namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

struct Executable {
  std::string_view name;
  readers::App app;
};

constexpr std::array<Executable, 9> EXECUTABLES{{
    {"chrome.exe", readers::App::Meet},
    {"msedge.exe", readers::App::Meet},
    {"brave.exe", readers::App::Meet},
    {"vivaldi.exe", readers::App::Meet},
    {"arc.exe", readers::App::Meet},
    {"opera.exe", readers::App::Meet},
    {"chromium.exe", readers::App::Meet},
    {"ms-teams.exe", readers::App::Teams},
    {"zoom.exe", readers::App::Zoom},
}};

constexpr std::string_view MEET_WORD = "meet";

bool is_high_surrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

bool is_low_surrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

char32_t next_code_point(std::u16string_view text, std::size_t& pos) {
  const char16_t unit = text[pos++];
  if (is_high_surrogate(unit) && pos < text.size() && is_low_surrogate(text[pos])) {
    const char16_t low = text[pos++];
    return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
           (static_cast<char32_t>(low) - 0xDC00);
  }
  if (is_high_surrogate(unit) || is_low_surrogate(unit)) return REPLACEMENT;
  return unit;
}

std::string from_utf16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    readers::unicode::append_utf8(out, next_code_point(text, pos));
  }
  return out;
}

std::optional<readers::App> app_for_executable(std::string_view name) {
  std::string lowered(name);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const Executable& executable : EXECUTABLES) {
    if (executable.name == lowered) return executable.app;
  }
  return std::nullopt;
}

bool is_meet_title(std::string_view title) {
  return readers::unicode::to_lower(title).find(MEET_WORD) != std::string::npos;
}

}  // namespace uia
