#include "readers/zoom.hpp"

#include <algorithm>
#include <cstdint>
#include <unordered_set>
#include <utility>

#include "readers/unicode.hpp"

namespace readers {
namespace {

constexpr std::string_view ACCOUNT_PREFIX = "Zoom, ";

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t pos = text.find(separator);
    parts.push_back(text.substr(0, pos));
    if (pos == std::string_view::npos) return parts;
    text.remove_prefix(pos + 1);
  }
}

std::string lowered_item(std::string_view item) {
  return unicode::to_lower(unicode::trim(item));
}

}  // namespace

std::optional<std::string> ZoomReader::account_name(std::string_view text) {
  if (!text.starts_with(ACCOUNT_PREFIX)) return std::nullopt;
  const std::vector<std::string_view> parts = split(text.substr(ACCOUNT_PREFIX.size()), ',');
  const std::size_t n = parts.size();
  if (n < 2) return std::nullopt;
  // The last fields (one, or two when there are more) follow the display name, which may
  // itself hold commas.
  const std::size_t k = n == 2 ? 1 : n - 2;
  const bool trailing_blank =
      std::all_of(parts.begin() + static_cast<std::ptrdiff_t>(k), parts.end(),
                  [](std::string_view p) { return unicode::trim(p).empty(); });
  if (trailing_blank) return std::nullopt;
  std::string joined;
  for (std::size_t i = 0; i < k; ++i) {
    if (i > 0) joined += ',';
    joined.append(parts[i]);
  }
  return participant_name(joined);
}

void ZoomReader::learn_account(const std::vector<Window>& windows) {
  for (const Window& window : windows) {
    std::optional<std::string> found;
    window.node.first([&](const Node& n) {
      found = account_name(n.name);
      return found.has_value();
    });
    if (!found) continue;
    if (account && *account != *found) self_name.reset();
    account = std::move(found);
    return;
  }
}

bool ZoomReader::has_self_marker(std::string_view text, std::string_view marker) {
  const std::string lowered = unicode::to_lower(marker);
  std::size_t from = 0;
  for (;;) {
    const std::size_t open = text.find('(', from);
    if (open == std::string_view::npos) return false;
    const std::size_t close = text.find(')', open + 1);
    if (close == std::string_view::npos) return false;
    for (std::string_view item : split(text.substr(open + 1, close - open - 1), ',')) {
      if (lowered_item(item) == lowered) return true;
    }
    from = close + 1;
  }
}

std::string ZoomReader::strip_badge(const std::string& name, const Phrases& row, bool is_self) {
  const std::size_t open = name.rfind('(');
  if (open == std::string::npos) return name;
  const std::string_view after = std::string_view(name).substr(open + 1);
  if (!after.ends_with(')')) return name;
  const std::string_view inner = after.substr(0, after.size() - 1);

  const bool self_badge =
      is_self && row.me && has_self_marker(std::string_view(name).substr(open), *row.me);
  bool role_badge = !row.roles.empty();
  if (role_badge) {
    for (std::string_view item : split(inner, ',')) {
      const std::string lowered = lowered_item(item);
      if (std::find(row.roles.begin(), row.roles.end(), lowered) == row.roles.end()) {
        role_badge = false;
        break;
      }
    }
  }
  if (!self_badge && !role_badge) return name;
  return participant_name(std::string_view(name).substr(0, open)).value_or(name);
}

std::optional<ZoomTile> ZoomReader::parse(std::string_view text) {
  for (const Phrases& row : PHRASES) {
    std::size_t end = std::string_view::npos;
    for (std::string_view state : row.states) end = std::min(end, text.find(state));
    if (end == std::string_view::npos) continue;

    std::string_view head = unicode::trim_start(text.substr(0, end));
    ZoomTile tile;
    if (row.video && head.starts_with(*row.video)) {
      head.remove_prefix(row.video->size());
      tile.video = true;
    }
    std::optional<std::string> name = participant_name(head);
    if (!name) continue;
    tile.is_self = row.me && has_self_marker(*name, *row.me);
    tile.name = strip_badge(*name, row, tile.is_self);
    tile.active = row.active && contains(text, *row.active);
    tile.verified = row.verified();
    return tile;
  }
  return std::nullopt;
}

