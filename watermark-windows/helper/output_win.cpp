#include "output_win.hpp"

#include <string>

namespace output {

bool write_all(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written == 0) {
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

void write_error_line(std::string_view text) {
  const std::string line = std::string(text) + "\n";
  write_all(GetStdHandle(STD_ERROR_HANDLE), line);
}

}  // namespace output
