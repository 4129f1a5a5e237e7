#include "main/options.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "readers/unicode.hpp"

namespace huddlewatch {
namespace {

// The argument behind the first one equal to the option; nothing when the option is missing or
// the last argument.
std::optional<std::string_view> option_value(std::span<const std::string> args,
                                             std::string_view option) {
  if (args.empty()) return std::nullopt;
  const auto found = std::find(args.begin() + 1, args.end(), option);
  if (found == args.end() || found + 1 == args.end()) return std::nullopt;
  return *(found + 1);
}

// Digits with an optional leading "+"; nothing on anything else or beyond 64 bits.
std::optional<std::uint64_t> parse_u64(std::string_view text) {
  if (text.starts_with('+')) text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace

Options parse_options(std::span<const std::string> args) {
  Options options;
  if (const auto value = option_value(args, OPTION_POLL_INTERVAL)) {
    const std::optional<std::uint64_t> ms = parse_u64(*value);
    if (ms && *ms >= static_cast<std::uint64_t>(MIN_POLL_INTERVAL.count())) {
      // Beyond what a duration holds the program would sleep for ages either way.
      constexpr auto longest =
          static_cast<std::uint64_t>(std::numeric_limits<std::chrono::milliseconds::rep>::max());
      options.poll_interval = std::chrono::milliseconds(std::min(*ms, longest));
    }
  }
  if (const auto value = option_value(args, OPTION_APPS)) options.apps = parse_app_list(*value);
  if (args.size() > 1) {
    options.dump = std::find(args.begin() + 1, args.end(), OPTION_DUMP) != args.end();
  }
  return options;
}

std::vector<readers::App> parse_app_list(std::string_view text) {
  std::vector<readers::App> apps;
  for (;;) {
    const std::size_t comma = text.find(',');
    const std::optional<readers::App> app =
        readers::App::from_name(readers::unicode::trim(text.substr(0, comma)));
    if (app && std::find(apps.begin(), apps.end(), *app) == apps.end()) apps.push_back(*app);
    if (comma == std::string_view::npos) return apps;
    text.remove_prefix(comma + 1);
  }
}

}  // namespace huddlewatch
