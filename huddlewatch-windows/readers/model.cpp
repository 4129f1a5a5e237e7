#include "readers/model.hpp"

#include <algorithm>
#include <array>
#include <tuple>

#include "readers/unicode.hpp"

namespace readers {
namespace {

struct AppNames {
  App::Value value;
  std::string_view name;
  std::string_view debug_name;
};

constexpr std::array<AppNames, 3> APP_NAMES{{
    {App::Meet, "meet", "Meet"},
    {App::Teams, "teams", "Teams"},
    {App::Zoom, "zoom", "Zoom"},
}};

constexpr std::size_t NAME_MAX_CHARS = 128;

// Separators that are cut from both ends of a participant name (besides white space).
constexpr std::array<char32_t, 8> NAME_SEPARATORS{U',',      U';',      U':',      U'-',
                                                  U'\u2013', U'\u2014', U'\u00B7', U'|'};

bool is_name_edge(char32_t cp) {
  return unicode::is_white_space(cp) ||
         std::find(NAME_SEPARATORS.begin(), NAME_SEPARATORS.end(), cp) != NAME_SEPARATORS.end();
}

// Debug notation ----------------------------------------------------------------------------

constexpr int INDENT = 4;

void indent(std::string& out, int level) {
  out.append(static_cast<std::size_t>(level * INDENT), ' ');
}

void quote(std::string& out, std::string_view text) {
  static constexpr char HEX[] = "0123456789abcdef";
  out += '"';
  for (std::size_t pos = 0; pos < text.size();) {
    const unicode::Char c = unicode::decode(text, pos);
    switch (c.cp) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case 0:
        out += "\\0";
        break;
      default:
        if (c.cp < 0x20 || (c.cp >= 0x7F && c.cp <= 0x9F)) {  // C0, DEL and C1 controls
          out += "\\u{";
          if (c.cp >= 0x10) out += HEX[c.cp >> 4];
          out += HEX[c.cp & 0xF];
          out += '}';
        } else {
          out.append(text.substr(pos, c.size));
        }
    }
    pos += c.size;
  }
  out += '"';
}

// Writes a list; `item` writes one element starting at the current column at `level`.
template <class T, class Item>
void write_list(std::string& out, const std::vector<T>& list, int level, const Item& item) {
  if (list.empty()) {
    out += "[]";
    return;
  }
  out += "[\n";
  for (const T& element : list) {
    indent(out, level + 1);
    item(element, level + 1);
    out += ",\n";
  }
  indent(out, level);
  out += ']';
}

void field(std::string& out, int level, std::string_view name) {
  indent(out, level);
  out.append(name);
  out += ": ";
}

void write_node(std::string& out, const Node& node, int level) {
  out += "Node {\n";
  field(out, level + 1, "name");
  quote(out, node.name);
  out += ",\n";
  field(out, level + 1, "classes");
  write_list(out, node.classes, level + 1, [&](const std::string& c, int) { quote(out, c); });
  out += ",\n";
  field(out, level + 1, "control_type");
  out += std::to_string(node.control_type);
  out += ",\n";
  field(out, level + 1, "children");
  write_list(out, node.children, level + 1,
             [&](const Node& child, int l) { write_node(out, child, l); });
  out += ",\n";
  indent(out, level);
  out += '}';
}

void write_window(std::string& out, const Window& window, int level) {
  out += "Window {\n";
  field(out, level + 1, "node");
  write_node(out, window.node, level + 1);
  out += ",\n";
  field(out, level + 1, "hidden");
  out += window.hidden ? "true" : "false";
  out += ",\n";
  field(out, level + 1, "truncated");
  out += window.truncated ? "true" : "false";
  out += ",\n";
  indent(out, level);
  out += '}';
}

}  // namespace

std::string_view App::name() const {
  return APP_NAMES[value_].name;
}

std::string_view App::debug_name() const {
  return APP_NAMES[value_].debug_name;
}

std::optional<App> App::from_name(std::string_view name) {
  for (const AppNames& app : APP_NAMES) {
    if (app.name == name) return App(app.value);
  }
  return std::nullopt;
}

std::optional<std::string> Node::first_text() const {
  const Node* found = first([](const Node& n) {
    return n.control_type == CONTROL_TYPE_TEXT && !unicode::trim(n.name).empty();
  });
  if (!found) return std::nullopt;
  return found->name;
}

bool Node::has_class(std::string_view cls) const {
  return std::find(classes.begin(), classes.end(), cls) != classes.end();
}

std::string debug(const Node& node) {
  std::string out;
  write_node(out, node, 0);
  return out;
}

std::string debug(const Window& window) {
  std::string out;
  write_window(out, window, 0);
  return out;
}

std::string debug(const std::vector<Window>& windows) {
  std::string out;
  write_list(out, windows, 0, [&](const Window& w, int level) { write_window(out, w, level); });
  return out;
}

std::optional<std::string> participant_name(std::string_view text) {
  // Collapse white space runs to one blank, dropping them at both ends.
  std::string joined;
  joined.reserve(text.size());
  bool pending_space = false;
  for (std::size_t pos = 0; pos < text.size();) {
    const unicode::Char c = unicode::decode(text, pos);
    if (unicode::is_white_space(c.cp)) {
      pending_space = !joined.empty();
    } else {
      if (pending_space) joined += ' ';
      pending_space = false;
      joined.append(text.substr(pos, c.size));
    }
    pos += c.size;
  }

  // Cut separators and white space from both ends.
  std::size_t begin = 0;
  while (begin < joined.size()) {
    const unicode::Char c = unicode::decode(joined, begin);
    if (!is_name_edge(c.cp)) break;
    begin += c.size;
  }
  std::size_t end = begin;
  for (std::size_t pos = begin; pos < joined.size();) {
    const unicode::Char c = unicode::decode(joined, pos);
    pos += c.size;
    if (!is_name_edge(c.cp)) end = pos;
  }
  if (end == begin) return std::nullopt;
  return std::string(
      unicode::first_chars(std::string_view(joined).substr(begin, end - begin), NAME_MAX_CHARS));
}

void push_unique(std::vector<std::string>& list, std::string_view text) {
  if (std::find(list.begin(), list.end(), text) == list.end()) list.emplace_back(text);
}

namespace detail {

void rank(std::optional<Reading>& best, Reading reading, const Window& window) {
  reading.blind = window.hidden;
  reading.truncated = reading.truncated || window.truncated;
  const auto key = [](const Reading& r) { return std::tuple(!r.blind, !r.truncated, r.tiles); };
  if (!best || key(reading) > key(*best)) best = std::move(reading);
}

void finish(std::optional<Reading>& best) {
  if (best && best->blind) best->speakers.clear();
}

}  // namespace detail

Reading SpeakerResolver::resolve(Reading reading) {
  std::unordered_set<std::string>& names = names_by_app_[reading.app];
  for (const std::string& name : reading.names) {
    if (names.insert(name).second) seen.emplace_back(reading.app, name);
  }

  if (reading.self_speaking || reading.blind) {
    reading.speakers.clear();
  } else if (reading.speakers.empty() && !reading.truncated && reading.self_present &&
             reading.names.size() == 1 && reading.participants <= 2 && names.size() == 1) {
    // A call of the user and one other person: while the user's tile shows no speaking
    // indicator, the other one is the one talking.
    reading.speakers = reading.names;
  }
  return reading;
}

}  // namespace readers
