#include "error.hpp"

#include <cstdio>
#include <utility>

namespace shared {

Error Error::from_hresult(std::int32_t hr, std::string message) {
  return Error(Kind::hresult, hr, trim_message(std::move(message)));
}

Error Error::from_io(std::int32_t code, std::string message) {
  return Error(Kind::io, code, trim_message(std::move(message)));
}

Error Error::own(std::string text) { return Error(Kind::own, 0, std::move(text)); }

std::string hresult_hex(std::int32_t hr) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(hr));
  return buffer;
}

std::string trim_message(std::string message) {
  while (!message.empty()) {
    const char last = message.back();
    if (last != '\r' && last != '\n' && last != ' ' && last != '\t') break;
    message.pop_back();
  }
  return message;
}

std::string Error::text() const {
  switch (kind_) {
    case Kind::hresult:
      if (message_.empty()) return hresult_hex(code_);
      return message_ + " (" + hresult_hex(code_) + ")";
    case Kind::io:
      return message_ + " (os error " + std::to_string(code_) + ")";
    case Kind::own:
      break;
  }
  return message_;
}

}  // namespace shared
