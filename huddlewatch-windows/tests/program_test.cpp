#include "main/program.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fake_desktop.hpp"
#include "tree.hpp"

namespace huddlewatch {
namespace {

using readers::App;
using readers::Node;
using readers::test::n;
using readers::test::text;
using std::chrono::milliseconds;
using uia::test::cached;
using uia::test::FakeClock;
using uia::test::FakeDesktop;
using uia::test::FakeWindow;
using Apps = std::vector<App>;

constexpr std::int32_t LIST_ITEM = 50007;

class FakeTime final : public Time {
 public:
  explicit FakeTime(FakeClock& clock) : clock_(clock) {}

  uia::Instant now() override { return clock_.now(); }
  std::uint64_t unix_ms() override { return wall; }
  void sleep(milliseconds duration) override {
    sleeps.push_back(duration);
    clock_.advance(duration);
    wall += static_cast<std::uint64_t>(duration.count());
    if (on_sleep) on_sleep();
  }

  std::uint64_t wall = 1700000000000;
  std::vector<milliseconds> sleeps;
  std::function<void()> on_sleep;

 private:
  FakeClock& clock_;
};

class FakeHost final : public Host {
 public:
  bool write_out(std::string_view text) override {
    if (out.size() >= writes_before_failure) return false;
    out.emplace_back(text);
    return true;
  }
  void write_err(std::string_view text) override { err += text; }
  void start_input(std::shared_ptr<AppFilter> started) override { filter = std::move(started); }

  std::size_t writes_before_failure = std::numeric_limits<std::size_t>::max();
  std::vector<std::string> out;
  std::string err;
  std::shared_ptr<AppFilter> filter;
};

Node teams_tile(const std::string& name, bool speaking) {
  std::vector<Node> inside{n("", "lpcCommonWeb-hoverTarget", 0, {text(name)}),
                           n("", "vdi-occlusion")};
  if (speaking) inside.push_back(n("", "vdi-frame-occlusion"));
  return n("", "", readers::CONTROL_TYPE_MENU_ITEM, std::move(inside));
}

// Three participants, Ann Lee speaking.
FakeWindow teams_window(uia::WindowHandle handle) {
  FakeWindow w;
  w.handle = handle;
  w.executable = "ms-teams.exe";
  w.tree = cached(
      n("Meeting", "", 50032,
        {teams_tile("Ann Lee", true), teams_tile("Bob Ray", false), teams_tile("Cy Do", false)}));
  return w;
}

// The user and one other participant, who speaks.
FakeWindow zoom_window(uia::WindowHandle handle, bool hidden) {
  FakeWindow w;
  w.handle = handle;
  w.executable = "Zoom.exe";
  w.hidden = hidden;
  w.tree = cached(n("Zoom Meeting", "", 50032,
                    {n("Zoom, Me Myself, Pro, Signed in"),
                     n("Dee Em, Computer audio unmuted, Active speaker", "", LIST_ITEM),
                     n("Me Myself (Host, me), Computer audio muted", "", LIST_ITEM)}));
  return w;
}

const std::string TEAMS_JSON =
    "{\"app\":\"teams\",\"blind\":false,\"participants\":3,\"speakers\":[\"Ann Lee\"],"
    "\"truncated\":false}";
const std::string HIDDEN_ZOOM_JSON =
    "{\"app\":\"zoom\",\"blind\":true,\"participants\":2,\"speakers\":[],\"truncated\":false}";

// The desktop outlives the Automation, which run() destroys before it returns.
struct Program {
  explicit Program(std::vector<FakeWindow> windows, uia::WindowHandle foreground = 0)
      : fake(clock, std::move(windows), foreground) {
    automation.emplace(std::make_unique<uia::test::DesktopRef>(fake), time);
  }

  std::size_t snapshots() const {
    std::size_t count = 0;
    for (const std::string& call : desktop->calls) count += call.starts_with("cache");
    return count;
  }

  int run(std::vector<std::string> args) {
    args.insert(args.begin(), "huddlewatch.exe");
    return huddlewatch::run(
        args, host, time, [&]() -> uia::Result<uia::Automation> { return std::move(*automation); });
  }

