#pragma once
// Compact construction of snapshot trees for the reader tests.
#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "readers/model.hpp"

namespace readers::test {

// A node with its name, its class name (split at blanks), control type and children.
inline Node n(std::string name, const std::string& classes = "", std::int32_t type = 0,
              std::vector<Node> children = {}) {
  Node node;
  node.name = std::move(name);
  std::istringstream tokens(classes);
  for (std::string token; tokens >> token;) node.classes.push_back(token);
  node.control_type = type;
  node.children = std::move(children);
  return node;
}

// A plain group holding the children.
inline Node group(std::vector<Node> children) {
  return n("", "", 0, std::move(children));
}

inline Node text(std::string name) {
  return n(std::move(name), "", CONTROL_TYPE_TEXT);
}

inline Window window(Node node, bool hidden = false, bool truncated = false) {
  return Window{std::move(node), hidden, truncated};
}

}  // namespace readers::test
