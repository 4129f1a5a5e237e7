#pragma once
// The program's one error type: a Windows error value (an HRESULT and the system's text for it,
// captured where the error is made, so that portable code can print it).
#include <cstdint>
#include <expected>
#include <string>

namespace uia {

struct Error {
  std::int32_t hresult = 0;
  std::string message;  // the system message, without trailing line ends; may be empty

  // "message (0x80040154)", or "0x80040154" without a message.
  std::string text() const;

  friend bool operator==(const Error&, const Error&) = default;
};

template <class T>
using Result = std::expected<T, Error>;

}  // namespace uia
