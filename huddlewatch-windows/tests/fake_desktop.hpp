#pragma once
// A desktop of scripted windows and a clock that moves only when told, for the tests of the
// window choice and of the poll loop.
#include <chrono>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cached_tree.hpp"
#include "uia/automation.hpp"

namespace uia::test {

class FakeClock : public Clock {
 public:
  Instant now() override { return current; }
  void advance(std::chrono::milliseconds d) { current += d; }

  Instant current{std::chrono::hours(1)};
};

struct FakeWindow {
  WindowHandle handle = 0;
  std::optional<std::string> executable;  // nothing: the process cannot be read
  std::string title;
  bool hidden = false;
  TestNode tree;
  std::optional<std::int32_t> failure;  // the HRESULT BuildUpdatedCache fails with
  std::chrono::milliseconds takes{0};   // how long the snapshot request takes
  bool visible = true;
};

class FakeDesktop : public Desktop {
 public:
  FakeDesktop(FakeClock& clock, std::vector<FakeWindow> windows, WindowHandle foreground = 0)
      : clock_(clock), windows(std::move(windows)), foreground(foreground) {}

  std::vector<WindowHandle> visible_windows() override {
    std::vector<WindowHandle> handles;
    for (const FakeWindow& w : windows) {
      if (w.visible) handles.push_back(w.handle);
    }
    return handles;
  }
  WindowHandle foreground_window() override { return foreground; }
  // The handle doubles as the process id; 0 has no process.
  std::uint32_t process_id(WindowHandle window) override {
    return static_cast<std::uint32_t>(window);
  }
  std::optional<std::string> executable_name(std::uint32_t process_id) override {
    const FakeWindow* w = find(process_id);
    return w ? w->executable : std::nullopt;
  }
  std::string window_title(WindowHandle window) override {
    const FakeWindow* w = find(window);
    return w ? w->title : std::string();
  }
  bool is_hidden(WindowHandle window) override {
    calls.push_back("hidden " + std::to_string(window));
    const FakeWindow* w = find(window);
    return w && w->hidden;
  }
  std::expected<std::unique_ptr<CachedElement>, std::int32_t> build_cache(
      WindowHandle window) override {
    calls.push_back("cache " + std::to_string(window));
    const FakeWindow* w = find(window);
    clock_.advance(w->takes);
    if (w->failure) return std::unexpected(*w->failure);
    return std::make_unique<TestElement>(w->tree);
  }

  FakeWindow* find(std::uintptr_t handle) {
    for (FakeWindow& w : windows) {
      if (handle != 0 && w.handle == handle) return &w;
    }
    return nullptr;
  }

  FakeClock& clock_;
  std::vector<FakeWindow> windows;
  WindowHandle foreground;
  std::vector<std::string> calls;  // "cache N" and "hidden N", in order
};

// Lends a desktop that outlives the Automation it is given to.
class DesktopRef final : public Desktop {
 public:
  explicit DesktopRef(Desktop& desktop) : desktop_(desktop) {}

  std::vector<WindowHandle> visible_windows() override { return desktop_.visible_windows(); }
  WindowHandle foreground_window() override { return desktop_.foreground_window(); }
  std::uint32_t process_id(WindowHandle window) override { return desktop_.process_id(window); }
  std::optional<std::string> executable_name(std::uint32_t process_id) override {
    return desktop_.executable_name(process_id);
  }
  std::string window_title(WindowHandle window) override { return desktop_.window_title(window); }
  bool is_hidden(WindowHandle window) override { return desktop_.is_hidden(window); }
  std::expected<std::unique_ptr<CachedElement>, std::int32_t> build_cache(
      WindowHandle window) override {
    return desktop_.build_cache(window);
  }

 private:
  Desktop& desktop_;
};

}  // namespace uia::test
