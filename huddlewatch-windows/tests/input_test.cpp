#include "main/input.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace huddlewatch {
namespace {

using readers::App;
using Apps = std::vector<App>;

// nothing: the line is rejected.
using Parsed = std::optional<AppList>;
const Parsed REJECTED = std::nullopt;
const Parsed ALL = AppList(std::nullopt);
Parsed apps(Apps list) {
  return AppList(std::move(list));
}

TEST(ParseAppsLine, Lines) {
  struct Case {
    std::string line;
    Parsed parsed;
  } cases[] = {
      {"{\"apps\":[\"teams\"]}\n", apps({App::Teams})},
      {"{\"apps\":null}\n", ALL},
      {"{\"apps\":[]}\n", apps({})},
      {"{\"apps\":[\"zoom\",\"meet\",\"zoom\"]}", apps({App::Zoom, App::Meet})},
      {" { \"apps\" : [ \"teams\" , \"zoom\" ] } \n", apps({App::Teams, App::Zoom})},
      {"\t{\t\"apps\"\t:\tnull\t}\t\r\n", ALL},
      {"{\"apps\":[ ]}\r\n", apps({})},
      {"\u00A0{\"apps\":null}\u3000\u2028\n", ALL},  // white space is Unicode's
      {"{\"apps\":[\"ZOOM\"]}\n", apps({})},
      {"{\"apps\":[\"skype\",\"teams\"]}\n", apps({App::Teams})},
      {"{\"apps\":[\" zoom\"]}\n", apps({})},  // names are not trimmed
      {"{\"apps\":[\"a,b\"]}\n", apps({})},
      {"{\"apps\":[\"zo\xFFom\"]}\n", apps({})},  // invalid UTF-8 becomes U+FFFD
      {"{\"apps\":[\"teams\",]}\n", REJECTED},
      {"{\"apps\":[\"teams\"],\"x\":1}\n", REJECTED},
      {"{\"apps\":\"teams\"}\n", REJECTED},
      {"{\"apps\":[\"teams\"]}x\n", REJECTED},
      {"{\"apps\":[\"te\\u0061ms\"]}\n", REJECTED},
      {"{\"apps\":[\"zoom\",\"te\\\"ams\"]}\n", REJECTED},
      {"{\"apps\":[\"zoom\\\\\"]}\n", REJECTED},
      {"\xEF\xBB\xBF{\"apps\":null}\n", REJECTED},  // a byte-order mark is no white space
      {"{\"apps\":[\"zoom]}\n", REJECTED},
      {"{\"apps\":[\"zoom\" \"meet\"]}\n", REJECTED},
      {"{\"apps\":[,\"zoom\"]}\n", REJECTED},
      {"{\"apps\":[\"zoom\"]\n", REJECTED},
      {"{\"apps\":[\"zoom\"}\n", REJECTED},
      {"{\"apps\":[null]}\n", REJECTED},
      {"{\"apps\":NULL}\n", REJECTED},
      {"{\"apps\":nullx}\n", REJECTED},
      {"{\"Apps\":null}\n", REJECTED},
      {"{apps:null}\n", REJECTED},
      {"{\"apps\" null}\n", REJECTED},
      {"{\"apps\":null}}\n", REJECTED},
      {"{\"apps\":null}{\"apps\":null}\n", REJECTED},
      {"x{\"apps\":null}\n", REJECTED},
      {"{}\n", REJECTED},
      {"\n", REJECTED},
      {"", REJECTED},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parse_apps_line(decode_utf8(c.line)), c.parsed) << c.line;
  }
}

