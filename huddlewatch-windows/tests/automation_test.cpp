#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "fake_desktop.hpp"
#include "uia/automation.hpp"

namespace uia {
namespace {

using readers::App;
using std::chrono::milliseconds;
using test::FakeClock;
using test::FakeDesktop;
using test::FakeWindow;
using test::TestNode;

constexpr std::int32_t E_FAIL = static_cast<std::int32_t>(0x80004005);
constexpr std::array<App, 3> ALL{App::Meet, App::Teams, App::Zoom};

FakeWindow win(WindowHandle handle, std::string exe, std::string title = "") {
  FakeWindow w;
  w.handle = handle;
  w.executable = std::move(exe);
  w.title = std::move(title);
  w.tree.name = test::utf16("window " + std::to_string(handle));
  return w;
}

// Each group as "App:window names...|truncated".
std::vector<std::string> describe(const std::vector<AppWindows>& groups) {
  std::vector<std::string> out;
  for (const AppWindows& g : groups) {
    std::string s(g.app.name());
    s += ':';
    for (const readers::Window& w : g.windows) {
      s += ' ' + w.node.name.substr(w.node.name.find(' ') + 1);
      if (w.hidden) s += 'h';
      if (w.truncated) s += 't';
    }
    if (g.truncated) s += " |truncated";
    out.push_back(s);
  }
  return out;
}

struct Fixture {
  explicit Fixture(std::vector<FakeWindow> windows, WindowHandle foreground = 0) {
    auto owned = std::make_unique<FakeDesktop>(clock, std::move(windows), foreground);
    desktop = owned.get();
    automation.emplace(std::move(owned), clock);
  }

  std::vector<std::string> run(std::span<const App> apps = ALL,
                               milliseconds deadline_in = milliseconds(1500)) {
    return describe(automation->meeting_windows(apps, clock.now() + deadline_in));
  }

