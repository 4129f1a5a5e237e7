#include "readers/zoom.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "readers/unicode.hpp"
#include "tree.hpp"

namespace readers {
namespace {

using test::group;
using test::n;
using test::window;
using Names = std::vector<std::string>;

constexpr std::int32_t LIST_ITEM = 50007;

TEST(Phrases, TableRows) {
  ASSERT_EQ(PHRASES.size(), 17u);
  int verified = 0;
  for (const Phrases& row : PHRASES) {
    verified += row.verified();
    if (row.video) {
      EXPECT_TRUE(row.video->ends_with(" ") && !row.video->ends_with("  ")) << *row.video;
    }
    for (std::string_view role : row.roles) EXPECT_EQ(unicode::to_lower(role), role);
    std::vector<std::string_view> texts(row.states.begin(), row.states.end());
    texts.insert(texts.end(), row.roles.begin(), row.roles.end());
    for (const auto& text : {row.active, row.me}) {
      if (text) texts.push_back(*text);
    }
    for (std::string_view text : texts) EXPECT_EQ(unicode::trim(text), text);
  }
  EXPECT_EQ(verified, 7);
  EXPECT_EQ(PHRASES[3].states[0], "Son de l'ordinateur rétabli");
  EXPECT_EQ(PHRASES[16].active, "현재 발표자");
  EXPECT_EQ(PHRASES[8].me, "jag");
  EXPECT_FALSE(PHRASES[8].verified());  // a self marker alone is not enough
}

TEST(ZoomReader, ParseTileTexts) {
  struct Case {
    const char* text;
    std::optional<std::string> name;
    bool active = false, is_self = false, video = false, verified = true;
  } cases[] = {
      {"Ann Lee, Computer audio muted", "Ann Lee"},
      {"Video content Ann Lee, Computer audio unmuted", "Ann Lee", false, false, true},
      {"Ann Lee (Host, me), Computer audio muted", "Ann Lee", false, true},
      {"Ann Lee (Co-Host, Guest), Telephone muted", "Ann Lee"},
      {"Ann Lee (Host), Telephone muted", "Ann Lee"},
      {"Ann Lee (she/her), Computer audio muted", "Ann Lee (she/her)"},
      {"Ann Lee (me), Computer audio muted", "Ann Lee", false, true},
      {"Ann Lee (friend), Computer audio muted", "Ann Lee (friend)"},
      {"(Host), Computer audio muted", "(Host)"},  // nothing would be left
      {"Ann Lee, Computer audio unmuted, Active speaker", "Ann Lee", true},
      {"Ann Lee, Telephone muted, Computer audio muted", "Ann Lee"},  // earliest phrase ends it
      {"  Ann Lee, No audio connected", "Ann Lee"},
      {"Marie Curie (Hôte, MOI), Son de l'ordinateur rétabli, Intervenant actif", "Marie Curie",
       true, true},
      {"Videoinhalt Max Muster, Bei Computeraudio Stummschaltung aktiviert", "Max Muster", false,
       false, true},
      {"Jan Kowalski, Dźwięk z komputera wyciszony, Aktywny mówca", "Jan Kowalski", true, false,
       false, false},
      {"王伟 电脑音频静音", "王伟", false, false, false, false},
      // A state phrase at the very start gives no name in that row; later rows are tried.
      {"Computer audio muted Ann, Computeraudio gedempt", "Computer audio muted Ann"},
      {"Computer audio muted", std::nullopt},
      {"Ann Lee, audio muted", std::nullopt},
      // The earlier row parses a text holding phrases of two rows.
      {"Ann, Computeraudio gedempt, Computer audio muted", "Ann, Computeraudio gedempt"},
  };
  for (const Case& c : cases) {
    const std::optional<ZoomTile> tile = ZoomReader::parse(c.text);
    ASSERT_EQ(tile.has_value(), c.name.has_value()) << c.text;
    if (!tile) continue;
    EXPECT_EQ(tile->name, *c.name) << c.text;
    EXPECT_EQ(tile->active, c.active) << c.text;
    EXPECT_EQ(tile->is_self, c.is_self) << c.text;
    EXPECT_EQ(tile->video, c.video) << c.text;
    EXPECT_EQ(tile->verified, c.verified) << c.text;
  }
}

TEST(ZoomReader, SelfMarkerAndBadge) {
  EXPECT_TRUE(ZoomReader::has_self_marker("Ann (x) (Host,  ME )", "me"));
  EXPECT_TRUE(ZoomReader::has_self_marker("Budi (saya)", "Saya"));
  EXPECT_FALSE(ZoomReader::has_self_marker("Ann (Host) me", "me"));
  EXPECT_FALSE(ZoomReader::has_self_marker("Ann (me", "me"));
  EXPECT_FALSE(ZoomReader::has_self_marker("Ann (mine)", "me"));
  const Phrases& en = PHRASES[0];
  EXPECT_EQ(ZoomReader::strip_badge("Ann (me)", en, false), "Ann (me)");  // not marked
  EXPECT_EQ(ZoomReader::strip_badge("Ann (Host) x", en, false), "Ann (Host) x");
  EXPECT_EQ(ZoomReader::strip_badge("Ann (Guest) (Host)", en, false), "Ann (Guest)");  // once
  EXPECT_EQ(ZoomReader::strip_badge("Ann (host)", PHRASES[8], false), "Ann (host)");   // no roles
}

TEST(ZoomReader, AccountNames) {
  struct Case {
    const char* text;
    std::optional<std::string> name;
  } cases[] = {
      {"Zoom, Ann Lee, Pro, Signed in", "Ann Lee"},
      {"Zoom, Lee, Ann, Pro, Signed in", "Lee, Ann"},
      {"Zoom, Ann, Pro", "Ann"},
      {"Zoom, Ann", std::nullopt},
      {"Zoom, Ann,  , ", std::nullopt},
      {"Zoom, Ann, , x", "Ann"},
      {"zoom, Ann Lee, Pro, Signed in", std::nullopt},
      {"Zoom,Ann, Pro", std::nullopt},
      {"Zoom, , Pro", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ZoomReader::account_name(c.text), c.name) << c.text;
}

TEST(ZoomReader, LearnAccountTakesTheFirstWindowAndForgetsSelfOnChange) {
  ZoomReader reader;
  reader.learn_account({window(group({n("Meeting")}))});
  EXPECT_FALSE(reader.account);

  reader.self_name = "Me";
  reader.learn_account(
      {window(group({n("x"), group({n("Zoom, Ann Lee, Pro, in")})})), window(n("Zoom, Bob, Pro"))});
  EXPECT_EQ(reader.account, "Ann Lee");
  EXPECT_EQ(reader.self_name, "Me");  // the first account learned clears nothing

  reader.learn_account({window(group({}))});  // no account shown: no change
  EXPECT_EQ(reader.account, "Ann Lee");
  reader.learn_account({window(n("Zoom, Ann Lee, Pro, in"))});
  EXPECT_EQ(reader.self_name, "Me");
  reader.learn_account({window(group({})), window(n("Zoom, Bob, Pro"))});
  EXPECT_EQ(reader.account, "Bob");
  EXPECT_FALSE(reader.self_name);
}

TEST(ZoomReader, IsUser) {
  ZoomReader reader;
  EXPECT_FALSE(reader.is_user("Ann Lee"));
  reader.account = "Ann Lee";
  EXPECT_TRUE(reader.is_user("Ann Lee"));
  EXPECT_TRUE(reader.is_user("Ann Lee (she/her)"));
  EXPECT_FALSE(reader.is_user("Ann Lee (friend)"));
  EXPECT_FALSE(reader.is_user("ann lee"));
  reader.account.reset();
  reader.self_name = "Me Too";
  EXPECT_TRUE(reader.is_user("Me Too (he/him)"));
}

Node tile(const std::string& text) {
  return n(text, "", LIST_ITEM);
}

TEST(ZoomReader, UnknownUserGivesATruncatedCount) {
  ZoomReader reader;
  const Node root =
      group({tile("Ann Lee, Computer audio unmuted, Active speaker"),
             tile("Bob Ray, Computer audio muted"), tile("Bob Ray, Telephone muted")});
  auto r = reader.read(root);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->app, "zoom");
  EXPECT_TRUE(r->truncated);
  EXPECT_EQ(r->participants, 2u);
  EXPECT_EQ(r->tiles, 3u);
  EXPECT_TRUE(r->names.empty());
  EXPECT_TRUE(r->speakers.empty());

  reader.account = "Cy Do";
  r = reader.read(root);
  EXPECT_FALSE(r->truncated);
  EXPECT_FALSE(r->self_present);
  EXPECT_EQ(r->names, (Names{"Ann Lee", "Bob Ray"}));
  EXPECT_EQ(r->speakers, Names{"Ann Lee"});
}

TEST(ZoomReader, SelfTilesByMarkerAccountAndLearnedName) {
  ZoomReader reader;
  auto r = reader.read(group({tile("Ann Lee (me), Computer audio unmuted, Active speaker"),
                              tile("Bob Ray (Host), Computer audio muted")}));
  ASSERT_TRUE(r);
  EXPECT_FALSE(r->truncated);
  EXPECT_EQ(reader.self_name, "Ann Lee");
  EXPECT_TRUE(r->self_present);
  EXPECT_TRUE(r->self_speaking);
  EXPECT_EQ(r->names, Names{"Bob Ray"});
  EXPECT_TRUE(r->speakers.empty());

  // Later, without the marker, the learned name still tells the user's tile.
  r = reader.read(group({tile("Ann Lee, Computer audio muted"),
                         tile("Bob Ray, Computer audio unmuted, Active speaker")}));
  EXPECT_TRUE(r->self_present);
  EXPECT_FALSE(r->self_speaking);
  EXPECT_EQ(r->names, Names{"Bob Ray"});
  EXPECT_EQ(r->speakers, Names{"Bob Ray"});

  // The account changes: the self name is forgotten, and the old name is a participant.
  reader.learn_account({window(n("Zoom, Cy Do, Pro, in"))});
  reader.learn_account({window(n("Zoom, Dee Em, Pro, in"))});
  r = reader.read(group(
      {tile("Ann Lee, Computer audio muted"), tile("Dee Em (she/her), Computer audio muted")}));
  EXPECT_TRUE(r->self_present);
  EXPECT_EQ(r->names, Names{"Ann Lee"});
}

TEST(ZoomReader, UnverifiedRowsGiveOnlyTheCount) {
  for (const char* other : {"Jan Kowalski, Dźwięk z komputera wyciszony",
                            "Jan Kowalski, Dźwięk z komputera wyciszony, Aktywny mówca"}) {
    ZoomReader reader;
    reader.account = "Ann Lee";
    const auto r =
        reader.read(group({tile("Ann Lee (me), Computer audio unmuted, Active speaker"),
                           tile("Bob Ray, Computer audio unmuted, Active speaker"), tile(other)}));
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->truncated);
    EXPECT_EQ(r->participants, 3u);
    EXPECT_TRUE(r->names.empty());
    EXPECT_TRUE(r->speakers.empty());
    EXPECT_FALSE(r->self_present);
    EXPECT_FALSE(reader.self_name);  // nothing learned
  }
}

TEST(ZoomReader, APolishWindowGivesOnlyTheCount) {
  ZoomReader reader;
  reader.account = "Ann Lee";
  const auto r =
      reader.read(group({tile("Jan Kowalski, Dźwięk z komputera wyciszony, Aktywny mówca"),
                         tile("Ewa Nowak, Wyciszenie dźwięku z komputera wyłączone")}));
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->truncated);
  EXPECT_EQ(r->participants, 2u);
  EXPECT_TRUE(r->names.empty());
  EXPECT_TRUE(r->speakers.empty());
}

