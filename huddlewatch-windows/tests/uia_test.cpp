#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cached_tree.hpp"
#include "uia/element.hpp"
#include "uia/error.hpp"
#include "uia/text.hpp"

namespace uia {
namespace {

using readers::App;
using readers::Node;
using test::TestElement;
using test::TestNode;

TestNode named(std::u16string name, std::vector<TestNode> children = {}) {
  TestNode node;
  node.name = std::move(name);
  node.children = std::move(children);
  return node;
}

struct Converted {
  std::optional<Node> node;
  std::uint32_t budget;
  bool truncated;
};

Converted run_convert(const TestNode& tree, std::uint32_t budget = ELEMENT_BUDGET) {
  bool truncated = false;
  std::optional<Node> node = convert(TestElement(tree), 0, budget, truncated);
  return {std::move(node), budget, truncated};
}

// Names in pre-order.
void preorder(const Node& node, std::vector<std::string>& names) {
  names.push_back(node.name);
  for (const Node& child : node.children) preorder(child, names);
}

// A tree of `size` nodes named by their pre-order number, fan-out 3, at most 12 levels.
TestNode numbered(std::size_t size, std::size_t& serial) {
  TestNode node = named(test::utf16(std::to_string(serial++)));
  std::size_t rest = size - 1;
  for (std::size_t i = 0; i < 3 && rest > 0; ++i) {
    const std::size_t share = (rest + (2 - i)) / (3 - i);
    node.children.push_back(numbered(share, serial));
    rest -= share;
  }
  return node;
}

TEST(Convert, ElementBudget) {
  struct Case {
    std::size_t size;
    bool truncated;
  } cases[] = {{1, false}, {20000, false}, {20001, true}, {25000, true}};
  for (const Case& c : cases) {
    std::size_t serial = 0;
    const TestNode tree = numbered(c.size, serial);
    const Converted out = run_convert(tree);
    ASSERT_TRUE(out.node);
    EXPECT_EQ(out.truncated, c.truncated) << c.size;
    std::vector<std::string> names;
    preorder(*out.node, names);
    const std::size_t kept = std::min<std::size_t>(c.size, ELEMENT_BUDGET);
    ASSERT_EQ(names.size(), kept) << c.size;
    // Exactly the first elements of the depth-first order.
    for (std::size_t i = 0; i < kept; ++i) ASSERT_EQ(names[i], std::to_string(i)) << c.size;
  }
}

TEST(Convert, ASpentBudgetStopsEveryLevel) {
  // root { a { a1, a2 }, b }: with three elements, a2 and b are left out, and only once marked.
  const TestNode tree = named(u"root", {named(u"a", {named(u"a1"), named(u"a2")}), named(u"b")});
  const Converted out = run_convert(tree, 3);
  ASSERT_TRUE(out.node);
  EXPECT_TRUE(out.truncated);
  EXPECT_EQ(out.budget, 0u);
  std::vector<std::string> names;
  preorder(*out.node, names);
  EXPECT_EQ(names, (std::vector<std::string>{"root", "a", "a1"}));

  const Converted none = run_convert(tree, 0);
  EXPECT_FALSE(none.node);
  EXPECT_TRUE(none.truncated);
}

TEST(Convert, DepthIsCutSilently) {
  struct Case {
    std::size_t chain;  // nodes in a single line below each other
    std::size_t kept;
  } cases[] = {{80, 80}, {81, 81}, {82, 81}, {200, 81}};
  for (const Case& c : cases) {
    TestNode tree = named(u"leaf");
    for (std::size_t i = 1; i < c.chain; ++i) tree = named(u"n", {std::move(tree)});
    const Converted out = run_convert(tree);
    ASSERT_TRUE(out.node);
    EXPECT_FALSE(out.truncated) << c.chain;
    std::vector<std::string> names;
    preorder(*out.node, names);
    EXPECT_EQ(names.size(), c.kept) << c.chain;
    EXPECT_EQ(out.budget, ELEMENT_BUDGET - c.kept) << c.chain;
  }
}

TEST(Convert, Properties) {
  struct Case {
    const char* what;
    std::optional<std::u16string> name;
    std::optional<std::u16string> class_name;
    std::optional<std::int32_t> control_type;
    std::string expected_name;
    std::vector<std::string> expected_classes;
    std::int32_t expected_type;
  } cases[] = {
      {"plain", u"Ann Lee", u"tile", 50020, "Ann Lee", {"tile"}, 50020},
      {"blank name", u" \t\r\n\u00A0\u2028 ", u"", 50011, "", {}, 50011},
      {"runs of white space", u"  Ann \t\u3000 Lee\n", u"a  b", 0, "Ann Lee", {"a", "b"}, 0},
      {"class of blanks only", u"x", u"   ", 0, "x", {}, 0},
      {"class with odd white space", u"x", u"\u2003a\tb\u00A0c ", 0, "x", {"a", "b", "c"}, 0},
      {"unpaired surrogates",
       u"A\xD800"
       u"B\xDC00",
       u"c\xDBFF",
       0,
       "A\uFFFDB\uFFFD",
       {"c\uFFFD"},
       0},
      {"non-ASCII kept",
       u"Zo\u00EB \U0001F600",
       u"k\u00E4se",
       -1,
       "Zo\u00EB \U0001F600",
       {"k\u00E4se"},
       -1},
      {"reads that fail", std::nullopt, std::nullopt, std::nullopt, "", {}, 0},
  };
  for (const Case& c : cases) {
    TestNode tree;
    tree.name = c.name;
    tree.class_name = c.class_name;
    tree.control_type = c.control_type;
    const Converted out = run_convert(tree);
    ASSERT_TRUE(out.node) << c.what;
    EXPECT_EQ(out.node->name, c.expected_name) << c.what;
    EXPECT_EQ(out.node->classes, c.expected_classes) << c.what;
    EXPECT_EQ(out.node->control_type, c.expected_type) << c.what;
    EXPECT_FALSE(out.truncated) << c.what;
  }
}

TEST(Convert, ChildrenThatCannotBeRead) {
  const auto three = [] { return named(u"p", {named(u"a"), named(u"b"), named(u"c")}); };
  struct Case {
    const char* what;
    std::function<void(TestNode&)> spoil;
    std::vector<std::string> names;  // in pre-order
  } cases[] = {
      {"all readable", [](TestNode&) {}, {"p", "a", "b", "c"}},
      {"no children array", [](TestNode& n) { n.children_fail = true; }, {"p"}},
      {"no length", [](TestNode& n) { n.length_fails = true; }, {"p"}},
      {"negative length", [](TestNode& n) { n.length = -1; }, {"p"}},
      {"shorter length", [](TestNode& n) { n.length = 2; }, {"p", "a", "b"}},
      {"middle child fails", [](TestNode& n) { n.failing = {1}; }, {"p", "a", "c"}},
      {"length beyond the array", [](TestNode& n) { n.length = 5; }, {"p", "a", "b", "c"}},
  };
  for (const Case& c : cases) {
    TestNode tree = three();
    c.spoil(tree);
    const Converted out = run_convert(tree);
    ASSERT_TRUE(out.node) << c.what;
    std::vector<std::string> names;
    preorder(*out.node, names);
    EXPECT_EQ(names, c.names) << c.what;
    EXPECT_FALSE(out.truncated) << c.what;
    // Children that are passed over spend nothing.
    EXPECT_EQ(out.budget, ELEMENT_BUDGET - c.names.size()) << c.what;
  }
}

TEST(AppForExecutable, Names) {
  struct Case {
    const char* name;
    std::optional<App> app;
  } cases[] = {
      {"Zoom.exe", App::Zoom},      {"ZOOM.EXE", App::Zoom},
      {"zoom.exe", App::Zoom},      {"ms-teams.exe", App::Teams},
      {"MS-Teams.EXE", App::Teams}, {"Teams.exe", std::nullopt},
      {"chrome.exe", App::Meet},    {"msedge.exe", App::Meet},
      {"brave.exe", App::Meet},     {"vivaldi.exe", App::Meet},
      {"arc.exe", App::Meet},       {"Opera.exe", App::Meet},
      {"chromium.exe", App::Meet},  {"firefox.exe", std::nullopt},
      {"zoom.exe ", std::nullopt},  {"zoom", std::nullopt},
      {"", std::nullopt},           {"\xC3\x9Aoom.exe", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(app_for_executable(c.name), c.app) << c.name;
}

TEST(IsMeetTitle, FullLowerCasing) {
  struct Case {
    const char* title;
    bool meet;
  } cases[] = {
      {"Meet - abc-defg-hij", true},
      {"MEET", true},
      {"Weekly Meeting", true},
      {"meet", true},
      {"Me et", false},
      {"Inbox - Mail", false},
      {"", false},
      // Full-width letters are other characters; lower-casing does not fold them.
      {"\xEF\xBC\xAD\xEF\xBC\xA5\xEF\xBC\xA5\xEF\xBC\xB4", false},
      // U+212A KELVIN SIGN lower-cases to "k"; U+0130 to "i" and a combining dot: the text around
      // stays searchable.
      {"\xE2\x84\xAA\xC4\xB0MEET", true},
      {"\xCE\xA3MEET", true},
  };
  for (const Case& c : cases) EXPECT_EQ(is_meet_title(c.title), c.meet) << c.title;
}

TEST(FromUtf16, Conversion) {
  EXPECT_EQ(from_utf16(u""), "");
  EXPECT_EQ(from_utf16(u"Zoom.exe"), "Zoom.exe");
  EXPECT_EQ(from_utf16(u"\u00E9\u4E2D\U0001F600"), "\u00E9\u4E2D\U0001F600");
  EXPECT_EQ(from_utf16(std::u16string_view(u"a\xDC00\xD800", 3)), "a\uFFFD\uFFFD");
  EXPECT_EQ(from_utf16(std::u16string(1, u'\0')), std::string(1, '\0'));
}

TEST(Error, Text) {
  EXPECT_EQ((Error{static_cast<std::int32_t>(0x80040154), "Class not registered"}.text()),
            "Class not registered (0x80040154)");
  EXPECT_EQ((Error{static_cast<std::int32_t>(0x80040154), ""}.text()), "0x80040154");
  EXPECT_EQ((Error{0x1, "x"}.text()), "x (0x00000001)");
}

}  // namespace
}  // namespace uia
