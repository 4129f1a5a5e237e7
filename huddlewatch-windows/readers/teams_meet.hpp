#pragma once
// Readers of the Teams client and of Meet pages: tiles found by class names and control types.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "readers/model.hpp"

namespace readers {

// Trailing badges of a Teams name, ASCII letters compared without regard to case.
inline constexpr std::array<std::string_view, 4> TEAMS_BADGES{" (guest)", ", hand raised",
                                                              " (gast)", ", hand gehoben"};

struct TeamsReader {
  static std::optional<Reading> read(const Node& root);
  static std::optional<std::string> name(const Node& tile);
  static std::string strip_badges(std::string name);
  static bool is_self(const Node& tile);
};

// Self markers of a Meet name, compared in lower case.
inline constexpr std::array<std::string_view, 7> YOU_MARKERS{"(you)", "(du)",  "(vous)", "(tú)",
                                                             "(tu)",  "(jij)", "(você)"};

struct MeetReader {
  // The user's own display name, as last learned from a tile marked as the user's.
  std::optional<std::string> self_name;

  std::optional<Reading> read(const Node& root);
  static std::optional<std::string> name(const Node& tile);
  // Byte range of the self marker that starts last in the text.
  static std::optional<std::pair<std::size_t, std::size_t>> you_marker(std::string_view text);
  static bool is_self(const Node& tile);
};

}  // namespace readers