TEST(ZoomReader, VideoTilesAsSpeakers) {
  struct Case {
    const char* what;
    std::vector<std::string> texts;
    Names speakers;
    bool self_speaking;
  } cases[] = {
      {"two video tiles of one person",
       {"Video content Bob Ray, Computer audio muted", "Ann Lee, Computer audio muted",
        "Video content Bob Ray, Computer audio muted"},
       {"Bob Ray"},
       false},
      {"the user's video",
       {"Video content Me Self, Computer audio muted", "Bob Ray, Telephone muted"},
       {},
       true},
      {"two people's videos",
       {"Video content Bob Ray, Computer audio muted", "Video content Cy Do, Computer audio muted"},
       {},
       false},
      {"back and forth",
       {"Video content Bob Ray, Computer audio muted", "Video content Cy Do, Computer audio muted",
        "Video content Bob Ray, Computer audio muted"},
       {},
       false},
      {"an active phrase wins over video",
       {"Video content Bob Ray, Computer audio muted",
        "Cy Do, Computer audio muted, Active speaker"},
       {"Cy Do"},
       false},
  };
  for (const Case& c : cases) {
    ZoomReader reader;
    reader.account = "Me Self";
    std::vector<Node> tiles;
    for (const std::string& text : c.texts) tiles.push_back(tile(text));
    const auto r = reader.read(group(std::move(tiles)));
    ASSERT_TRUE(r) << c.what;
    EXPECT_EQ(r->speakers, c.speakers) << c.what;
    EXPECT_EQ(r->self_speaking, c.self_speaking) << c.what;
  }
}