  FakeClock clock;
  FakeDesktop* desktop = nullptr;
  std::optional<Automation> automation;
};

TEST(TopLevelWindows, Choice) {
  const std::vector<FakeWindow> windows{
      win(1, "chrome.exe", "Meet - abc-defg-hij"),
      win(2, "chrome.exe", "Inbox"),
      win(3, "Zoom.exe", "anything"),
      win(4, "ms-teams.exe", ""),
      win(5, "msedge.exe", "Weekly MEETING"),
      win(6, "notepad.exe", "meet"),
      win(7, "Teams.exe", "Meet"),
  };
  struct Case {
    const char* what;
    std::vector<App> apps;
    WindowHandle foreground;
    std::vector<std::pair<App, WindowHandle>> expected;
  } cases[] = {
      {"all, no foreground",
       {App::Meet, App::Teams, App::Zoom},
       0,
       {{App::Meet, 1}, {App::Zoom, 3}, {App::Teams, 4}, {App::Meet, 5}}},
      {"foreground first",
       {App::Meet, App::Teams, App::Zoom},
       4,
       {{App::Teams, 4}, {App::Meet, 1}, {App::Zoom, 3}, {App::Meet, 5}}},
      {"foreground that does not match changes nothing",
       {App::Meet, App::Teams, App::Zoom},
       2,
       {{App::Meet, 1}, {App::Zoom, 3}, {App::Teams, 4}, {App::Meet, 5}}},
      {"Teams only", {App::Teams}, 5, {{App::Teams, 4}}},
      {"nothing watched", {}, 0, {}},
  };
  for (const Case& c : cases) {
    FakeClock clock;
    FakeDesktop desktop(clock, windows, c.foreground);
    EXPECT_EQ(top_level_windows(desktop, c.apps), c.expected) << c.what;
  }
}

TEST(TopLevelWindows, UnreadableAndInvisibleWindowsAreLeftOut) {
  std::vector<FakeWindow> windows{win(1, "zoom.exe"), win(2, "zoom.exe"), win(3, "zoom.exe")};
  windows[0].executable.reset();  // the process cannot be opened
  windows[1].visible = false;
  FakeClock clock;
  FakeDesktop desktop(clock, windows, 2);
  EXPECT_EQ(top_level_windows(desktop, ALL),
            (std::vector<std::pair<App, WindowHandle>>{{App::Zoom, 3}}));
}

TEST(MeetingWindows, GroupsInTheOrderOfTheirFirstWindow) {
  std::vector<FakeWindow> windows{win(1, "zoom.exe"), win(2, "ms-teams.exe"), win(3, "zoom.exe"),
                                  win(4, "chrome.exe", "Meet")};
  windows[2].hidden = true;
  Fixture f(windows, 4);
  EXPECT_EQ(f.run(), (std::vector<std::string>{"meet: 4", "zoom: 1 3h", "teams: 2"}));
  // The hidden state is read after the window's snapshot; only captured windows are asked.
  EXPECT_EQ(f.desktop->calls,
            (std::vector<std::string>{"cache 4", "hidden 4", "cache 1", "hidden 1", "cache 2",
                                      "hidden 2", "cache 3", "hidden 3"}));
}

TEST(MeetingWindows, DeadlineAndTimeOuts) {
  const auto slow = [](FakeWindow w, milliseconds takes, std::optional<std::int32_t> failure) {
    w.takes = takes;
    w.failure = failure;
    return w;
  };
  struct Case {
    const char* what;
    std::vector<FakeWindow> windows;
    milliseconds deadline_in;
    std::vector<std::string> groups;
    std::size_t snapshots;
  } cases[] = {
      {"deadline before the first window: every group empty and truncated",
       {win(1, "zoom.exe"), win(2, "ms-teams.exe"), win(3, "zoom.exe")},
       milliseconds(0),
       {"zoom: |truncated", "teams: |truncated"},
       0},
      {"deadline reached by the first snapshot",
       {slow(win(1, "zoom.exe"), milliseconds(1500), std::nullopt), win(2, "ms-teams.exe"),
        win(3, "zoom.exe")},
       milliseconds(1500),
       {"zoom: 1 |truncated", "teams: |truncated"},
       1},
      {"a snapshot that begins before the deadline runs to its end",
       {slow(win(1, "zoom.exe"), milliseconds(900), std::nullopt),
        slow(win(2, "zoom.exe"), milliseconds(5000), std::nullopt), win(3, "zoom.exe")},
       milliseconds(1000),
       {"zoom: 1 2 |truncated"},
       2},
      {"UI Automation's time-out marks the group and adds no window",
       {slow(win(1, "zoom.exe"), milliseconds(0), TIMEOUT_ERROR), win(2, "zoom.exe")},
       milliseconds(1500),
       {"zoom: 2 |truncated"},
       2},
      {"the only window timing out leaves an empty marked group",
       {slow(win(1, "zoom.exe"), milliseconds(0), TIMEOUT_ERROR), win(2, "ms-teams.exe")},
       milliseconds(1500),
       {"zoom: |truncated", "teams: 2"},
       2},
      {"a failure after 1000 ms counts as a time-out",
       {slow(win(1, "zoom.exe"), milliseconds(1000), E_FAIL), win(2, "zoom.exe")},
       milliseconds(5000),
       {"zoom: 2 |truncated"},
       2},
      {"a quicker failure passes the window over",
       {slow(win(1, "zoom.exe"), milliseconds(999), E_FAIL), win(2, "zoom.exe")},
       milliseconds(5000),
       {"zoom: 2"},
       2},
      {"a group is made before its only window fails",
       {slow(win(1, "zoom.exe"), milliseconds(0), E_FAIL)},
       milliseconds(5000),
       {"zoom:"},
       1},
  };
  for (const Case& c : cases) {
    Fixture f(c.windows);
    EXPECT_EQ(f.run(ALL, c.deadline_in), c.groups) << c.what;
    std::size_t snapshots = 0;
    for (const std::string& call : f.desktop->calls) snapshots += call.starts_with("cache");
    EXPECT_EQ(snapshots, c.snapshots) << c.what;
  }
}

TEST(MeetingWindows, UnwatchedWindowsAreNeverSnapshotted) {
  Fixture f({win(1, "chrome.exe", "Meet"), win(2, "zoom.exe"), win(3, "ms-teams.exe")});
  const std::array<App, 1> teams{App::Teams};
  EXPECT_EQ(f.run(teams), (std::vector<std::string>{"teams: 3"}));
  EXPECT_EQ(f.desktop->calls, (std::vector<std::string>{"cache 3", "hidden 3"}));
}

TEST(MeetingWindows, ABudgetThatRunsOutMarksTheWindow) {
  FakeWindow big = win(1, "zoom.exe");
  big.tree.children.resize(ELEMENT_BUDGET);  // one more than the budget
  Fixture f({big, win(2, "zoom.exe")});
  EXPECT_EQ(f.run(), (std::vector<std::string>{"zoom: 1t 2"}));
}

TEST(Snapshot, Outcomes) {
  FakeWindow ok = win(1, "zoom.exe");
  ok.tree.children.resize(2);
  FakeWindow big = win(2, "zoom.exe");
  big.tree.children.resize(ELEMENT_BUDGET + 5);
  FakeWindow timeout = win(3, "zoom.exe");
  timeout.failure = TIMEOUT_ERROR;
  Fixture f({ok, big, timeout});

  const SnapshotOutcome captured = f.automation->snapshot(1);
  EXPECT_EQ(captured.kind, SnapshotOutcome::Captured);
  EXPECT_EQ(captured.node.name, "window 1");
  EXPECT_EQ(captured.node.children.size(), 2u);
  EXPECT_FALSE(captured.truncated);

  const SnapshotOutcome cut = f.automation->snapshot(2);
  EXPECT_EQ(cut.kind, SnapshotOutcome::Captured);
  EXPECT_EQ(cut.node.children.size(), ELEMENT_BUDGET - 1);
  EXPECT_TRUE(cut.truncated);

  EXPECT_EQ(f.automation->snapshot(3).kind, SnapshotOutcome::TimedOut);
}

}  // namespace
}  // namespace uia
