#include "install.hpp"

#include <array>

#include "lib.hpp"
#include "utf.hpp"

namespace install {
namespace {

// UTF-8 forms of the Unicode White_Space characters.
constexpr std::array<std::string_view, 25> WHITE_SPACE = {
    "\t",           "\n",           "\v",           "\f",           "\r",           " ",
    "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81", "\xE2\x80\x82",
    "\xE2\x80\x83", "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88",
    "\xE2\x80\x89", "\xE2\x80\x8A", "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F",
    "\xE3\x80\x80",
};

std::size_t leading_space(std::string_view text) {
  for (std::string_view space : WHITE_SPACE) {
    if (text.starts_with(space)) return space.size();
  }
  return 0;
}

std::size_t trailing_space(std::string_view text) {
  for (std::string_view space : WHITE_SPACE) {
    if (text.ends_with(space)) return space.size();
  }
  return 0;
}

}  // namespace

std::string backend_relative(std::span<const std::uint8_t> bytes) {
  return std::string(BACKENDS_FOLDER) + "\\" + shared::content_hash(bytes) + "\\" +
         std::string(BACKEND_DLL);
}

std::string clsid_key(unsigned slot) {
  return std::string(CLSID_ROOT) + shared::clsid_text(slot);
}

std::string server_key(unsigned slot) {
  return clsid_key(slot) + "\\" + std::string(INPROC_SERVER);
}

std::string_view trim_white_space(std::string_view text) {
  while (std::size_t n = leading_space(text)) text.remove_prefix(n);
  while (std::size_t n = trailing_space(text)) text.remove_suffix(n);
  return text;
}

bool config_current(std::string_view content, std::string_view relative) {
  return shared::is_valid_utf8(content) && trim_white_space(content) == relative;
}

bool is_denial(const std::optional<std::string>& value) {
  return value && *value == DENY;
}

}  // namespace install
