// libFuzzer target for the input-line codec: every byte string is a possible standard-input
// line. Besides crashes and sanitizer findings it checks that json_string's output reads back
// through json_field as the text it quoted.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "json.hpp"

namespace {

constexpr std::string_view KEYS[] = {"command", "active", "level", "appName"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  for (auto key : KEYS) (void)VantorelWatermark::json_field(line, key);

  // The first line as a key of its own, the rest as the line it is looked up in.
  const std::size_t split = line.find('\n');
  if (split != std::string_view::npos) {
    (void)VantorelWatermark::json_field(line.substr(split + 1), line.substr(0, split));
  }

  const std::string quoted = "{\"k\":" + VantorelWatermark::json_string(line) + "}";
  const auto back = VantorelWatermark::json_field(quoted, "k");
  if (!back || *back != line) std::abort();
  return 0;
}
