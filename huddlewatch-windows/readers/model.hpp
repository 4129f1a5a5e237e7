#pragma once
// Records that flow through the speaker readers, and the operations all readers share.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace readers {

// A watched meeting application.
class App {
 public:
  enum Value : std::uint8_t { Meet, Teams, Zoom };

  constexpr App(Value value) : value_(value) {}  // NOLINT: App::Zoom reads as an App

  // Key of the application outside the program ("meet", "teams", "zoom").
  std::string_view name() const;
  // Name used by the window dump ("Meet", "Teams", "Zoom").
  std::string_view debug_name() const;
  // Exact, case-sensitive inverse of `name`.
  static std::optional<App> from_name(std::string_view name);

  constexpr Value value() const { return value_; }
  friend constexpr bool operator==(App a, App b) { return a.value_ == b.value_; }

 private:
  Value value_;
};

inline constexpr std::int32_t CONTROL_TYPE_TEXT = 50020;
inline constexpr std::int32_t CONTROL_TYPE_MENU_ITEM = 50011;

// Snapshot of one UI Automation element with its subtree.
struct Node {
  std::string name;
  std::vector<std::string> classes;
  std::int32_t control_type = 0;
  std::vector<Node> children;

  // Pre-order search of the subtree, this node first.
  template <class Test>
  const Node* first(const Test& test) const {
    if (test(*this)) return this;
    for (const Node& child : children) {
      if (const Node* found = child.first(test)) return found;
    }
    return nullptr;
  }

  // Name of the first Text node of the subtree whose name is not blank, as stored.
  std::optional<std::string> first_text() const;

  bool has_class(std::string_view cls) const;

  // Appends the outermost nodes that pass the test, in pre-order.
  template <class Test>
  void outermost(const Test& test, std::vector<const Node*>& out) const {
    if (test(*this)) {
      out.push_back(this);
      return;
    }
    for (const Node& child : children) child.outermost(test, out);
  }
};

// Snapshot of one top-level window.
struct Window {
  Node node;
  bool hidden = false;     // minimised or cloaked
  bool truncated = false;  // the snapshot stopped early
};

// The reading of one application in one poll.
struct Reading {
  std::string_view app;
  std::vector<std::string> speakers;
  std::vector<std::string> names;
  std::size_t participants = 0;
  std::size_t tiles = 0;
  bool truncated = false;
  bool self_present = false;
  bool self_speaking = false;
  bool blind = false;
};

// Multi-line debug notation of the window dump.
std::string debug(const Node& node);
std::string debug(const Window& window);
std::string debug(const std::vector<Window>& windows);

// Normalises a displayed participant name; nothing when no name is left.
std::optional<std::string> participant_name(std::string_view text);

void push_unique(std::vector<std::string>& list, std::string_view text);

namespace detail {
// Folds one window's reading into the best one so far.
void rank(std::optional<Reading>& best, Reading reading, const Window& window);
void finish(std::optional<Reading>& best);
}  // namespace detail

// Runs the reader over every window (also after a good reading was found, since readers learn
// from what they see) and keeps the best reading: visible first, then complete, then most tiles.
template <class Reader>
std::optional<Reading> select(const std::vector<Window>& windows, Reader&& reader) {
  std::optional<Reading> best;
  for (const Window& window : windows) {
    std::optional<Reading> reading = reader(window.node);
    if (reading) detail::rank(best, std::move(*reading), window);
  }
  detail::finish(best);
  return best;
}

// Speaker rules that need memory across polls and the user's own state.
struct SpeakerResolver {
  // Every distinct (application, participant name) seen since start-up, in order of first sight.
  std::vector<std::pair<std::string_view, std::string>> seen;

  Reading resolve(Reading reading);

 private:
  // The names of `seen` once more, by application: a webinar brings thousands of names to every
  // poll, and each is looked up, and an application's names counted, without a walk of `seen`.
  // Only `resolve` adds to either, always to both.
  std::unordered_map<std::string_view, std::unordered_set<std::string>> names_by_app_;
};

}  // namespace readers
