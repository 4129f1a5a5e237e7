#pragma once
// The window manager's and the process table's side of the snapshots: which windows there are,
// whose they are, their titles and whether they are hidden.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "uia/automation.hpp"

namespace uia::win {

// The visible top-level windows in enumeration order. A failing enumeration gives the windows
// collected until then.
std::vector<WindowHandle> visible_windows();

// top_level_windows' enumeration callback: appends the window to the std::vector<WindowHandle>
// that `list` points to when it is visible, and always goes on.
BOOL CALLBACK collect(HWND window, LPARAM list);

WindowHandle foreground_window();
// 0 when the window has no process.
std::uint32_t process_id(WindowHandle window);

// The file name of the process's image (its Win32 path's last component); nothing when the
// process cannot be opened or its path read or is 1024 UTF-16 units or longer.
std::optional<std::string> executable_name(std::uint32_t process_id);

// At most 511 UTF-16 units of the title.
std::string window_title(WindowHandle window);

// Minimised, or cloaked when the desktop window manager can tell (Wine cannot).
bool is_hidden(WindowHandle window);

}  // namespace uia::win
