#pragma once
// The Zoom client's UI phrases, one row per client language.
#include <array>
#include <optional>
#include <span>
#include <string_view>

namespace readers {

struct Phrases {
  std::span<const std::string_view> states;  // audio-state phrases ending the name
  std::span<const std::string_view> roles;   // lower-case role badges
  std::optional<std::string_view> active;    // marks the active speaker's tile
  std::optional<std::string_view> me;        // self marker among the badges
  std::optional<std::string_view> video;     // prefix of a video content tile, ends in a blank

  // Rows without the full vocabulary cannot tell the user or roles apart reliably.
  bool verified() const { return video.has_value() && me.has_value() && !roles.empty(); }
};

// Table order decides which row parses a text.
extern const std::array<Phrases, 17> PHRASES;

}  // namespace readers