  FakeClock clock;
  FakeTime time{clock};
  FakeHost host;
  FakeDesktop fake;
  FakeDesktop* desktop = &fake;
  std::optional<uia::Automation> automation;
};

TEST(Poll, TeamsSpeakingAndAMinimisedZoom) {
  // Zoom's window comes first, the readings are still sorted by name.
  Program p({zoom_window(1, true), teams_window(2)});
  PollState state;
  AppFilter filter;
  p.desktop->windows[1].takes = milliseconds(42);
  EXPECT_EQ(poll(*p.automation, filter, state, p.time),
            "{\"at\":1700000000000,\"pollMs\":42,\"readings\":[" + TEAMS_JSON + "," +
                HIDDEN_ZOOM_JSON + "]}");
}

TEST(Poll, WhatIsWatchedAndMarked) {
  FakeWindow timed_out = zoom_window(3, false);
  timed_out.failure = uia::TIMEOUT_ERROR;
  struct Case {
    const char* what;
    AppList filter;
    std::vector<FakeWindow> windows;
    std::string readings;
    std::size_t snapshots;
  } cases[] = {
      {"nothing watched", Apps{}, {teams_window(2)}, "[]", 0},
      {"no window", std::nullopt, {}, "[]", 0},
      {"Teams only",
       Apps{App::Teams},
       {zoom_window(1, true), teams_window(2)},
       "[" + TEAMS_JSON + "]",
       1},
      {"a timed-out window marks the application's reading",
       std::nullopt,
       {timed_out, zoom_window(1, false)},
       "[{\"app\":\"zoom\",\"blind\":false,\"participants\":2,\"speakers\":[\"Dee Em\"],"
       "\"truncated\":true}]",
       2},
      {"an application without a reading is left out", std::nullopt, {timed_out}, "[]", 1},
  };
  for (const Case& c : cases) {
    Program p(c.windows);
    PollState state;
    AppFilter filter(c.filter);
    EXPECT_EQ(poll(*p.automation, filter, state, p.time),
              "{\"at\":1700000000000,\"pollMs\":0,\"readings\":" + c.readings + "}")
        << c.what;
    EXPECT_EQ(p.snapshots(), c.snapshots) << c.what;
  }
}

TEST(Poll, TheDeadlineIsOneAndAHalfSecondsAfterTheStart) {
  std::vector<FakeWindow> windows{teams_window(2), zoom_window(1, false)};
  windows[0].takes = milliseconds(1500);
  Program p(windows);
  PollState state;
  AppFilter filter;
  const auto line = poll(*p.automation, filter, state, p.time);
  ASSERT_TRUE(line);
  // Zoom's window was found after the deadline: its group has no reading.
  EXPECT_EQ(*line, "{\"at\":1700000000000,\"pollMs\":1500,\"readings\":[" + TEAMS_JSON + "]}");
  EXPECT_EQ(p.snapshots(), 1u);
}

TEST(PollLoop, SleepsToTheIntervalAndRepeatsAfterFiveSeconds) {
  Program p({teams_window(2)});
  p.desktop->windows[0].takes = milliseconds(120);
  p.host.writes_before_failure = 1;  // the repeat cannot be written: the loop ends
  AppFilter filter;
  EXPECT_EQ(poll_loop(*p.automation, filter, milliseconds(500), p.host, p.time), 0);
  ASSERT_EQ(p.host.out.size(), 1u);
  EXPECT_EQ(p.host.out[0],
            "{\"at\":1700000000000,\"pollMs\":120,\"readings\":[" + TEAMS_JSON + "]}\n");
  // Polls at 0, 500, ... 5000 ms; the one at 5000 ms ends 5 s after the first.
  EXPECT_EQ(p.time.sleeps, std::vector<milliseconds>(10, milliseconds(380)));
  EXPECT_EQ(p.snapshots(), 11u);
}

TEST(PollLoop, PollsAsLongAsTheIntervalFollowEachOtherWithoutSleep) {
  struct Case {
    milliseconds takes;
    std::size_t polls;  // until one ends 5 s after the first line
  } cases[] = {{milliseconds(500), 11}, {milliseconds(700), 9}};
  for (const Case& c : cases) {
    Program p({teams_window(2)});
    p.desktop->windows[0].takes = c.takes;
    p.host.writes_before_failure = 1;
    AppFilter filter;
    EXPECT_EQ(poll_loop(*p.automation, filter, milliseconds(500), p.host, p.time), 0);
    EXPECT_TRUE(p.time.sleeps.empty()) << c.takes.count();
    EXPECT_EQ(p.snapshots(), c.polls) << c.takes.count();
  }
}

TEST(PollLoop, TheSleepIsNeverShorterThanTheRestOfTheInterval) {
  using std::chrono::microseconds;
  struct Case {
    std::chrono::steady_clock::duration taken;
    milliseconds sleep;
  } cases[] = {
      {milliseconds(0), milliseconds(500)},
      {microseconds(120400), milliseconds(380)},  // 379.6 ms left
      {microseconds(120999), milliseconds(380)},
      {milliseconds(121), milliseconds(379)},
      {microseconds(499001), milliseconds(1)},
      {milliseconds(500), milliseconds(0)},
      {milliseconds(700), milliseconds(0)},
      {milliseconds(-3), milliseconds(500)},  // a clock that went back counts as no time
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sleep_after_poll(milliseconds(500), c.taken), c.sleep)
        << std::chrono::duration_cast<microseconds>(c.taken).count() << " us";
  }
}

TEST(PollLoop, AFilterChangeCountsFromTheNextPoll) {
  Program p({teams_window(2)});
  p.host.writes_before_failure = 2;
  AppFilter filter;
  p.time.on_sleep = [&] {
    filter.set(Apps{});
    p.time.wall -= 60000;  // the wall clock is set back
  };
  EXPECT_EQ(poll_loop(*p.automation, filter, milliseconds(100), p.host, p.time), 0);
  ASSERT_EQ(p.host.out.size(), 2u);
  EXPECT_EQ(p.host.out[1], "{\"at\":1699999940100,\"pollMs\":0,\"readings\":[]}\n");
  EXPECT_EQ(p.snapshots(), 1u);
}

TEST(Run, UnavailableAutomation) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, std::vector<std::string>{"--dump"}}) {
    FakeHost host;
    FakeClock clock;
    FakeTime time(clock);
    std::vector<std::string> all{"huddlewatch.exe"};
    all.insert(all.end(), args.begin(), args.end());
    const int code = run(all, host, time, []() -> uia::Result<uia::Automation> {
      return std::unexpected(
          uia::Error{static_cast<std::int32_t>(0x80040154), "Class not registered"});
    });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(host.err, "UI Automation unavailable: Class not registered (0x80040154)\n");
    EXPECT_TRUE(host.out.empty());
    EXPECT_FALSE(host.filter);
  }
}

