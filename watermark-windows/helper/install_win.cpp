#include "install_win.hpp"

#include <cstddef>
#include <expected>
#include <vector>

#include "handle_win.hpp"
#include "lib.hpp"
#include "shared_state.hpp"
#include "utf.hpp"
#include "win_error.hpp"

namespace install {
namespace {

using shared::win::UniqueHandle;

constexpr DWORD REGISTRY_UNITS = 1024;
constexpr DWORD REGISTRY_BYTES = REGISTRY_UNITS * sizeof(wchar_t);

// An existing regular file, links followed; a folder does not count.
bool is_file(const std::string& path) {
  UniqueHandle file(CreateFileW(shared::win::wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info)) return false;
  return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

shared::Result<std::string> module_path() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (length == 0) return std::unexpected(shared::win::io_error(GetLastError()));
    // A path that filled the buffer may have been cut; try again with more room.
    if (length < size) return shared::win::narrow(std::wstring_view(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
}

shared::Result<std::vector<std::uint8_t>> read_whole_file(const std::string& path) {
  // Readers, writers and a pending delete elsewhere must not make the read fail.
  UniqueHandle file(CreateFileW(shared::win::wide(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::unexpected(shared::win::io_error(GetLastError()));
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[64 * 1024];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr)) {
      return std::unexpected(shared::win::io_error(GetLastError()));
    }
    if (read == 0) return bytes;
    bytes.insert(bytes.end(), chunk, chunk + read);
  }
}

shared::Result<std::string> bundled(std::string_view file_name) {
  shared::Result<std::string> path = module_path();
  if (!path) return path;
  const std::size_t slash = path->find_last_of("\\/");
  const std::size_t keep = slash == std::string::npos ? 0 : slash + 1;
  return path->substr(0, keep) + std::string(file_name);
}

shared::Result<std::string> backend_relative_path() {
  shared::Result<std::string> path = bundled(BACKEND_DLL);
  if (!path) return path;
  shared::Result<std::vector<std::uint8_t>> bytes = read_whole_file(*path);
  if (!bytes) return std::unexpected(bytes.error());
  return backend_relative(*bytes);
}

std::optional<std::string> read_string(HKEY root, std::string_view subkey,
                                       std::optional<std::string_view> value_name) {
  std::vector<wchar_t> buffer(REGISTRY_UNITS, L'\0');
  DWORD size = REGISTRY_BYTES;
  const std::wstring key = shared::win::wide(subkey);
  const std::wstring name = value_name ? shared::win::wide(*value_name) : std::wstring();
  const LSTATUS status = RegGetValueW(root, key.c_str(), value_name ? name.c_str() : nullptr,
                                      RRF_RT_REG_SZ, nullptr, buffer.data(), &size);
  if (status != ERROR_SUCCESS) return std::nullopt;
  std::wstring_view text(buffer.data(), buffer.size());
  text = text.substr(0, text.find(L'\0'));
  return shared::win::narrow(text);
}

bool state_ready_at(const std::string& path) {
  UniqueHandle file(CreateFileW(shared::win::wide(path).c_str(), shared::STATE_ACCESS,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return false;
  return static_cast<std::uint64_t>(size.QuadPart) >= STATE_MIN_SIZE;
}

bool state_ready() {
  return state_ready_at(shared::state_path());
}

bool is_registered() {
  for (unsigned slot = 0; slot < shared::SLOT_COUNT; ++slot) {
    const std::optional<std::string> server = read_string(HKEY_LOCAL_MACHINE, server_key(slot));
    if (!server || !is_file(*server)) return false;
  }
  return true;
}

bool is_installed() {
  if (!is_registered() || !state_ready()) return false;
  const shared::Result<std::string> relative = backend_relative_path();
  if (!relative) return false;
  const std::string folder = shared::install_dir();
  const shared::Result<std::vector<std::uint8_t>> config =
      read_whole_file(shared::join_path(folder, CONFIG_FILE));
  if (!config) return false;
  const std::string_view content(reinterpret_cast<const char*>(config->data()), config->size());
  return config_current(content, *relative) && is_file(shared::join_path(folder, *relative));
}

bool camera_denied() {
  const std::string non_packaged = std::string(CONSENT_KEY) + std::string(NON_PACKAGED);
  return is_denial(read_string(HKEY_LOCAL_MACHINE, CONSENT_KEY, CONSENT_VALUE)) ||
         is_denial(read_string(HKEY_CURRENT_USER, CONSENT_KEY, CONSENT_VALUE)) ||
         is_denial(read_string(HKEY_CURRENT_USER, non_packaged, CONSENT_VALUE));
}

}  // namespace install
