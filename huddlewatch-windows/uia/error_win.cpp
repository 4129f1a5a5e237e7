#include "uia/error_win.hpp"

#include <cstdint>
#include <utility>

#include "uia/text.hpp"

namespace uia::win {

Error hresult_error(HRESULT hr) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string message;
  if (length > 0 && buffer != nullptr) message = narrow(std::wstring_view(buffer, length));
  LocalFree(buffer);
  // Message tables end their texts with a line end, sometimes after a blank.
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  return Error{static_cast<std::int32_t>(hr), std::move(message)};
}

std::string narrow(std::wstring_view text) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  return from_utf16(
      std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

}  // namespace uia::win
