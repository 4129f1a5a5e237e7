#include "readers/unicode.hpp"
#include "uia/element.hpp"
#include "uia/text.hpp"

namespace uia {
namespace {

// Calls `piece` with each run of text between runs of white space, as UTF-8.
template <class Piece>
void split_white_space(std::u16string_view text, const Piece& piece) {
  std::string current;
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t cp = next_code_point(text, pos);
    if (!readers::unicode::is_white_space(cp)) {
      readers::unicode::append_utf8(current, cp);
    } else if (!current.empty()) {
      piece(std::move(current));
      current.clear();
    }
  }
  if (!current.empty()) piece(std::move(current));
}

std::string normalised_name(const CachedElement& element) {
  const std::optional<std::u16string> name = element.cached_name();
  std::string out;
  if (!name) return out;
  out.reserve(name->size());
  split_white_space(*name, [&](std::string&& piece) {
    if (!out.empty()) out += ' ';
    out += piece;
  });
  return out;
}

std::vector<std::string> class_tokens(const CachedElement& element) {
  const std::optional<std::u16string> classes = element.cached_class_name();
  std::vector<std::string> tokens;
  if (classes) {
    split_white_space(*classes, [&](std::string&& piece) { tokens.push_back(std::move(piece)); });
  }
  return tokens;
}

}  // namespace

std::optional<readers::Node> convert(const CachedElement& element, std::uint32_t depth,
                                     std::uint32_t& budget, bool& truncated) {
  if (budget == 0) {
    truncated = true;
    return std::nullopt;
  }
  --budget;

  readers::Node node;
  node.name = normalised_name(element);
  node.classes = class_tokens(element);
  node.control_type = element.cached_control_type().value_or(0);

  const std::unique_ptr<CachedChildren> children = element.cached_children();
  if (!children) return node;
  const std::int32_t count = children->length().value_or(0);
  if (depth >= MAX_DEPTH || count <= 0) return node;
  node.children.reserve(std::min(static_cast<std::uint32_t>(count), budget));
  for (std::int32_t index = 0; index < count; ++index) {
    if (budget == 0) {
      truncated = true;
      break;
    }
    const std::unique_ptr<CachedElement> child = children->element(index);
    if (!child) continue;
    if (std::optional<readers::Node> converted = convert(*child, depth + 1, budget, truncated)) {
      node.children.push_back(std::move(*converted));
    }
  }
  return node;
}

}  // namespace uia
