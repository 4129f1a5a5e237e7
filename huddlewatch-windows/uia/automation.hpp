#pragma once
// Finding the meeting windows and snapshotting them: the decisions (which windows, in which
// order, the deadline, time-outs, grouping) are made here; the platform calls sit behind Desktop.
//
// Who implements what:
//   portable (this module): Automation::meeting_windows, Automation::snapshot, top_level_windows,
//     convert, app_for_executable, is_meet_title, steady_clock.
//   Windows side: Automation::create, the Desktop over the window manager and UI Automation
//     (top_level_windows::collect, executable_name, window_title, is_hidden, ElementFromHandle and
//     BuildUpdatedCache), the CachedElement over IUIAutomationElement.
//
// Thread: an Automation and its Desktop are used only by the thread that created them.
#include <chrono>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "readers/model.hpp"
#include "uia/element.hpp"
#include "uia/error.hpp"

namespace uia {

using Instant = std::chrono::steady_clock::time_point;

// The monotonic clock; a fake one in the tests.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual Instant now() = 0;
};

// The process's std::chrono::steady_clock.
Clock& steady_clock();

// UI Automation's own time-out (the SDK's UIA_E_TIMEOUT, which is a macro there), and how long a
// failed request may take before it counts as one.
inline constexpr std::int32_t TIMEOUT_ERROR = static_cast<std::int32_t>(0x80131505);
inline constexpr std::chrono::milliseconds REQUEST_TIMEOUT{1000};

// An HWND's value; 0 is no window.
using WindowHandle = std::uintptr_t;

// The result of one window snapshot.
struct SnapshotOutcome {
  enum Kind : std::uint8_t {
    Captured,  // `node` holds the window's tree; `truncated` when the element budget ran out
    TimedOut,  // UI Automation timed out, or the request failed after REQUEST_TIMEOUT or more
    Failed,    // any other failure
  };
  Kind kind = Failed;
  readers::Node node;
  bool truncated = false;
};

// The snapshots of one watched application in one poll.
struct AppWindows {
  std::vector<readers::Window> windows;  // in the order the windows were found
  bool truncated = false;  // a window was skipped by the deadline or its snapshot timed out
  readers::App app;
};

// The platform as the snapshots need it. Windows side: over EnumWindows and friends and the
// automation object with its cache request; tests: fakes.
class Desktop {
 public:
  virtual ~Desktop() = default;

  // EnumWindows with top_level_windows::collect: the visible top-level windows in enumeration
  // order; a failing enumeration gives the windows collected so far.
  virtual std::vector<WindowHandle> visible_windows() = 0;
  // GetForegroundWindow; 0 when there is none.
  virtual WindowHandle foreground_window() = 0;
  // GetWindowThreadProcessId; 0 when it gives nothing.
  virtual std::uint32_t process_id(WindowHandle window) = 0;
  // The file name of the process's image; nothing when the process cannot be opened or its
  // path read (1024 UTF-16 units or more included).
  virtual std::optional<std::string> executable_name(std::uint32_t process_id) = 0;
  // GetWindowTextW, at most 511 units.
  virtual std::string window_title(WindowHandle window) = 0;
  // Minimised, or cloaked when the desktop window manager answers.
  virtual bool is_hidden(WindowHandle window) = 0;
  // ElementFromHandle, then BuildUpdatedCache with the cache request (the window's element, its
  // raw-view subtree, name, class name and control type): the cached element, or the HRESULT of
  // the call that failed.
  virtual std::expected<std::unique_ptr<CachedElement>, std::int32_t> build_cache(
      WindowHandle window) = 0;
};

// The watched applications' visible top-level windows: the foreground window first when it
// matches, the others in enumeration order. Browser windows count as Meet only by their title.
std::vector<std::pair<readers::App, WindowHandle>> top_level_windows(
    Desktop& desktop, std::span<const readers::App> apps);

class Automation {
 public:
  Automation(std::unique_ptr<Desktop> desktop, Clock& clock);

  // Windows side: starts COM on the calling thread (multithreaded) and builds the automation
  // object and its cache request.
  static Result<Automation> create();

  // One group per application of `apps` that has a matching window, in the order of each
  // application's first window. No snapshot is begun at or after the deadline.
  std::vector<AppWindows> meeting_windows(std::span<const readers::App> apps, Instant deadline);

  SnapshotOutcome snapshot(WindowHandle window);

 private:
  std::unique_ptr<Desktop> desktop_;
  Clock* clock_;
};

}  // namespace uia
