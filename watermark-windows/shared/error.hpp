#pragma once
// The one error type of every component: an HRESULT, an operating-system error code, or a text
// of the component's own. The system message is captured when the error is made, so the
// portable code can print it without asking the platform.

#include <cstdint>
#include <expected>
#include <string>
#include <utility>

namespace shared {

class Error {
 public:
  enum class Kind { hresult, io, own };

  // `message` is the system's text for the code, without trailing line ends.
  static Error from_hresult(std::int32_t hr, std::string message = {});
  static Error from_io(std::int32_t code, std::string message = {});
  static Error own(std::string text);

  Kind kind() const { return kind_; }
  std::int32_t code() const { return code_; }
  const std::string& message() const { return message_; }

  // HRESULT: "message (0x80070002)", or "0x80070002" without a message.
  // I/O: "message (os error 2)". Own: the text alone.
  std::string text() const;

  friend bool operator==(const Error&, const Error&) = default;

 private:
  Error(Kind kind, std::int32_t code, std::string message)
      : kind_(kind), code_(code), message_(std::move(message)) {}

  Kind kind_;
  std::int32_t code_;
  std::string message_;
};

template <class T>
using Result = std::expected<T, Error>;

// "0x" and eight upper-case hexadecimal digits.
std::string hresult_hex(std::int32_t hr);

// Drops the line ends and blanks that system message tables put behind their texts.
std::string trim_message(std::string message);

}  // namespace shared
