#include "uia/error.hpp"

#include <cstdio>

namespace uia {

std::string Error::text() const {
  char hex[11];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(hresult));
  if (message.empty()) return hex;
  return message + " (" + hex + ")";
}

}  // namespace uia
