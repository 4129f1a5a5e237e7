#include "main/input_win.hpp"

#include <algorithm>
#include <cstdint>

namespace huddlewatch {

std::ptrdiff_t HandleReader::read(char* buffer, std::size_t size) {
  const DWORD asked = static_cast<DWORD>(std::min<std::size_t>(size, UINT32_MAX));
  DWORD read = 0;
  if (ReadFile(handle_, buffer, asked, &read, nullptr)) return static_cast<std::ptrdiff_t>(read);
  const DWORD error = GetLastError();
  return error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED ? 0 : -1;
}

}  // namespace huddlewatch
