#include "install.hpp"

#include "lib.hpp"
#include "utf.hpp"

namespace install {

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

bool config_current(std::string_view content, std::string_view relative) {
  return shared::is_valid_utf8(content) && shared::trim_white_space(content) == relative;
}

bool is_denial(const std::optional<std::string>& value) {
  return value && *value == DENY;
}

}  // namespace install
