#include "install_setup.hpp"

#include <cstdio>

#include "lib.hpp"
#include "shared_state.hpp"

namespace install {
namespace {

constexpr std::uint32_t ERROR_CANCELLED_CODE = 1223;
constexpr std::uint32_t HRESULT_CANCELLED = 0x80070000u | ERROR_CANCELLED_CODE;
constexpr std::string_view THREADING_MODEL_VALUE = "ThreadingModel";

std::string hex_lower(std::uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%x", static_cast<unsigned>(value));
  return buffer;
}

}  // namespace

std::string state_sddl() {
  return "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x120089;;;LS)(A;;0x" + hex_lower(shared::STATE_ACCESS) +
         ";;;BU)";
}

std::string partial_path(std::string_view path) {
  const std::size_t separator = path.find_last_of("\\/");
  const std::size_t name_start = separator == std::string_view::npos ? 0 : separator + 1;
  const std::size_t dot = path.rfind('.');
  // A leading dot starts a name, not an extension.
  const bool has_extension = dot != std::string_view::npos && dot > name_start;
  const std::string_view stem = has_extension ? path.substr(0, dot) : path;
  return std::string(stem) + "." + std::string(PARTIAL_EXTENSION);
}

std::string staged_name() {
  return std::string(PROXY_DLL) + std::string(STAGED_SUFFIX);
}

std::string old_proxy_prefix() {
  return std::string(PROXY_DLL) + std::string(OLD_SUFFIX);
}

std::string old_proxy_name(std::uint64_t unix_ms) {
  return old_proxy_prefix() + std::to_string(unix_ms);
}

bool is_old_proxy(std::string_view file_name) {
  return file_name.starts_with(old_proxy_prefix());
}

std::vector<RegistryValue> registry_values(std::string_view proxy_path) {
  std::vector<RegistryValue> values;
  for (unsigned slot = 0; slot < shared::SLOT_COUNT; ++slot) {
    values.push_back({clsid_key(slot), std::nullopt, std::string(CLASS_NAME)});
    values.push_back({server_key(slot), std::nullopt, std::string(proxy_path)});
    values.push_back(
        {server_key(slot), std::string(THREADING_MODEL_VALUE), std::string(THREADING_MODEL)});
  }
  return values;
}

bool launch_declined(std::uint32_t error) {
  return error == ERROR_CANCELLED_CODE || error == HRESULT_CANCELLED;
}

int exit_code_of(std::uint32_t elevated_exit, const std::function<bool()>& installed) {
  if (elevated_exit != 0) return 1;
  return installed() ? 0 : 1;
}

}  // namespace install
