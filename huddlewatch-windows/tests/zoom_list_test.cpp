// The Zoom reader on a large meeting's participant list: thousands of tiles, names repeated
// across rows, and rows among tiles of several control types.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "readers/zoom.hpp"
#include "tree.hpp"

namespace readers {
namespace {

using test::group;
using test::n;
using Names = std::vector<std::string>;

TEST(ZoomParticipantList, NamesInOrderOfFirstMentionAcrossThousandsOfRows) {
  constexpr std::size_t PEOPLE = 1500;
  std::vector<Node> rows;
  Names expected_names;
  Names expected_speakers;
  // Every person twice, the second time in reverse order; every 100th person speaks in both rows.
  for (std::size_t pass = 0; pass < 2; ++pass) {
    for (std::size_t k = 0; k < PEOPLE; ++k) {
      const std::size_t i = pass == 0 ? k : PEOPLE - 1 - k;
      const std::string name = "Person " + std::to_string(i);
      const bool speaks = i % 100 == 7;
      rows.push_back(
          n(name + ", Computer audio muted" + (speaks ? ", Active speaker" : ""), "", 50007));
      if (pass == 0) {
        expected_names.push_back(name);
        if (speaks) expected_speakers.push_back(name);
      }
    }
  }
  rows.push_back(n("Me Myself (me), Computer audio muted", "", 50007));
  ZoomReader reader;
  const auto r = reader.read(group(std::move(rows)));
  ASSERT_TRUE(r);
  EXPECT_FALSE(r->truncated);
  EXPECT_EQ(r->tiles, 2 * PEOPLE + 1);
  EXPECT_EQ(r->participants, PEOPLE + 1);
  EXPECT_TRUE(r->self_present);
  EXPECT_EQ(r->names, expected_names);
  EXPECT_EQ(r->speakers, expected_speakers);
}

TEST(ZoomParticipantList, RowsThatLookLikeTilesOfAnyTileType) {
  constexpr std::int32_t ITEM = 50007;
  constexpr std::int32_t BUTTON = 50000;
  constexpr std::int32_t PANE = 50033;
  struct Case {
    const char* what;
    Node odd;  // a row among tiles of the item and button types
    bool truncated;
  } cases[] = {
      {"item type with a comma", n("Waiting room, 3", "", ITEM), true},
      {"button type with a comma", n("Admit, all", "", BUTTON), true},
      {"another type", n("Waiting room, 3", "", PANE), false},
      {"no comma", n("Waiting room", "", BUTTON), false},
  };
  for (const Case& c : cases) {
    ZoomReader reader;
    reader.account = "Me Myself";
    const auto r = reader.read(group({n("Ann Lee, Computer audio muted", "", ITEM), c.odd,
                                      n("Bob Ray, Computer audio muted", "", BUTTON),
                                      n("Cy Do, Computer audio muted", "", ITEM)}));
    ASSERT_TRUE(r) << c.what;
    EXPECT_EQ(r->truncated, c.truncated) << c.what;
    EXPECT_EQ(r->names, (Names{"Ann Lee", "Bob Ray", "Cy Do"})) << c.what;
  }
}

}  // namespace
}  // namespace readers
