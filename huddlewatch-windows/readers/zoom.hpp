#pragma once
// Reader of the Zoom client: tiles recognised by their element names in the client's language.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "readers/model.hpp"
#include "readers/phrases.hpp"

namespace readers {

struct ZoomTile {
  std::string name;
  bool active = false;
  bool is_self = false;
  bool video = false;
  bool verified = false;
};

struct ZoomReader {
  std::optional<std::string> account;    // as last learned from an account element
  std::optional<std::string> self_name;  // as last learned from a tile marked as the user's

  // Learns the account name from the first window that shows one; a different account
  // forgets the learned self name.
  void learn_account(const std::vector<Window>& windows);
  std::optional<Reading> read(const Node& root);

  static std::optional<std::string> account_name(std::string_view text);
  static std::optional<ZoomTile> parse(std::string_view text);
  static void collect(const Node& node, std::vector<ZoomTile>& tiles, std::size_t& unparsed);
  bool is_user(std::string_view name) const;
  static std::string strip_badge(const std::string& name, const Phrases& row, bool is_self);
  static bool has_self_marker(std::string_view text, std::string_view marker);
};

}  // namespace readers
