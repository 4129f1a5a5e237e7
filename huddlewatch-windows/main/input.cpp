#include "main/input.hpp"

#include <algorithm>
#include <array>
#include <utility>

#include "readers/unicode.hpp"

namespace huddlewatch {
namespace {

constexpr std::size_t INPUT_CHUNK = 4096;
constexpr std::string_view REPLACEMENT = "\xEF\xBF\xBD";  // U+FFFD

// The bytes that may follow a lead byte, and how many follow it (0: not a lead byte).
struct Lead {
  std::size_t follow;
  unsigned char low;  // range of the first byte that follows
  unsigned char high;
};

Lead lead(unsigned char b) {
  if (b >= 0xC2 && b <= 0xDF) return {1, 0x80, 0xBF};
  if (b == 0xE0) return {2, 0xA0, 0xBF};
  if (b == 0xED) return {2, 0x80, 0x9F};  // no surrogates
  if (b >= 0xE1 && b <= 0xEF) return {2, 0x80, 0xBF};
  if (b == 0xF0) return {3, 0x90, 0xBF};
  if (b >= 0xF1 && b <= 0xF3) return {3, 0x80, 0xBF};
  if (b == 0xF4) return {3, 0x80, 0x8F};  // nothing beyond U+10FFFF
  return {0, 0, 0};
}

}  // namespace

AppList AppFilter::get() const {
  std::lock_guard lock(mutex_);
  return value_;
}

void AppFilter::set(AppList value) {
  std::lock_guard lock(mutex_);
  value_ = std::move(value);
}

std::optional<std::string_view> ParseAppsLine::token(std::string_view text,
                                                     std::string_view literal) {
  text = readers::unicode::trim_start(text);
  if (!text.starts_with(literal)) return std::nullopt;
  return text.substr(literal.size());
}

std::optional<AppList> ParseAppsLine::operator()(std::string_view line) const {
  std::optional<std::string_view> rest = token(line, "{");
  if (rest) rest = token(*rest, "\"apps\"");
  if (rest) rest = token(*rest, ":");
  if (!rest) return std::nullopt;

  AppList value;
  if (const auto after_null = token(*rest, "null")) {
    rest = after_null;
  } else if (const auto after_open = token(*rest, "[")) {
    rest = after_open;
    value.emplace();
    if (const auto after_close = token(*rest, "]")) {
      rest = after_close;
    } else {
      for (;;) {
        const std::optional<std::string_view> name_start = token(*rest, "\"");
        if (!name_start) return std::nullopt;
        const std::size_t quote = name_start->find('"');
        if (quote == std::string_view::npos) return std::nullopt;
        const std::string_view name = name_start->substr(0, quote);
        if (name.find('\\') != std::string_view::npos) return std::nullopt;  // escapes not read
        const std::optional<readers::App> app = readers::App::from_name(name);
        if (app && std::find(value->begin(), value->end(), *app) == value->end()) {
          value->push_back(*app);
        }
        rest = name_start->substr(quote + 1);
        if (const auto after_comma = token(*rest, ",")) {
          rest = after_comma;
        } else if (const auto after_close = token(*rest, "]")) {
          rest = after_close;
          break;
        } else {
          return std::nullopt;
        }
      }
    }
  } else {
    return std::nullopt;
  }

  rest = token(*rest, "}");
  if (!rest || !readers::unicode::trim_start(*rest).empty()) return std::nullopt;
  return value;
}

std::string decode_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t pos = 0; pos < bytes.size();) {
    const auto b0 = static_cast<unsigned char>(bytes[pos]);
    if (b0 < 0x80) {
      out += static_cast<char>(b0);
      ++pos;
      continue;
    }
    const Lead l = lead(b0);
    std::size_t len = 1;  // bytes of the sequence that are well-formed so far
    bool complete = l.follow > 0;
    for (std::size_t i = 1; complete && i <= l.follow; ++i) {
      if (pos + i >= bytes.size()) {
        complete = false;
        break;
      }
      const auto b = static_cast<unsigned char>(bytes[pos + i]);
      const bool fits = i == 1 ? (b >= l.low && b <= l.high) : (b >= 0x80 && b <= 0xBF);
      if (!fits) {
        complete = false;
        break;
      }
      ++len;
    }
    if (complete) {
      out.append(bytes.substr(pos, len));
    } else {
      out.append(REPLACEMENT);
    }
    pos += len;
  }
  return out;
}

int read_input(ByteReader& input, AppFilter& filter) {
  std::array<char, INPUT_CHUNK> chunk;
  std::size_t pos = 0;
  std::size_t end = 0;
  std::string line;
  for (;;) {
    line.clear();
    bool ended = false;  // the input ended before a LF
    for (;;) {
      if (pos == end) {
        const std::ptrdiff_t count = input.read(chunk.data(), chunk.size());
        if (count < 0) return 0;
        if (count == 0) {
          ended = true;
          break;
        }
        pos = 0;
        end = static_cast<std::size_t>(count);
      }
      char* begin = chunk.data() + pos;
      char* lf = std::find(begin, chunk.data() + end, '\n');
      if (lf != chunk.data() + end) {
        line.append(begin, lf + 1);
        pos += static_cast<std::size_t>(lf + 1 - begin);
        break;
      }
      line.append(begin, chunk.data() + end);
      pos = end;
    }
    if (!line.empty()) {
      if (std::optional<AppList> value = parse_apps_line(decode_utf8(line))) {
        filter.set(std::move(*value));
      }
    }
    if (ended) return 0;
  }
}

}  // namespace huddlewatch
