#include "main/output.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace huddlewatch {
namespace {

using readers::Reading;
using std::chrono::milliseconds;

TEST(JsonString, Escapes) {
  struct Case {
    std::string text;
    std::string json;
  } cases[] = {
      {"", "\"\""},
      {"Ann Lee", "\"Ann Lee\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\\b", "\"a\\\\b\""},
      {"a\tb", "\"a\\tb\""},
      {"a\nb\rc", "\"a\\nb\\rc\""},
      {"\x01", "\"\\u0001\""},
      {std::string(1, '\0'), "\"\\u0000\""},
      {"\x1F\b\f", "\"\\u001f\\u0008\\u000c\""},
      {"/", "\"/\""},
      {"\x7F", "\"\x7F\""},
      {"Zo\u00EB \u5F20 \U0001F600", "\"Zo\u00EB \u5F20 \U0001F600\""},
      {"\u0085\u2028", "\"\u0085\u2028\""},
  };
  for (const Case& c : cases) EXPECT_EQ(json_string(c.text), c.json) << c.text;
}

Reading reading(std::string_view app, std::size_t participants, std::vector<std::string> speakers,
                bool blind = false, bool truncated = false) {
  Reading r;
  r.app = app;
  r.participants = participants;
  r.speakers = std::move(speakers);
  r.blind = blind;
  r.truncated = truncated;
  // Fields that never leave the process.
  r.names = {"not written"};
  r.tiles = 99;
  r.self_present = true;
  r.self_speaking = true;
  return r;
}

TEST(ReadingsJson, TeamsSpeakingAndAMinimisedZoom) {
  const std::vector<Reading> readings{reading("teams", 3, {"Ann Lee"}),
                                      reading("zoom", 2, {}, true)};
  EXPECT_EQ(readings_json(readings),
            "[{\"app\":\"teams\",\"blind\":false,\"participants\":3,\"speakers\":[\"Ann Lee\"],"
            "\"truncated\":false},{\"app\":\"zoom\",\"blind\":true,\"participants\":2,"
            "\"speakers\":[],\"truncated\":false}]");
}

TEST(ReadingsJson, Shapes) {
  EXPECT_EQ(readings_json({}), "[]");
  EXPECT_EQ(readings_json({reading("meet", 12, {"A \"B\"", "C\\D", "E\tF"}, false, true)}),
            "[{\"app\":\"meet\",\"blind\":false,\"participants\":12,"
            "\"speakers\":[\"A \\\"B\\\"\",\"C\\\\D\",\"E\\tF\"],\"truncated\":true}]");
}

TEST(Emitter, HoldsBackUnchangedReadingsForFiveSeconds) {
  const std::vector<Reading> one{reading("zoom", 2, {})};
  const std::vector<Reading> two{reading("zoom", 3, {})};
  struct Step {
    milliseconds now;  // from the start
    const std::vector<Reading>* readings;
    std::uint64_t at;
    std::optional<std::string> line;
  };
  const std::vector<Reading> none;
  const std::string none_json = "[]";
  const std::string one_json = readings_json(one);
  const std::string two_json = readings_json(two);
  const auto line = [](std::uint64_t at, const std::string& json) {
    return "{\"at\":" + std::to_string(at) + ",\"pollMs\":7,\"readings\":" + json + "}";
  };
  const Step steps[] = {
      {milliseconds(0), &none, 1000, line(1000, none_json)},   // the first line, even empty
      {milliseconds(500), &none, 1500, std::nullopt},          // "at" alone is no change
      {milliseconds(1000), &one, 2000, line(2000, one_json)},  // a change, at once
      {milliseconds(5999), &one, 6999, std::nullopt},
      // Measured from the last written line, not from the last poll.
      {milliseconds(6000), &one, 7000, line(7000, one_json)},
      // A clock that went back counts as no time at all.
      {milliseconds(2000), &one, 3000, std::nullopt},
      {milliseconds(10999), &one, 12000, std::nullopt},
      {milliseconds(11000), &one, 12001, line(12001, one_json)},
      {milliseconds(11001), &two, 12002, line(12002, two_json)},
      {milliseconds(11002), &one, 12003, line(12003, one_json)},
  };
  Emitter emitter;
  const uia::Instant start{std::chrono::hours(2)};
  for (const Step& step : steps) {
    EXPECT_EQ(emitter.line(step.at, 7, *step.readings, start + step.now), step.line)
        << step.now.count();
  }
}

TEST(Emitter, AHeldBackLineChangesNothing) {
  Emitter emitter;
  const uia::Instant start{std::chrono::hours(2)};
  ASSERT_TRUE(emitter.line(1, 0, {}, start));
  ASSERT_FALSE(emitter.line(2, 0, {}, start + milliseconds(100)));
  EXPECT_EQ(emitter.last, "[]");
  EXPECT_EQ(emitter.last_at, start);
}

}  // namespace
}  // namespace huddlewatch
