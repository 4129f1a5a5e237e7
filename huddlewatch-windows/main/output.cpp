#include "main/output.hpp"

#include <cstddef>
#include <utility>

namespace huddlewatch {
namespace {

void append_json_string(std::string& out, std::string_view s) {
  static constexpr char HEX[] = "0123456789abcdef";
  out += '"';
  for (const char c : s) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += "\\u00";
          out += HEX[static_cast<unsigned char>(c) >> 4];
          out += HEX[static_cast<unsigned char>(c) & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

const char* boolean(bool value) {
  return value ? "true" : "false";
}

}  // namespace

std::string json_string(std::string_view s) {
  std::string out;
  append_json_string(out, s);
  return out;
}

std::string readings_json(const std::vector<readers::Reading>& readings) {
  std::string out = "[";
  for (const readers::Reading& reading : readings) {
    if (out.size() > 1) out += ',';
    out += "{\"app\":";
    append_json_string(out, reading.app);
    out += ",\"blind\":";
    out += boolean(reading.blind);
    out += ",\"participants\":";
    out += std::to_string(reading.participants);
    out += ",\"speakers\":[";
    for (std::size_t i = 0; i < reading.speakers.size(); ++i) {
      if (i > 0) out += ',';
      append_json_string(out, reading.speakers[i]);
    }
    out += "],\"truncated\":";
    out += boolean(reading.truncated);
    out += '}';
  }
  out += ']';
  return out;
}

std::optional<std::string> Emitter::line(std::uint64_t at, std::uint64_t poll_ms,
                                         const std::vector<readers::Reading>& readings,
                                         uia::Instant now) {
  std::string json = readings_json(readings);
  // A clock that went back gives a negative time, which is held back like no time at all.
  if (last_at && last == json && now - *last_at < REPEAT_AFTER) return std::nullopt;
  std::string out = "{\"at\":" + std::to_string(at) + ",\"pollMs\":" + std::to_string(poll_ms) +
                    ",\"readings\":" + json + "}";
  last = std::move(json);
  last_at = now;
  return out;
}

}  // namespace huddlewatch
