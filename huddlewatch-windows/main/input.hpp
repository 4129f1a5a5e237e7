#pragma once
// Standard input: lines {"apps":null} or {"apps":["zoom",...]} replace the watched applications.
//
// Threads: AppFilter is the only object shared between the standard-input thread (which sets it)
// and the poll loop (which copies it once a poll).
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "main/options.hpp"

namespace huddlewatch {

class AppFilter {
 public:
  explicit AppFilter(AppList initial = std::nullopt) : value_(std::move(initial)) {}

  AppList get() const;
  void set(AppList value);

 private:
  mutable std::mutex mutex_;
  AppList value_;
};

// parse_apps_line(line): the new filter value of a line (line end included), or nothing when the
// line is rejected. parse_apps_line.token: after any leading white space, the text behind
// `literal`, or nothing when the text does not go on with it.
struct ParseAppsLine {
  std::optional<AppList> operator()(std::string_view line) const;
  static std::optional<std::string_view> token(std::string_view text, std::string_view literal);
};
inline constexpr ParseAppsLine parse_apps_line{};

// Bytes as UTF-8 text, each ill-formed sequence (its maximal part) replaced by U+FFFD.
std::string decode_utf8(std::string_view bytes);

// Standard input as the reader thread sees it. Windows side: HandleReader (input_win.hpp);
// tests: fakes.
class ByteReader {
 public:
  virtual ~ByteReader() = default;
  // Up to `size` bytes into `buffer`: the count read, 0 at the end of input, negative on a read
  // error.
  virtual std::ptrdiff_t read(char* buffer, std::size_t size) = 0;
};

// Reads lines (up to and including LF, no length limit) and applies each accepted one to the
// filter; a last line without LF is applied too. Returns the program's exit code (0) at the end
// of input or at a read error; a partial line before a read error is dropped.
int read_input(ByteReader& input, AppFilter& filter);

}  // namespace huddlewatch
