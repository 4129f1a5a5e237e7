#include "readers/teams_meet.hpp"

#include <vector>

#include "readers/unicode.hpp"

namespace readers {
namespace {

constexpr std::string_view TEAMS_SELF_FRAME_CLASS = "vdi-dynamic-occlusion";
constexpr std::string_view TEAMS_OCCLUSION_CLASS = "vdi-occlusion";
constexpr std::string_view TEAMS_SPEAKING_CLASS = "vdi-frame-occlusion";
constexpr std::string_view TEAMS_NAME_CLASS = "lpcCommonWeb-hoverTarget";
constexpr std::string_view TEAMS_CONTEXT_MENU = "Has context menu";
constexpr std::string_view TEAMS_CONTEXT_MENU_AVAILABLE = "Context menu is available";
constexpr std::string_view TEAMS_SELF_PHRASE = "Myself video";

constexpr std::string_view MEET_TILE_CLASS = "dkjMxf";
constexpr std::string_view MEET_SELF_TILE_CLASS = "aGWPv";
constexpr std::string_view MEET_SPEAKING_CLASS = "kssMZb";
constexpr std::string_view MEET_NAME_CLASS = "zWGUib";

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

const Node* first_with_class(const Node& node, std::string_view cls) {
  return node.first([cls](const Node& n) { return n.has_class(cls); });
}

bool ascii_iequal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) {
      return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

struct TeamsScan {
  std::vector<const Node*> tiles;
  std::vector<const Node*> self_frames;
};

// One post-order pass collects the outermost tiles and self frames, so that the occlusion test
// of a tile costs nothing extra: a node's "holds an occlusion node" is known from its children.
// A node that qualifies replaces whatever its own subtree contributed, which keeps pre-order.
bool scan_teams(const Node& node, TeamsScan& scan) {
  const std::size_t tiles_mark = scan.tiles.size();
  const std::size_t frames_mark = scan.self_frames.size();
  bool occlusion = node.has_class(TEAMS_OCCLUSION_CLASS);
  for (const Node& child : node.children) occlusion = scan_teams(child, scan) || occlusion;

  const bool self_frame = node.has_class(TEAMS_SELF_FRAME_CLASS);
  if (self_frame) {
    scan.self_frames.resize(frames_mark);
    scan.self_frames.push_back(&node);
  }
  if (node.control_type == CONTROL_TYPE_MENU_ITEM &&
      (self_frame || occlusion || contains(node.name, TEAMS_CONTEXT_MENU) ||
       contains(node.name, TEAMS_CONTEXT_MENU_AVAILABLE))) {
    scan.tiles.resize(tiles_mark);
    scan.tiles.push_back(&node);
  }
  return occlusion;
}

std::string_view before(std::string_view text, std::string_view phrase) {
  const std::size_t pos = text.find(phrase);
  return pos == std::string_view::npos ? text : text.substr(0, pos);
}

}  // namespace

std::optional<Reading> TeamsReader::read(const Node& root) {
  TeamsScan scan;
  scan_teams(root, scan);
  if (scan.tiles.empty()) return std::nullopt;

  Reading reading;
  reading.app = "teams";
  reading.participants = scan.tiles.size();
  reading.tiles = scan.tiles.size();
  for (const Node* frame : scan.self_frames) {
    reading.self_present = true;
    if (first_with_class(*frame, TEAMS_SPEAKING_CLASS)) reading.self_speaking = true;
  }
  for (const Node* tile : scan.tiles) {
    const bool speaking = first_with_class(*tile, TEAMS_SPEAKING_CLASS) != nullptr;
    if (is_self(*tile)) {
      reading.self_present = true;
      if (speaking) reading.self_speaking = true;
      continue;
    }
    if (const std::optional<std::string> tile_name = name(*tile)) {
      push_unique(reading.names, *tile_name);
      if (speaking) push_unique(reading.speakers, *tile_name);
    }
  }
  return reading;
}

std::optional<std::string> TeamsReader::name(const Node& tile) {
  std::optional<std::string> candidate;
  if (const Node* container = first_with_class(tile, TEAMS_NAME_CLASS)) {
    candidate = container->first_text();
  }
  if (!candidate) candidate = tile.first_text();
  if (candidate) {
    if (std::optional<std::string> normal = participant_name(*candidate)) {
      return strip_badges(std::move(*normal));
    }
  }
  const std::string_view label =
      before(before(tile.name, TEAMS_CONTEXT_MENU), TEAMS_CONTEXT_MENU_AVAILABLE);
  if (std::optional<std::string> normal = participant_name(label)) {
    return strip_badges(std::move(*normal));
  }
  return std::nullopt;
}

std::string TeamsReader::strip_badges(std::string name) {
  for (;;) {
    const std::string_view* found = nullptr;
    for (const std::string_view& badge : TEAMS_BADGES) {
      if (name.size() <= badge.size()) continue;
      const std::size_t start = name.size() - badge.size();
      if (unicode::is_boundary(name, start) &&
          ascii_iequal(std::string_view(name).substr(start), badge)) {
        found = &badge;
        break;
      }
    }
    if (!found) return name;
    std::optional<std::string> shorter =
        participant_name(std::string_view(name).substr(0, name.size() - found->size()));
    if (!shorter) return name;
    name = std::move(*shorter);
  }
}

bool TeamsReader::is_self(const Node& tile) {
  return tile.has_class(TEAMS_SELF_FRAME_CLASS) || contains(tile.name, TEAMS_SELF_PHRASE);
}

std::optional<std::pair<std::size_t, std::size_t>> MeetReader::you_marker(std::string_view text) {
  if (!contains(text, "(")) return std::nullopt;
  std::array<std::size_t, YOU_MARKERS.size()> marker_chars{};
  for (std::size_t i = 0; i < YOU_MARKERS.size(); ++i) {
    marker_chars[i] = unicode::char_count(YOU_MARKERS[i]);
  }
  std::optional<std::pair<std::size_t, std::size_t>> last;
  for (std::size_t start = 0; start < text.size(); start += unicode::decode(text, start).size) {
    // Every marker begins with "(", and nothing else lower-cases to it.
    if (text[start] != '(') continue;
    const std::string_view rest = text.substr(start);
    for (std::size_t i = 0; i < YOU_MARKERS.size(); ++i) {
      const std::string_view piece = unicode::first_chars(rest, marker_chars[i]);
      if (unicode::char_count(piece) != marker_chars[i]) continue;
      if (unicode::to_lower(piece) == YOU_MARKERS[i]) last = std::pair(start, start + piece.size());
    }
  }
  return last;
}

bool MeetReader::is_self(const Node& tile) {
  return tile.first([](const Node& n) {
    return n.has_class(MEET_SELF_TILE_CLASS) ||
           (n.control_type == CONTROL_TYPE_TEXT && you_marker(n.name).has_value());
  }) != nullptr;
}

std::optional<std::string> MeetReader::name(const Node& tile) {
  const Node* container = first_with_class(tile, MEET_NAME_CLASS);
  if (!container) return std::nullopt;
  std::optional<std::string> raw = container->first_text();
  if (!raw) {
    if (container->name.empty()) return std::nullopt;
    raw = container->name;
  }
  if (const auto marker = you_marker(*raw)) {
    raw = raw->substr(0, marker->first) + raw->substr(marker->second);
  }
  return participant_name(*raw);
}

std::optional<Reading> MeetReader::read(const Node& root) {
  std::vector<const Node*> tiles;
  root.outermost(
      [](const Node& n) {
        return n.has_class(MEET_TILE_CLASS) || n.has_class(MEET_SELF_TILE_CLASS);
      },
      tiles);
  if (tiles.empty()) return std::nullopt;

  Reading reading;
  reading.app = "meet";
  reading.participants = tiles.size();
  reading.tiles = tiles.size();
  for (const Node* tile : tiles) {
    const std::optional<std::string> tile_name = name(*tile);
    const bool speaking = first_with_class(*tile, MEET_SPEAKING_CLASS) != nullptr;
    const bool marked = is_self(*tile);
    if (marked || (tile_name && tile_name == self_name)) {
      reading.self_present = true;
      if (speaking) reading.self_speaking = true;
      if (marked && tile_name) self_name = tile_name;
    } else if (tile_name) {
      push_unique(reading.names, *tile_name);
      if (speaking) push_unique(reading.speakers, *tile_name);
    }
  }
  return reading;
}

}  // namespace readers
