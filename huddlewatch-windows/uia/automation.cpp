#include "uia/automation.hpp"

#include <algorithm>

#include "uia/text.hpp"

namespace uia {
namespace {

class SteadyClock final : public Clock {
 public:
  Instant now() override { return std::chrono::steady_clock::now(); }
};

bool contains(std::span<const readers::App> apps, readers::App app) {
  return std::find(apps.begin(), apps.end(), app) != apps.end();
}

}  // namespace

Clock& steady_clock() {
  static SteadyClock clock;
  return clock;
}

std::vector<std::pair<readers::App, WindowHandle>> top_level_windows(
    Desktop& desktop, std::span<const readers::App> apps) {
  std::vector<WindowHandle> windows = desktop.visible_windows();
  const WindowHandle foreground = desktop.foreground_window();
  std::stable_partition(windows.begin(), windows.end(),
                        [&](WindowHandle window) { return window == foreground; });

  std::vector<std::pair<readers::App, WindowHandle>> pairs;
  for (const WindowHandle window : windows) {
    const std::optional<std::string> name = desktop.executable_name(desktop.process_id(window));
    if (!name) continue;
    const std::optional<readers::App> app = app_for_executable(*name);
    if (!app || !contains(apps, *app)) continue;
    if (*app == readers::App::Meet && !is_meet_title(desktop.window_title(window))) continue;
    pairs.emplace_back(*app, window);
  }
  return pairs;
}

Automation::Automation(std::unique_ptr<Desktop> desktop, Clock& clock)
    : desktop_(std::move(desktop)), clock_(&clock) {}

std::vector<AppWindows> Automation::meeting_windows(std::span<const readers::App> apps,
                                                    Instant deadline) {
  std::vector<AppWindows> groups;
  for (const auto& [app, window] : top_level_windows(*desktop_, apps)) {
    auto group = std::find_if(groups.begin(), groups.end(),
                              [app = app](const AppWindows& g) { return g.app == app; });
    if (group == groups.end()) {
      groups.push_back(AppWindows{{}, false, app});
      group = groups.end() - 1;
    }
    if (clock_->now() >= deadline) {
      group->truncated = true;
      continue;
    }
    SnapshotOutcome outcome = snapshot(window);
    switch (outcome.kind) {
      case SnapshotOutcome::Captured:
        group->windows.push_back(readers::Window{std::move(outcome.node),
                                                 desktop_->is_hidden(window), outcome.truncated});
        break;
      case SnapshotOutcome::TimedOut:
        group->truncated = true;
        break;
      case SnapshotOutcome::Failed:
        break;
    }
  }
  return groups;
}

SnapshotOutcome Automation::snapshot(WindowHandle window) {
  const Instant start = clock_->now();
  const auto cached = desktop_->build_cache(window);
  if (!cached) {
    const bool timed_out =
        cached.error() == TIMEOUT_ERROR || clock_->now() - start >= REQUEST_TIMEOUT;
    return SnapshotOutcome{
        timed_out ? SnapshotOutcome::TimedOut : SnapshotOutcome::Failed, {}, false};
  }
  if (!*cached) return SnapshotOutcome{};
  std::uint32_t budget = ELEMENT_BUDGET;
  bool truncated = false;
  std::optional<readers::Node> node = convert(**cached, 0, budget, truncated);
  if (!node) return SnapshotOutcome{};
  return SnapshotOutcome{SnapshotOutcome::Captured, std::move(*node), truncated};
}

}  // namespace uia