TEST(ZoomReader, CollectCountsTileLikeNodesWithoutMeaning) {
  struct Case {
    const char* what;
    Node odd;
    std::size_t unparsed;
  } cases[] = {
      {"same type, comma", n("Ann Lee, something", "", LIST_ITEM), 1},
      {"same type, no comma", n("Ann Lee", "", LIST_ITEM), 0},
      {"other type, comma", n("Ann Lee, something", "", 50000), 0},
      {"holds a tile", n("a, b", "", LIST_ITEM, {tile("Cy Do, Telephone muted")}), 0},
      {"holds a counted node",
       n("a, b", "", LIST_ITEM, {tile("Cy Do, Telephone muted"), n("x, y", "", LIST_ITEM)}), 1},
  };
  for (const Case& c : cases) {
    std::vector<ZoomTile> tiles;
    std::size_t unparsed = 0;
    ZoomReader::collect(group({tile("Bob Ray, Computer audio muted"), c.odd}), tiles, unparsed);
    EXPECT_EQ(unparsed, c.unparsed) << c.what;

    ZoomReader reader;
    reader.account = "Me";
    const auto r = reader.read(group({tile("Bob Ray, Computer audio muted"), c.odd}));
    EXPECT_EQ(r->truncated, c.unparsed != 0) << c.what;
  }
}

TEST(ZoomReader, ARootThatParsesIsTheOnlyTile) {
  ZoomReader reader;
  reader.account = "Me";
  const auto r = reader.read(n("Ann Lee, Computer audio unmuted, Active speaker", "", 0,
                               {tile("Bob Ray, Computer audio muted"), n("x, y", "", LIST_ITEM)}));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->tiles, 1u);
  EXPECT_FALSE(r->truncated);
  EXPECT_EQ(r->speakers, Names{"Ann Lee"});
  EXPECT_FALSE(reader.read(group({n("Meeting controls")})));
}

}  // namespace
}  // namespace readers
