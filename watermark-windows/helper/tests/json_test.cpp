#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "json.hpp"

namespace {

using VantorelWatermark::json_field;
using VantorelWatermark::json_string;
using VantorelWatermark::status_line;

struct FieldCase {
  const char* what;
  std::string line;
  std::string key;
  std::optional<std::string> expected;
};

TEST(JsonField, Cases) {
  const FieldCase cases[] = {
      {"plain string", R"({"command":"set_preview","active":true})", "command", "set_preview"},
      {"bare true", R"({"command":"x","active":true})", "active", "true"},
      {"quoted true", R"({"command":"x","active":"true"})", "active", "true"},
      {"absent key", R"({"command":"x"})", "active", std::nullopt},
      {"needle inside a value, then a comma", R"({"appName":"command","command":"set_preview"})",
       "command", std::nullopt},
      {"nested key", R"({"outer":{"command":"set_branding"}})", "command", "set_branding"},
      {"spaces around the colon and value", "{\"active\" \t:  true  }", "active", "true"},
      {"Unicode spaces trimmed",
       "{\"level\"\xE3\x80\x80:\xC2\xA0"
       "0.5\xE2\x80\xA8}",
       "level", "0.5"},
      {"bare value to the end of the line", R"({"level": 0.25 )", "level", "0.25"},
      {"bare value cut at a comma", R"({"level":[1,2]})", "level", "[1"},
      {"bare null", R"({"level":null})", "level", "null"},
      {"empty bare value", R"({"level":})", "level", ""},
      {"no colon after the needle", R"({"level" 5})", "level", std::nullopt},
      {"later occurrence not tried", R"({"level","level":5})", "level", std::nullopt},
      {"unterminated string", R"({"appName":"abc)", "appName", std::nullopt},
      {"backslash at the end", R"({"appName":"abc\)", "appName", std::nullopt},
      {"short escapes", R"({"k":"\b\f\n\r\t"})", "k", "\b\f\n\r\t"},
      {"escaped quote, backslash, slash, other", R"({"k":"a\"b\\c\/d\qe"})", "k", "a\"b\\c/dqe"},
      {"text after the closing quote ignored", R"({"k":"v"garbage)", "k", "v"},
      {"u escape", R"({"k":"\u00e9\u20AC"})", "k", "\xC3\xA9\xE2\x82\xAC"},
      {"u escape with a plus", R"({"k":"\u+041x"})", "k", "Ax"},
      {"u escape, four characters only", R"({"k":"\u+41x"})", "k", std::nullopt},
      {"u escape, plus without digits", R"({"k":"\u+"})", "k", std::nullopt},
      {"u escape of NUL", R"({"k":"a\u0000b"})", "k", std::string("a\0b", 3)},
      {"short u escape eats the quote", R"({"k":"\u41"})", "k", std::nullopt},
      {"short u escape at the line end", R"({"k":"\u41)", "k", std::nullopt},
      {"u escape with a non-ASCII character",
       "{\"k\":\"\\u4\xC3\xA9"
       "1\"}",
       "k", std::nullopt},
      {"surrogate pair gives two replacements", R"({"k":"\ud83d\ude00"})", "k",
       "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"raw control and non-ASCII kept", "{\"k\":\"a\tb\xC3\xA9\"}", "k", "a\tb\xC3\xA9"},
      {"empty line", "", "k", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(json_field(c.line, c.key), c.expected) << c.what;
  }
}

TEST(JsonString, EscapesOnlyQuoteBackslashAndControls) {
  const std::pair<std::string, std::string> cases[] = {
      {"", R"("")"},
      {"plain text", R"("plain text")"},
      {"a\tb", R"("a\u0009b")"},
      {"line\n", R"("line\u000a")"},
      {std::string("\0\x1f", 2), R"("\u0000\u001f")"},
      {"q\"b\\s/", R"("q\"b\\s/")"},
      {"\xC3\xA9", "\"\xC3\xA9\""},
      {"\x7f", "\"\x7f\""},
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(json_string(input), expected) << testing::PrintToString(input);
  }
}

TEST(JsonString, RoundTripsThroughJsonField) {
  const std::string texts[] = {"", "a\"b", "back\\slash", "tab\tand\nline", "\xE2\x82\xAC"};
  for (const auto& text : texts) {
    EXPECT_EQ(json_field("{\"k\":" + json_string(text) + "}", "k"), text);
  }
}

TEST(StatusLine, EmptyAndFilledLists) {
  EXPECT_EQ(status_line(false, {}, false, "granted", {}),
            R"({"event":"status","sinkReady":false,"watermarkConsumers":[],)"
            R"("physicalCameraInUse":false,"cameraPermission":"granted","cameraNames":[]})");
  EXPECT_EQ(
      status_line(true, {"teams.exe", "zo\"om.exe"}, true, "denied", {"Cam - Vantorel Watermark"}),
      R"({"event":"status","sinkReady":true,"watermarkConsumers":["teams.exe","zo\"om.exe"],)"
      R"("physicalCameraInUse":true,"cameraPermission":"denied",)"
      R"("cameraNames":["Cam - Vantorel Watermark"]})");
}

TEST(EventLines, ReadyAndError) {
  EXPECT_EQ(VantorelWatermark::ready_line(), R"({"event":"ready"})");
  EXPECT_EQ(VantorelWatermark::ready_line().size(), 17u);
  EXPECT_EQ(VantorelWatermark::error_line("state: x \"y\""),
            R"({"event":"error","message":"state: x \"y\""})");
}

}  // namespace
