#include "main/options.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace huddlewatch {
namespace {

using readers::App;
using std::chrono::milliseconds;
using Apps = std::vector<App>;

TEST(ParseOptions, Table) {
  struct Case {
    std::vector<std::string> args;  // after the program path
    milliseconds interval;
    AppList apps;
    bool dump;
  } cases[] = {
      {{}, milliseconds(500), std::nullopt, false},
      {{"--poll-interval-ms", "99"}, milliseconds(500), std::nullopt, false},
      {{"--poll-interval-ms", "100"}, milliseconds(100), std::nullopt, false},
      {{"--poll-interval-ms", "0100"}, milliseconds(100), std::nullopt, false},
      {{"--poll-interval-ms", "+100"}, milliseconds(100), std::nullopt, false},
      {{"--poll-interval-ms", "+"}, milliseconds(500), std::nullopt, false},
      {{"--poll-interval-ms", "-100"}, milliseconds(500), std::nullopt, false},
      {{"--poll-interval-ms", "abc"}, milliseconds(500), std::nullopt, false},
      {{"--poll-interval-ms", "1 000"}, milliseconds(500), std::nullopt, false},
      {{"--poll-interval-ms", " 200"}, milliseconds(500), std::nullopt, false},
      {{"--poll-interval-ms", "1e3"}, milliseconds(500), std::nullopt, false},
      {{"--poll-interval-ms", ""}, milliseconds(500), std::nullopt, false},
      {{"--poll-interval-ms"}, milliseconds(500), std::nullopt, false},
      {{"--poll-interval-ms=200"}, milliseconds(500), std::nullopt, false},
      {{"--POLL-INTERVAL-MS", "200"}, milliseconds(500), std::nullopt, false},
      {{"x", "--poll-interval-ms", "250", "--poll-interval-ms", "300"},
       milliseconds(250),
       std::nullopt,
       false},
      {{"--poll-interval-ms", "18446744073709551615"},
       milliseconds(std::numeric_limits<milliseconds::rep>::max()),
       std::nullopt,
       false},
      {{"--poll-interval-ms", "18446744073709551616"}, milliseconds(500), std::nullopt, false},
      // The value is the next argument, whatever it is.
      {{"--poll-interval-ms", "--dump", "200"}, milliseconds(500), std::nullopt, true},
      {{"--apps", "zoom"}, milliseconds(500), Apps{App::Zoom}, false},
      {{"--apps", "zoom", "--apps", "teams"}, milliseconds(500), Apps{App::Zoom}, false},
      {{"--apps", ""}, milliseconds(500), Apps{}, false},
      {{"--apps"}, milliseconds(500), std::nullopt, false},
      {{"--apps=zoom"}, milliseconds(500), std::nullopt, false},
      {{"--apps", "--dump"}, milliseconds(500), Apps{}, true},
      {{"--dump"}, milliseconds(500), std::nullopt, true},
      {{"--dump=1", "-dump", "--Dump"}, milliseconds(500), std::nullopt, false},
      {{"--dump", "--poll-interval-ms", "150", "--apps", "meet"},
       milliseconds(150),
       Apps{App::Meet},
       true},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"C:\\huddlewatch.exe"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Options options = parse_options(args);
    std::string what;
    for (const std::string& a : c.args) what += "[" + a + "]";
    EXPECT_EQ(options.poll_interval, c.interval) << what;
    EXPECT_EQ(options.apps, c.apps) << what;
    EXPECT_EQ(options.dump, c.dump) << what;
  }
}

TEST(ParseOptions, TheProgramPathIsNoOption) {
  const std::vector<std::string> args{"--dump"};
  EXPECT_FALSE(parse_options(args).dump);
  EXPECT_FALSE(parse_options({}).dump);
}

TEST(ParseAppList, Table) {
  struct Case {
    const char* text;
    Apps apps;
  } cases[] = {
      {"zoom, meet,zoom,skype", {App::Zoom, App::Meet}},
      {"teams", {App::Teams}},
      {"\tmeet\u00A0 ,\u3000teams ", {App::Meet, App::Teams}},
      {"meet,teams,zoom", {App::Meet, App::Teams, App::Zoom}},
      {"zoom,teams,meet", {App::Zoom, App::Teams, App::Meet}},
      {"Zoom", {}},
      {"ZOOM,Teams", {}},
      {"skype", {}},
      {"", {}},
      {",,,", {}},
      {"zo om", {}},
      {"zoom;teams", {}},
      {"\"zoom\"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(parse_app_list(c.text), c.apps) << c.text;
}

}  // namespace
}  // namespace huddlewatch
