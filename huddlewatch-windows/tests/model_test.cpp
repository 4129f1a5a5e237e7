#include "readers/model.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tree.hpp"

namespace readers {
namespace {

using test::group;
using test::n;
using test::text;
using test::window;

std::string repeat(std::string_view piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

TEST(ParticipantName, Normalises) {
  struct Case {
    std::string text;
    std::optional<std::string> name;
  } cases[] = {
      {"  Ann   Lee ,  ", "Ann Lee"},
      {"— | Ann Lee ·", "Ann Lee"},
      {"Lee, Ann", "Lee, Ann"},
      {"Ann\t\u00A0Lee–Smith", "Ann Lee–Smith"},
      {" - ; | -", std::nullopt},
      {"", std::nullopt},
      {"\u3000\u2028", std::nullopt},
      {repeat("x", 200), repeat("x", 128)},
      {repeat("é", 200), repeat("é", 128)},
      {repeat("𝄞", 200), repeat("𝄞", 128)},
      {repeat("a", 127) + " b", repeat("a", 127) + " "},  // the cut text is not trimmed again
  };
  for (const Case& c : cases) EXPECT_EQ(participant_name(c.text), c.name) << c.text;
}

TEST(App, NamesAndLookup) {
  EXPECT_EQ(App(App::Meet).name(), "meet");
  EXPECT_EQ(App(App::Teams).name(), "teams");
  EXPECT_EQ(App(App::Zoom).name(), "zoom");
  EXPECT_EQ(App(App::Teams).debug_name(), "Teams");
  struct Case {
    const char* text;
    std::optional<App> app;
  } cases[] = {
      {"meet", App::Meet},     {"teams", App::Teams},   {"zoom", App::Zoom}, {"Zoom", std::nullopt},
      {" zoom", std::nullopt}, {"zoom ", std::nullopt}, {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(App::from_name(c.text), c.app) << c.text;
}

TEST(Node, HasClassMatchesWholeTokens) {
  const Node node = n("", "alpha beta");
  EXPECT_TRUE(node.has_class("alpha"));
  EXPECT_TRUE(node.has_class("beta"));
  EXPECT_FALSE(node.has_class("alp"));
  EXPECT_FALSE(node.has_class("Alpha"));
  EXPECT_FALSE(node.has_class("alpha beta"));
  EXPECT_FALSE(group({n("", "alpha")}).has_class("alpha"));  // only the node itself
}

TEST(Node, OutermostSkipsInsideMatches) {
  const Node root = group({n("a", "t", 0, {n("inner", "t")}), group({n("b", "t")}), n("c")});
  std::vector<const Node*> found;
  root.outermost([](const Node& x) { return x.has_class("t"); }, found);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0]->name, "a");
  EXPECT_EQ(found[1]->name, "b");
}

TEST(Node, FirstTextSkipsBlankTextAndKeepsTheNameAsStored) {
  const Node root = group({n("label", "", 0), text(" \u00A0"), group({text(" Ann ")}), text("B")});
  EXPECT_EQ(root.first_text(), " Ann ");
  EXPECT_EQ(group({text("  ")}).first_text(), std::nullopt);
  EXPECT_EQ(root.first([](const Node& x) { return x.name == "B"; })->name, "B");
  EXPECT_EQ(root.first([](const Node& x) { return x.name == "none"; }), nullptr);
}

TEST(Node, DebugNotation) {
  const Window w = window(n("a\"b\\\n", "x y", 50020, {n("", "", 0)}), true, false);
  EXPECT_EQ(debug(std::vector<Window>{w}),
            "[\n"
            "    Window {\n"
            "        node: Node {\n"
            "            name: \"a\\\"b\\\\\\n\",\n"
            "            classes: [\n"
            "                \"x\",\n"
            "                \"y\",\n"
            "            ],\n"
            "            control_type: 50020,\n"
            "            children: [\n"
            "                Node {\n"
            "                    name: \"\",\n"
            "                    classes: [],\n"
            "                    control_type: 0,\n"
            "                    children: [],\n"
            "                },\n"
            "            ],\n"
            "        },\n"
            "        hidden: true,\n"
            "        truncated: false,\n"
            "    },\n"
            "]");
  EXPECT_EQ(debug(std::vector<Window>{}), "[]");
  EXPECT_EQ(debug(n("\x01é\u0085\x7f")),
            "Node {\n    name: \"\\u{1}é\\u{85}\\u{7f}\",\n    classes: [],\n    control_type: 0,\n"
            "    children: [],\n}");
}

TEST(PushUnique, DropsExactRepeats) {
  std::vector<std::string> list;
  for (const char* name : {"Ann", "Bob", "Ann", "ann"}) push_unique(list, name);
  EXPECT_EQ(list, (std::vector<std::string>{"Ann", "Bob", "ann"}));
}

// A reader whose readings are named by the root node: "tiles=<n>[ truncated] [speaker]".
std::optional<Reading> fake_read(const Node& root) {
  if (root.name.empty()) return std::nullopt;
  Reading r;
  r.app = "teams";
  r.tiles = static_cast<std::size_t>(std::stoul(root.name));
  r.participants = r.tiles;
  r.truncated = root.has_class("truncated");
  r.speakers = {root.name};
  r.names = {root.name};
  return r;
}

TEST(Select, RanksVisibleThenCompleteThenTiles) {
  struct Case {
    const char* what;
    std::vector<Window> windows;
    std::optional<std::string> winner;  // the winner's first name
  } cases[] = {
      {"no windows", {}, std::nullopt},
      {"no readings", {window(group({})), window(group({}))}, std::nullopt},
      {"hidden 12 loses to visible 1", {window(n("12"), true), window(n("1"))}, "1"},
      {"truncated window loses", {window(n("5"), false, true), window(n("2"))}, "2"},
      {"truncated reading loses", {window(n("5", "truncated")), window(n("2"))}, "2"},
      {"more tiles win", {window(n("2")), window(n("3"))}, "3"},
      {"equal keys keep the earlier", {window(n("04")), window(n("4"))}, "04"},
      {"skips windows without reading", {window(group({})), window(n("1"), true)}, "1"},
  };
  for (const Case& c : cases) {
    int calls = 0;
    const auto reader = [&](const Node& root) {
      ++calls;
      return fake_read(root);
    };
    const std::optional<Reading> best = select(c.windows, reader);
    EXPECT_EQ(calls, static_cast<int>(c.windows.size())) << c.what;
    ASSERT_EQ(best.has_value(), c.winner.has_value()) << c.what;
    if (best) {
      EXPECT_EQ(best->names.front(), *c.winner) << c.what;
    }
  }
}

TEST(Select, SetsBlindAndTruncatedFromTheWindow) {
  const auto hidden = select(std::vector{window(n("3"), true)}, fake_read);
  ASSERT_TRUE(hidden);
  EXPECT_TRUE(hidden->blind);
  EXPECT_TRUE(hidden->speakers.empty());
  EXPECT_EQ(hidden->participants, 3u);
  EXPECT_EQ(hidden->names.size(), 1u);

  const auto cut = select(std::vector{window(n("3"), false, true)}, fake_read);
  ASSERT_TRUE(cut);
  EXPECT_FALSE(cut->blind);
  EXPECT_TRUE(cut->truncated);
  EXPECT_EQ(cut->speakers.size(), 1u);

  // A reader's own truncated flag stays, and a reader's blind flag is replaced.
  const auto own = select(std::vector{window(n("3", "truncated"))}, [](const Node& root) {
    auto r = fake_read(root);
    r->blind = true;
    return r;
  });
  EXPECT_TRUE(own->truncated);
  EXPECT_FALSE(own->blind);
}

Reading reading(std::string_view app, std::vector<std::string> names,
                std::vector<std::string> speakers = {}) {
  Reading r;
  r.app = app;
  r.names = std::move(names);
  r.speakers = std::move(speakers);
  r.participants = r.names.size() + 1;
  r.tiles = r.participants;
  r.self_present = true;
  return r;
}

TEST(SpeakerResolver, SelfSpeakingOrBlindSilencesOthers) {
  SpeakerResolver resolver;
  Reading r = reading("zoom", {"Ann", "Bob"}, {"Ann", "Bob"});
  r.self_speaking = true;
  EXPECT_TRUE(resolver.resolve(r).speakers.empty());

  Reading blind = reading("zoom", {"Ann"}, {"Ann"});
  blind.blind = true;
  EXPECT_TRUE(resolver.resolve(blind).speakers.empty());
  EXPECT_EQ(resolver.seen.size(), 2u);  // names are recorded from blind readings too
}

TEST(SpeakerResolver, TheOneOtherPersonSpeaksUntilASecondNameIsSeen) {
  SpeakerResolver resolver;
  const Reading two = reading("teams", {"Ann"});
  EXPECT_EQ(resolver.resolve(two).speakers, (std::vector<std::string>{"Ann"}));
  EXPECT_EQ(resolver.resolve(two).speakers, (std::vector<std::string>{"Ann"}));

  // The rule needs every condition.
  Reading truncated = two;
  truncated.truncated = true;
  EXPECT_TRUE(resolver.resolve(truncated).speakers.empty());
  Reading no_self = two;
  no_self.self_present = false;
  EXPECT_TRUE(resolver.resolve(no_self).speakers.empty());
  Reading three = two;
  three.participants = 3;
  EXPECT_TRUE(resolver.resolve(three).speakers.empty());

  // Another application keeps its own memory, even for the same name.
  resolver.resolve(reading("meet", {"Ann", "Bob"}));
  EXPECT_EQ(resolver.resolve(two).speakers, (std::vector<std::string>{"Ann"}));
  EXPECT_EQ(resolver.resolve(reading("meet", {"Ann"})).speakers.size(), 0u);

  // A second name in this application ends the rule for good.
  resolver.resolve(reading("teams", {"Bob"}));
  EXPECT_TRUE(resolver.resolve(two).speakers.empty());
  EXPECT_EQ(resolver.seen.size(), 4u);
}

// Polls of three applications with repeats, an empty name and a name seen twice in one
// reading: `seen` keeps each (application, name) once, in order of first sight, and the one
// other person's rule counts the names of its own application only.
TEST(SpeakerResolver, RemembersEachNameOncePerApplicationInOrderOfFirstSight) {
  const std::vector<std::string> none;
  struct Poll {
    Reading reading;
    std::vector<std::string> speakers;
  };
  Reading blind = reading("teams", {"Cy"});
  blind.blind = true;
  const Poll polls[] = {
      {reading("teams", {"Ann"}), {"Ann"}},
      {reading("teams", {"Ann"}), {"Ann"}},
      {reading("meet", {"", "Ann"}), none},
      {reading("zoom", {"Bob", "Bob"}), none},
      {reading("zoom", {"Bob"}), {"Bob"}},
      {reading("meet", {""}), none},
      {blind, none},
      {reading("teams", {"Ann"}), none},
      {reading("zoom", {"Ann"}), none},
      {reading("zoom", {"Bob"}), none},
  };
  SpeakerResolver resolver;
  for (std::size_t i = 0; i < std::size(polls); ++i) {
    EXPECT_EQ(resolver.resolve(polls[i].reading).speakers, polls[i].speakers) << "poll " << i;
  }
  const std::vector<std::pair<std::string_view, std::string>> seen = {
      {"teams", "Ann"}, {"meet", ""},    {"meet", "Ann"},
      {"zoom", "Bob"},  {"teams", "Cy"}, {"zoom", "Ann"}};
  EXPECT_EQ(resolver.seen, seen);
}

TEST(SpeakerResolver, KeepsSpeakersTheReaderFound) {
  SpeakerResolver resolver;
  const Reading r = reading("zoom", {"Ann", "Bob"}, {"Bob"});
  EXPECT_EQ(resolver.resolve(r).speakers, (std::vector<std::string>{"Bob"}));
}

}  // namespace
}  // namespace readers
