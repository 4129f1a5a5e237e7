#include "readers/teams_meet.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tree.hpp"

namespace readers {
namespace {

using test::group;
using test::n;
using test::text;
using test::window;
using Names = std::vector<std::string>;

constexpr auto MENU = CONTROL_TYPE_MENU_ITEM;

// A Teams tile named through its hover container.
Node teams_tile(const std::string& name, bool speaking = false) {
  std::vector<Node> inside{n("", "lpcCommonWeb-hoverTarget", 0, {text(name)}),
                           n("", "vdi-occlusion")};
  if (speaking) inside.push_back(n("", "vdi-frame-occlusion"));
  return n("", "", MENU, std::move(inside));
}

TEST(TeamsReader, NoTileGivesNoReadingWhateverSelfFramesExist) {
  EXPECT_FALSE(TeamsReader::read(group({n("", "vdi-dynamic-occlusion"), text("Ann Lee")})));
  // A MenuItem without occlusion or context-menu phrase is no tile.
  EXPECT_FALSE(TeamsReader::read(group({n("Ann Lee", "", MENU, {text("Ann Lee")})})));
}

TEST(TeamsReader, TileNames) {
  struct Case {
    const char* what;
    Node tile;
    std::optional<std::string> name;
  } cases[] = {
      {"hover container text", teams_tile("Ann Lee"), "Ann Lee"},
      {"tile text without container", n("", "", MENU, {text("  "), text("Bob Ray (Guest)")}),
       "Bob Ray"},
      {"context menu phrase, no text", n("Ann Lee Has context menu", "", MENU), "Ann Lee"},
      {"both phrases", n("Ann Lee, Context menu is available Has context menu", "", MENU),
       "Ann Lee"},
      {"container without text falls back to the tile's texts",
       n("Has context menu", "", MENU, {n("", "lpcCommonWeb-hoverTarget"), text("Cy Do")}),
       "Cy Do"},
      {"blank candidate falls back to the phrase",
       n("Ann Lee Has context menu", "", MENU, {text(" - ")}), "Ann Lee"},
      {"nothing", n("Has context menu", "", MENU), std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(TeamsReader::name(c.tile), c.name) << c.what;
}

TEST(TeamsReader, StripBadges) {
  struct Case {
    const char* name;
    const char* stripped;
  } cases[] = {
      {"Ann Lee, hand raised (guest)", "Ann Lee"},
      {"Ann Lee (GUEST)", "Ann Lee"},
      {"Ann Lee (Gast), Hand gehoben", "Ann Lee"},
      {"(guest)", "(guest)"},    // no longer than the badge
      {" (guest)", " (guest)"},  // nothing would be left
      {"Ann (guest) Lee", "Ann (guest) Lee"},
      {"Ann Lee", "Ann Lee"},
  };
  for (const Case& c : cases) EXPECT_EQ(TeamsReader::strip_badges(c.name), c.stripped) << c.name;
}

TEST(TeamsReader, SelfTilesAndFrames) {
  // A self tile that speaks: present, speaking, counted, but not named.
  const Node self =
      n("", "vdi-dynamic-occlusion", MENU, {text("Me Myself"), n("", "vdi-frame-occlusion")});
  auto r = TeamsReader::read(group({self, teams_tile("Ann Lee")}));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->app, "teams");
  EXPECT_TRUE(r->self_present);
  EXPECT_TRUE(r->self_speaking);
  EXPECT_EQ(r->participants, 2u);
  EXPECT_EQ(r->tiles, 2u);
  EXPECT_EQ(r->names, Names{"Ann Lee"});
  EXPECT_TRUE(r->speakers.empty());

  // "Myself video" marks the user's tile; a self frame outside any tile counts too.
  r = TeamsReader::read(
      group({n("Myself video Has context menu", "", MENU, {text("Me")}), teams_tile("Ann Lee")}));
  EXPECT_TRUE(r->self_present);
  EXPECT_FALSE(r->self_speaking);
  EXPECT_EQ(r->names, Names{"Ann Lee"});
  r = TeamsReader::read(group(
      {n("", "vdi-dynamic-occlusion", 0, {n("", "vdi-frame-occlusion")}), teams_tile("Ann Lee")}));
  EXPECT_TRUE(r->self_present);
  EXPECT_TRUE(r->self_speaking);
  EXPECT_EQ(r->participants, 1u);
}

TEST(TeamsReader, DuplicateNamesAndNestedTiles) {
  const auto r = TeamsReader::read(group({
      teams_tile("Ann Lee", true),
      group({teams_tile("Ann Lee", true)}),
      // Only the outer tile counts; its name and indicator come from inside.
      n("", "", MENU, {n("", "vdi-occlusion"), teams_tile("Inner Tile", true)}),
      teams_tile("Bob Ray"),
  }));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->participants, 4u);
  EXPECT_EQ(r->names, (Names{"Ann Lee", "Inner Tile", "Bob Ray"}));
  EXPECT_EQ(r->speakers, (Names{"Ann Lee", "Inner Tile"}));
  EXPECT_FALSE(r->truncated);
  EXPECT_FALSE(r->blind);
}

TEST(MeetReader, YouMarker) {
  using Range = std::optional<std::pair<std::size_t, std::size_t>>;
  struct Case {
    std::string text;
    Range range;
  } cases[] = {
      {"Ann Lee (Você)", Range({8, 15})},  // "ê" takes two bytes
      {"Ann (you) (tu)", Range({10, 14})}, {"Ann (YOU)", Range({4, 9})},
      {"Ann Lee", std::nullopt},           {"Ann (yo", std::nullopt},
      {"(tú) x", Range({0, 5})},           {"Ann (them)", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(MeetReader::you_marker(c.text), c.range) << c.text;
}

Node meet_tile(const std::string& name, const std::string& classes = "dkjMxf",
               bool speaking = false) {
  std::vector<Node> inside{n("", "zWGUib", 0, {text(name)})};
  if (speaking) inside.push_back(n("", "kssMZb"));
  return n("", classes, 0, std::move(inside));
}

TEST(MeetReader, Names) {
  struct Case {
    const char* what;
    Node tile;
    std::optional<std::string> name;
  } cases[] = {
      {"container text", meet_tile("Ann Lee"), "Ann Lee"},
      {"marker cut out", meet_tile("Ann Lee (du)"), "Ann Lee"},
      {"marker in the middle", meet_tile("Ann(you)Lee"), "AnnLee"},
      {"container's own name", n("", "dkjMxf", 0, {n(" Bob ", "zWGUib")}), "Bob"},
      {"no container", n("", "dkjMxf", 0, {text("Ann Lee")}), std::nullopt},
      {"empty container", n("", "dkjMxf", 0, {n("", "zWGUib")}), std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(MeetReader::name(c.tile), c.name) << c.what;
}

TEST(MeetReader, LearnsTheSelfNameAcrossTilesAndWindows) {
  MeetReader reader;
  auto r = reader.read(group({meet_tile("Ann Lee (you)", "dkjMxf", true), meet_tile("Ann Lee"),
                              meet_tile("Bob Ray", "dkjMxf", true)}));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->app, "meet");
  EXPECT_TRUE(r->self_present);
  EXPECT_TRUE(r->self_speaking);
  EXPECT_EQ(reader.self_name, "Ann Lee");
  EXPECT_EQ(r->participants, 3u);
  EXPECT_EQ(r->names, Names{"Bob Ray"});  // the unmarked "Ann Lee" tile is the user's too
  EXPECT_EQ(r->speakers, Names{"Bob Ray"});

  // Another window, no marker anywhere: the learned name still tells the user's tile.
  r = reader.read(group({meet_tile("Ann Lee", "dkjMxf", true), meet_tile("Cy Do")}));
  EXPECT_TRUE(r->self_present);
  EXPECT_TRUE(r->self_speaking);
  EXPECT_EQ(r->names, Names{"Cy Do"});
  EXPECT_TRUE(r->speakers.empty());

  // The self tile class learns a new name.
  r = reader.read(group({meet_tile("Ann L.", "aGWPv"), meet_tile("Ann Lee")}));
  EXPECT_EQ(reader.self_name, "Ann L.");
  EXPECT_EQ(r->names, Names{"Ann Lee"});
}

TEST(MeetReader, TilesWithoutNamesOnlyCount) {
  MeetReader reader;
  const auto r = reader.read(
      group({n("", "dkjMxf", 0, {text("Ann Lee"), n("", "kssMZb")}), meet_tile("Bob Ray")}));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->participants, 2u);
  EXPECT_EQ(r->names, Names{"Bob Ray"});
  EXPECT_TRUE(r->speakers.empty());
  EXPECT_FALSE(r->self_present);
  EXPECT_FALSE(reader.read(group({text("Ann Lee")})));
}

TEST(MeetReader, SelectReadsEveryWindowSoTheNameIsLearnedAnywhere) {
  MeetReader reader;
  const std::vector<Window> windows{
      window(group({meet_tile("Bob Ray"), meet_tile("Ann Lee")})),
      window(group({meet_tile("Ann Lee (vous)")}), true),
  };
  const auto read = [&](const Node& root) { return reader.read(root); };
  auto r = select(windows, read);
  EXPECT_EQ(r->names, (Names{"Bob Ray", "Ann Lee"}));  // first poll: not known yet
  r = select(windows, read);
  EXPECT_EQ(r->names, Names{"Bob Ray"});
}

}  // namespace
}  // namespace readers
