// libFuzzer target for the Zoom reader's tile texts: each input line is the name of one element
// among a window's children. Besides crashes and sanitizer findings it checks what every
// reading promises: a parsed tile has a name, names hold no repeats, every speaker is a named
// participant, and the participant count stays within the tiles.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "readers/zoom.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using readers::Node;
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  readers::Window window;
  for (std::string_view rest = input;;) {
    const std::size_t lf = rest.find('\n');
    const std::string_view text = rest.substr(0, lf);
    if (const std::optional<readers::ZoomTile> tile = readers::ZoomReader::parse(text)) {
      if (tile->name.empty()) std::abort();
    }
    (void)readers::ZoomReader::account_name(text);
    Node child;
    child.name = std::string(text);
    child.control_type = static_cast<std::int32_t>(window.node.children.size() % 2);
    window.node.children.push_back(std::move(child));
    if (lf == std::string_view::npos) break;
    rest.remove_prefix(lf + 1);
  }

  readers::ZoomReader reader;
  reader.learn_account({window});
  for (int pass = 0; pass < 2; ++pass) {  // the second pass knows what the first one learned
    const std::optional<readers::Reading> reading = reader.read(window.node);
    if (!reading) continue;
    const std::vector<std::string>& names = reading->names;
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) std::abort();
    for (const std::string& speaker : reading->speakers) {
      if (std::find(names.begin(), names.end(), speaker) == names.end()) std::abort();
    }
    if (reading->participants > reading->tiles || reading->tiles == 0) std::abort();
  }
  return 0;
}
