#include "readers/unicode.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "uia/element.hpp"
#include "uia/text.hpp"

namespace uia {
namespace {

// The name with each run of white space made one blank, none at either end.
std::string normalised_name(const CachedElement& element) {
  const std::optional<std::u16string> name = element.cached_name();
  std::string out;
  if (!name) return out;
  out.reserve(name->size());
  bool blank = false;  // white space since the last character kept
  for (std::size_t pos = 0; pos < name->size();) {
    const char32_t cp = next_code_point(*name, pos);
    if (readers::unicode::is_white_space(cp)) {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    readers::unicode::append_utf8(out, cp);
  }
  return out;
}

std::vector<std::string> class_tokens(const CachedElement& element) {
  const std::optional<std::u16string> classes = element.cached_class_name();
  std::vector<std::string> tokens;
  if (!classes) return tokens;
  std::string token;
  for (std::size_t pos = 0; pos < classes->size();) {
    const char32_t cp = next_code_point(*classes, pos);
    if (!readers::unicode::is_white_space(cp)) {
      readers::unicode::append_utf8(token, cp);
    } else if (!token.empty()) {
      tokens.push_back(std::move(token));
      token.clear();
    }
  }
  if (!token.empty()) tokens.push_back(std::move(token));
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
