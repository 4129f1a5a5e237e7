#include "readers/unicode.hpp"
#include "uia/element.hpp"
#include "uia/text.hpp"

namespace uia {
namespace {

// The pieces of the text between runs of white space.
template <class Piece>
void for_each_piece(std::string_view text, const Piece& piece) {
  std::size_t start = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const readers::unicode::Char c = readers::unicode::decode(text, pos);
    if (readers::unicode::is_white_space(c.cp)) {
      if (pos > start) piece(text.substr(start, pos - start));
      start = pos + c.size;
    }
    pos += c.size;
  }
  if (pos > start) piece(text.substr(start, pos - start));
}

std::string normalised_name(const CachedElement& element) {
  const std::string name = from_utf16(element.cached_name().value_or(std::u16string()));
  std::string out;
  out.reserve(name.size());
  for_each_piece(name, [&](std::string_view piece) {
    if (!out.empty()) out += ' ';
    out.append(piece);
  });
  return out;
}

std::vector<std::string> class_tokens(const CachedElement& element) {
  const std::string classes = from_utf16(element.cached_class_name().value_or(std::u16string()));
  std::vector<std::string> tokens;
  for_each_piece(classes, [&](std::string_view piece) { tokens.emplace_back(piece); });
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
  if (depth >= MAX_DEPTH) return node;
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
