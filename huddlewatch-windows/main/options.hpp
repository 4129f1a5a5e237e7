#pragma once
// The command line: --poll-interval-ms, --apps and --dump. Bad values give no message; the
// defaults stay.
#include <array>
#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "readers/model.hpp"

namespace huddlewatch {

// The watched applications: nothing means all of them; an empty list watches nothing.
using AppList = std::optional<std::vector<readers::App>>;

// Watched when no list is given, and always in dump mode.
inline constexpr std::array<readers::App, 3> DEFAULT_APPS{readers::App::Meet, readers::App::Teams,
                                                          readers::App::Zoom};

inline constexpr std::chrono::milliseconds DEFAULT_POLL_INTERVAL{500};
// Shorter intervals are ignored, not raised.
inline constexpr std::chrono::milliseconds MIN_POLL_INTERVAL{100};

inline constexpr std::string_view OPTION_POLL_INTERVAL = "--poll-interval-ms";
inline constexpr std::string_view OPTION_APPS = "--apps";
inline constexpr std::string_view OPTION_DUMP = "--dump";

struct Options {
  std::chrono::milliseconds poll_interval = DEFAULT_POLL_INTERVAL;
  AppList apps;  // the initial app filter
  bool dump = false;
};

// `args` holds the program path first. An option is its first argument (after the path) equal to
// it; its value is the next argument, whatever it is, and a last argument has none. Joined forms
// ("--apps=zoom") and every other argument are ignored.
Options parse_options(std::span<const std::string> args);

// Comma-separated application names, trimmed, exact names only; first mention order, no
// repeats. May be empty.
std::vector<readers::App> parse_app_list(std::string_view text);

}  // namespace huddlewatch
