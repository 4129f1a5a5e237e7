#include "json.hpp"

#include <cstddef>
#include <cstdint>

#include "utf.hpp"

namespace VantorelWatermark {
namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// At least one hexadecimal digit behind at most one plus sign. Any non-ASCII byte fails, so
// looking at bytes gives the same answer as looking at the four characters of the escape.
std::optional<std::uint32_t> parse_hex(std::string_view s) {
  if (s.starts_with('+')) s.remove_prefix(1);
  if (s.empty()) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : s) {
    const int digit = hex_digit(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return value;
}

constexpr std::size_t UNICODE_ESCAPE_CHARS = 4;
constexpr std::uint32_t REPLACEMENT = 0xFFFD;

std::optional<std::string> read_string(std::string_view s) {
  std::string text;
  std::size_t i = 0;
  while (i < s.size()) {
    const char c = s[i++];
    if (c == '"') return text;
    if (c != '\\') {
      text.push_back(c);
      continue;
    }
    if (i == s.size()) return std::nullopt;
    const char escaped = s[i++];
    switch (escaped) {
      case 'b':
        text.push_back('\b');
        break;
      case 'f':
        text.push_back('\f');
        break;
      case 'n':
        text.push_back('\n');
        break;
      case 'r':
        text.push_back('\r');
        break;
      case 't':
        text.push_back('\t');
        break;
      case 'u': {
        const std::string_view digits = s.substr(i, UNICODE_ESCAPE_CHARS);
        i += digits.size();
        const auto cp = parse_hex(digits);
        if (!cp) return std::nullopt;
        const bool surrogate = *cp >= 0xD800 && *cp <= 0xDFFF;
        shared::append_utf8(text, surrogate ? REPLACEMENT : *cp);
        break;
      }
      default:
        // Also the quote, the backslash and the slash; a multi-byte character follows byte by
        // byte, which adds it unchanged.
        text.push_back(escaped);
    }
  }
  return std::nullopt;
}

void append_list(std::string& out, const std::vector<std::string>& items) {
  out += '[';
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += ',';
    out += json_string(items[i]);
  }
  out += ']';
}

}  // namespace

std::optional<std::string> json_field(std::string_view line, std::string_view key) {
  std::string needle;
  needle.reserve(key.size() + 2);
  needle += '"';
  needle += key;
  needle += '"';
  const std::size_t at = line.find(needle);
  if (at == std::string_view::npos) return std::nullopt;

  std::string_view rest = shared::trim_leading_white_space(line.substr(at + needle.size()));
  if (!rest.starts_with(':')) return std::nullopt;
  rest = shared::trim_leading_white_space(rest.substr(1));

  if (rest.starts_with('"')) return read_string(rest.substr(1));
  return std::string(shared::trim_white_space(rest.substr(0, rest.find_first_of(",}"))));
}

std::string json_string(std::string_view s) {
  static constexpr char HEX[] = "0123456789abcdef";
  std::string out;
  out.reserve(s.size() + 2);
  out += '"';
  for (char c : s) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      out += "\\u00";
      out += HEX[byte >> 4];
      out += HEX[byte & 0xF];
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

std::string status_line(bool sink_ready, const std::vector<std::string>& consumers,
                        bool physical_in_use, std::string_view permission,
                        const std::vector<std::string>& names) {
  std::string out = R"({"event":"status","sinkReady":)";
  out += sink_ready ? "true" : "false";
  out += R"(,"watermarkConsumers":)";
  append_list(out, consumers);
  out += R"(,"physicalCameraInUse":)";
  out += physical_in_use ? "true" : "false";
  out += R"(,"cameraPermission":)";
  out += json_string(permission);
  out += R"(,"cameraNames":)";
  append_list(out, names);
  out += '}';
  return out;
}

std::string ready_line() {
  return R"({"event":"ready"})";
}

std::string error_line(std::string_view message) {
  return R"({"event":"error","message":)" + json_string(message) + "}";
}

}  // namespace VantorelWatermark