TEST(Run, DumpPrintsAllApplicationsOnce) {
  FakeWindow zoom;
  zoom.handle = 1;
  zoom.executable = "zoom.exe";
  zoom.hidden = true;
  zoom.tree = cached(n("Zoom  Meeting", "a b", 50032, {text("x\ty")}));
  Program p({zoom, teams_window(2)});
  EXPECT_EQ(p.run({"--dump", "--apps", "teams", "--poll-interval-ms", "100"}), 0);
  ASSERT_EQ(p.host.out.size(), 1u);
  EXPECT_EQ(p.host.out[0].substr(0, p.host.out[0].find("=== Teams\n")),
            "=== Zoom\n"
            "[\n"
            "    Window {\n"
            "        node: Node {\n"
            "            name: \"Zoom Meeting\",\n"
            "            classes: [\n"
            "                \"a\",\n"
            "                \"b\",\n"
            "            ],\n"
            "            control_type: 50032,\n"
            "            children: [\n"
            "                Node {\n"
            "                    name: \"x y\",\n"
            "                    classes: [],\n"
            "                    control_type: 50020,\n"
            "                    children: [],\n"
            "                },\n"
            "            ],\n"
            "        },\n"
            "        hidden: true,\n"
            "        truncated: false,\n"
            "    },\n"
            "]\n");
  EXPECT_NE(p.host.out[0].find("]\n=== Teams\n[\n    Window {\n"), std::string::npos);
  EXPECT_TRUE(p.host.out[0].ends_with("    },\n]\n"));
  EXPECT_EQ(p.time.sleeps, std::vector<milliseconds>{milliseconds(1000)});
  EXPECT_EQ(p.snapshots(), 4u);  // a first pass that is thrown away, then the printed one
  EXPECT_FALSE(p.host.filter);   // no standard-input thread
  EXPECT_TRUE(p.host.err.empty());
}

TEST(Run, DumpEndsWithZeroWhateverItCanWrite) {
  Program failing({zoom_window(1, false), teams_window(2)});
  failing.host.writes_before_failure = 0;
  EXPECT_EQ(failing.run({"--dump"}), 0);
  EXPECT_TRUE(failing.host.out.empty());

  Program empty({});
  EXPECT_EQ(empty.run({"--dump"}), 0);
  EXPECT_TRUE(empty.host.out.empty());
}

TEST(Run, NormalModeStartsInputAndPolls) {
  Program p({zoom_window(1, false), teams_window(2)});
  p.host.writes_before_failure = 1;
  EXPECT_EQ(p.run({"--apps", "teams", "--poll-interval-ms", "200"}), 0);
  ASSERT_TRUE(p.host.filter);
  EXPECT_EQ(p.host.filter->get(), Apps{App::Teams});
  ASSERT_EQ(p.host.out.size(), 1u);
  EXPECT_EQ(p.host.out[0],
            "{\"at\":1700000000000,\"pollMs\":0,\"readings\":[" + TEAMS_JSON + "]}\n");
  EXPECT_EQ(p.time.sleeps.front(), milliseconds(200));
  EXPECT_EQ(p.snapshots(), p.time.sleeps.size() + 1);
  EXPECT_EQ(p.desktop->calls.front(), "cache 2");
}

}  // namespace
}  // namespace huddlewatch