void ZoomReader::collect(const Node& node, std::vector<ZoomTile>& tiles, std::size_t& unparsed) {
  std::vector<std::optional<ZoomTile>> parsed;
  parsed.reserve(node.children.size());
  // Sorted and without repeats: a node among many tiles costs a few comparisons, not a pass
  // over all of them.
  std::vector<std::int32_t> tile_types;
  for (const Node& child : node.children) {
    parsed.push_back(parse(child.name));
    if (parsed.back()) tile_types.push_back(child.control_type);
  }
  std::sort(tile_types.begin(), tile_types.end());
  tile_types.erase(std::unique(tile_types.begin(), tile_types.end()), tile_types.end());
  for (std::size_t i = 0; i < node.children.size(); ++i) {
    if (parsed[i]) {
      tiles.push_back(std::move(*parsed[i]));
      continue;
    }
    const Node& child = node.children[i];
    const std::size_t tiles_before = tiles.size();
    const std::size_t unparsed_before = unparsed;
    collect(child, tiles, unparsed);
    // Looks like a tile among tiles but says nothing we understand.
    if (tiles.size() == tiles_before && unparsed == unparsed_before &&
        std::binary_search(tile_types.begin(), tile_types.end(), child.control_type) &&
        contains(child.name, ",")) {
      ++unparsed;
    }
  }
}

bool ZoomReader::is_user(std::string_view name) const {
  const auto known = [&](std::string_view candidate) {
    return (account && candidate == *account) || (self_name && candidate == *self_name);
  };
  if (known(name)) return true;
  if (!name.ends_with(')')) return false;
  const std::size_t open = name.substr(0, name.size() - 1).rfind('(');
  if (open == std::string_view::npos || !contains(name.substr(open), "/")) return false;
  const std::optional<std::string> base = participant_name(name.substr(0, open));
  return base && known(*base);
}

std::optional<Reading> ZoomReader::read(const Node& root) {
  std::vector<ZoomTile> tiles;
  std::size_t unparsed = 0;
  if (std::optional<ZoomTile> only = parse(root.name)) {
    tiles.push_back(std::move(*only));
  } else {
    collect(root, tiles, unparsed);
  }
  if (tiles.empty()) return std::nullopt;

  Reading reading;
  reading.app = "zoom";
  // A large meeting's participant list makes thousands of tiles: every test for a name already
  // met goes through a hash set instead of the lists.
  std::unordered_set<std::string_view> distinct;
  for (const ZoomTile& tile : tiles) distinct.insert(tile.name);
  reading.participants = distinct.size();
  reading.tiles = tiles.size();
  reading.truncated = unparsed != 0;

  // A language row without the full vocabulary cannot keep the user out of the names.
  if (!std::all_of(tiles.begin(), tiles.end(), [](const ZoomTile& t) { return t.verified; })) {
    reading.truncated = true;
    return reading;
  }
  const auto marked =
      std::find_if(tiles.begin(), tiles.end(), [](const ZoomTile& t) { return t.is_self; });
  if (marked != tiles.end()) self_name = marked->name;
  if (!account && !self_name) {
    reading.truncated = true;
    return reading;
  }

  std::unordered_set<std::string_view> named;
  for (ZoomTile& tile : tiles) {
    if (is_user(tile.name)) tile.is_self = true;
    if (tile.is_self) {
      reading.self_present = true;
    } else if (named.insert(tile.name).second) {
      reading.names.push_back(tile.name);
    }
  }

  bool any_active =
      std::any_of(tiles.begin(), tiles.end(), [](const ZoomTile& t) { return t.active; });
  bool video_active = false;
  if (!any_active) {
    // Without an active speaker phrase, video tiles of one single person show who speaks.
    std::vector<std::string_view> video_names;
    for (const ZoomTile& tile : tiles) {
      if (tile.video && (video_names.empty() || video_names.back() != tile.name)) {
        video_names.push_back(tile.name);
      }
    }
    video_active = video_names.size() == 1;
  }
  std::unordered_set<std::string_view> speaking;
  for (const ZoomTile& tile : tiles) {
    if (!(any_active ? tile.active : video_active && tile.video)) continue;
    if (tile.is_self) {
      reading.self_speaking = true;
    } else if (speaking.insert(tile.name).second) {
      reading.speakers.push_back(tile.name);
    }
  }
  return reading;
}

}  // namespace readers
