#pragma once
// The snapshot walk over a cached UI Automation tree. The walk reads cached values only; the
// element is abstract so that the UI Automation element (Windows side) and test trees can feed it.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "readers/model.hpp"

namespace uia {

// Elements of one window snapshot, shared by the whole walk, and levels below the window.
inline constexpr std::uint32_t ELEMENT_BUDGET = 20000;
inline constexpr std::uint32_t MAX_DEPTH = 80;

class CachedChildren;

// One element with its cached properties. Every read may fail: a failed read gives nothing.
class CachedElement {
 public:
  virtual ~CachedElement() = default;
  virtual std::optional<std::u16string> cached_name() const = 0;        // CachedName
  virtual std::optional<std::u16string> cached_class_name() const = 0;  // CachedClassName
  virtual std::optional<std::int32_t> cached_control_type() const = 0;  // CachedControlType
  // GetCachedChildren; nothing when it fails or gives no array.
  virtual std::unique_ptr<CachedChildren> cached_children() const = 0;
};

// The cached children array of an element.
class CachedChildren {
 public:
  virtual ~CachedChildren() = default;
  virtual std::optional<std::int32_t> length() const = 0;  // Length
  // GetElement; nothing when it fails.
  virtual std::unique_ptr<CachedElement> element(std::int32_t index) const = 0;
};

// Turns the element and its cached subtree into a Node. Spends one element of the budget per
// node, depth first, parent before children; when the budget is spent, sets `truncated` and takes
// no more nodes at any level. Nodes at MAX_DEPTH get no children, without a mark. Nothing when the
// budget was already spent.
std::optional<readers::Node> convert(const CachedElement& element, std::uint32_t depth,
                                     std::uint32_t& budget, bool& truncated);

}  // namespace uia
