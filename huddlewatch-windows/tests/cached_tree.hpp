#pragma once
// A cached element tree held in memory, for the snapshot walk's tests and benchmark. Each
// property, the children array and single children can be made to fail.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "readers/model.hpp"
#include "readers/unicode.hpp"
#include "uia/element.hpp"

namespace uia::test {

struct TestNode {
  std::optional<std::u16string> name = u"";        // nothing: the read fails
  std::optional<std::u16string> class_name = u"";  // nothing: the read fails
  std::optional<std::int32_t> control_type = 0;    // nothing: the read fails
  bool children_fail = false;                      // GetCachedChildren fails
  std::optional<std::int32_t> length;              // Length; nothing: children.size()
  bool length_fails = false;
  std::vector<std::int32_t> failing;  // indices whose GetElement fails
  std::vector<TestNode> children;
};

class TestElement final : public CachedElement {
 public:
  explicit TestElement(const TestNode& node) : node_(node) {}

  std::optional<std::u16string> cached_name() const override { return node_.name; }
  std::optional<std::u16string> cached_class_name() const override { return node_.class_name; }
  std::optional<std::int32_t> cached_control_type() const override { return node_.control_type; }
  std::unique_ptr<CachedChildren> cached_children() const override;

 private:
  const TestNode& node_;
};

class TestChildren final : public CachedChildren {
 public:
  explicit TestChildren(const TestNode& node) : node_(node) {}

  std::optional<std::int32_t> length() const override {
    if (node_.length_fails) return std::nullopt;
    return node_.length.value_or(static_cast<std::int32_t>(node_.children.size()));
  }
  std::unique_ptr<CachedElement> element(std::int32_t index) const override {
    if (index < 0 || static_cast<std::size_t>(index) >= node_.children.size() ||
        std::count(node_.failing.begin(), node_.failing.end(), index) != 0) {
      return nullptr;
    }
    return std::make_unique<TestElement>(node_.children[static_cast<std::size_t>(index)]);
  }

 private:
  const TestNode& node_;
};

inline std::unique_ptr<CachedChildren> TestElement::cached_children() const {
  if (node_.children_fail) return nullptr;
  return std::make_unique<TestChildren>(node_);
}

inline std::u16string utf16(std::string_view text) {
  std::u16string out;
  for (std::size_t pos = 0; pos < text.size();) {
    const readers::unicode::Char c = readers::unicode::decode(text, pos);
    if (c.cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c.cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c.cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c.cp);
    }
    pos += c.size;
  }
  return out;
}

// The cached form of a snapshot node: classes joined with blanks.
inline TestNode cached(const readers::Node& node) {
  TestNode out;
  out.name = utf16(node.name);
  std::string classes;
  for (const std::string& c : node.classes) classes += (classes.empty() ? "" : " ") + c;
  out.class_name = utf16(classes);
  out.control_type = node.control_type;
  for (const readers::Node& child : node.children) out.children.push_back(cached(child));
  return out;
}

}  // namespace uia::test
