#include "win_error.hpp"

#include <cstdint>
#include <expected>

#include "utf.hpp"

namespace shared::win {
namespace {

std::string system_message(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0 || buffer == nullptr) return {};
  std::string text = narrow(std::wstring_view(buffer, length));
  LocalFree(buffer);
  return text;
}

}  // namespace

Error hresult_error(HRESULT hr) {
  return Error::from_hresult(static_cast<std::int32_t>(hr), system_message(static_cast<DWORD>(hr)));
}

Result<void> check(HRESULT hr) {
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  return {};
}

Error win32_error(DWORD code) { return hresult_error(HRESULT_FROM_WIN32(code)); }

Error last_error() { return win32_error(GetLastError()); }

Error io_error(DWORD code) {
  return Error::from_io(static_cast<std::int32_t>(code), system_message(code));
}

HRESULT to_hresult(const Error& error) {
  switch (error.kind()) {
    case Error::Kind::hresult:
      return static_cast<HRESULT>(error.code());
    case Error::Kind::io:
      return HRESULT_FROM_WIN32(static_cast<DWORD>(error.code()));
    case Error::Kind::own:
      break;
  }
  return E_FAIL;
}

std::wstring wide(std::string_view text) {
  const std::u16string units = utf8_to_utf16_lossy(text);
  return std::wstring(units.begin(), units.end());
}

std::string narrow(std::wstring_view text) {
  return utf16_to_utf8_lossy(
      std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

}  // namespace shared::win