TEST(ParseAppsLine, Token) {
  struct Case {
    const char* text;
    const char* literal;
    std::optional<std::string_view> rest;
  } cases[] = {
      {"{x", "{", "x"},
      {" \t\u2003{x", "{", "x"},
      {"x{", "{", std::nullopt},
      {"", "{", std::nullopt},
      {"  ", "{", std::nullopt},
      {"\"apps\": 1", "\"apps\"", ": 1"},
      {"\"Apps\"", "\"apps\"", std::nullopt},
      {"\xEF\xBB\xBF{", "{", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseAppsLine::token(c.text, c.literal), c.rest) << c.text;
}

TEST(DecodeUtf8, IllFormedSequences) {
  const std::string R = "\uFFFD";
  struct Case {
    std::string bytes;
    std::string text;
  } cases[] = {
      {"abc", "abc"},
      {"\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", "\u00E9\u4E2D\U0001F600"},
      {"\xFF", R},
      {"a\xC3", "a" + R},
      {"\xE2\x82x", R + "x"},  // one replacement for the whole cut sequence
      {"\xF0\x9F\x98"
       "A",
       R + "A"},
      {"\xED\xA0\x80", R + R + R},          // a surrogate
      {"\xC0\xAF", R + R},                  // overlong
      {"\xE0\x80\x80", R + R + R},          // overlong
      {"\xF4\x90\x80\x80", R + R + R + R},  // beyond U+10FFFF
      {"\x80\xBF", R + R},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) EXPECT_EQ(decode_utf8(c.bytes), c.text) << c.bytes;
}

// Hands out its chunks one read at a time (cut to the reader's buffer), then the end of input or
// a read error; notes the filter's value before each read.
class ScriptedReader final : public ByteReader {
 public:
  ScriptedReader(AppFilter& filter, std::deque<std::string> chunks, bool fails)
      : filter_(filter), chunks_(std::move(chunks)), fails_(fails) {}

  std::ptrdiff_t read(char* buffer, std::size_t size) override {
    seen.push_back(filter_.get());
    ++reads;
    if (chunks_.empty()) return fails_ ? -1 : 0;
    std::string& chunk = chunks_.front();
    const std::size_t n = std::min(size, chunk.size());
    std::memcpy(buffer, chunk.data(), n);
    chunk.erase(0, n);
    if (chunk.empty()) chunks_.pop_front();
    return static_cast<std::ptrdiff_t>(n);
  }

  std::vector<AppList> seen;
  int reads = 0;

 private:
  AppFilter& filter_;
  std::deque<std::string> chunks_;
  bool fails_;
};

TEST(ReadInput, LinesReplaceTheFilter) {
  const AppList all = std::nullopt;
  const std::string long_line = std::string(10000, ' ') + "{\"apps\":[\"meet\"]}\n";
  struct Case {
    const char* what;
    std::deque<std::string> chunks;
    bool fails;
    AppList final_value;
  } cases[] = {
      {"nothing to read", {}, false, Apps{App::Zoom}},
      {"a read error at once", {}, true, Apps{App::Zoom}},
      {"lines in order", {"{\"apps\":null}\n{\"apps\":[\"teams\"]}\n"}, false, Apps{App::Teams}},
      {"a rejected line changes nothing", {"{\"apps\":[]}\n{\"apps\":1}\n"}, false, Apps{}},
      {"a last line without LF", {"{\"apps\":[]}\n{\"apps\":null}"}, false, all},
      {"a last line cut by a read error", {"{\"apps\":[]}\n{\"apps\":null}"}, true, Apps{}},
      {"a line in pieces, CR LF",
       {"{\"apps\":[\"te", "ams\"", "]}\r", "\n"},
       false,
       Apps{App::Teams}},
      {"a line longer than the buffer", {long_line}, false, Apps{App::Meet}},
      {"empty lines", {"\n\n\r\n"}, false, Apps{App::Zoom}},
  };
  for (const Case& c : cases) {
    AppFilter filter(Apps{App::Zoom});
    ScriptedReader reader(filter, c.chunks, c.fails);
    EXPECT_EQ(read_input(reader, filter), 0) << c.what;
    EXPECT_EQ(filter.get(), c.final_value) << c.what;
  }
}

TEST(ReadInput, EachLineIsAppliedBeforeTheNextRead) {
  AppFilter filter;
  ScriptedReader reader(filter, {"{\"apps\":[\"zoom\"]}\n", "{\"apps\":[]}\n", "{\"apps\":null}"},
                        false);
  EXPECT_EQ(read_input(reader, filter), 0);
  // The last line, without LF, waits for the end of input.
  const std::vector<AppList> expected{std::nullopt, Apps{App::Zoom}, Apps{}, Apps{}};
  EXPECT_EQ(reader.seen, expected);
  EXPECT_EQ(filter.get(), std::nullopt);
}

}  // namespace
}  // namespace huddlewatch
