#include "uia/desktop_win.hpp"

#include <dwmapi.h>

#include <cstddef>
#include <string_view>

#include "uia/error_win.hpp"

namespace uia::win {
namespace {

constexpr DWORD IMAGE_PATH_UNITS = 1024;
constexpr int TITLE_UNITS = 512;

HWND hwnd(WindowHandle window) {
  return reinterpret_cast<HWND>(window);
}

class ProcessHandle {
 public:
  explicit ProcessHandle(HANDLE handle) : handle_(handle) {}
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;
  ~ProcessHandle() { close(); }
  void close() {
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
  }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

BOOL CALLBACK collect(HWND window, LPARAM list) {
  if (IsWindowVisible(window)) {
    reinterpret_cast<std::vector<WindowHandle>*>(list)->push_back(
        reinterpret_cast<WindowHandle>(window));
  }
  return TRUE;
}

std::vector<WindowHandle> visible_windows() {
  std::vector<WindowHandle> windows;
  EnumWindows(collect, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

WindowHandle foreground_window() {
  return reinterpret_cast<WindowHandle>(GetForegroundWindow());
}

std::uint32_t process_id(WindowHandle window) {
  DWORD id = 0;
  GetWindowThreadProcessId(hwnd(window), &id);
  return id;
}

std::optional<std::string> executable_name(std::uint32_t process_id) {
  ProcessHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
  if (!process.get()) return std::nullopt;
  wchar_t path[IMAGE_PATH_UNITS];
  DWORD size = IMAGE_PATH_UNITS;
  const BOOL read = QueryFullProcessImageNameW(process.get(), 0, path, &size);
  process.close();
  if (!read || size >= IMAGE_PATH_UNITS) return std::nullopt;
  const std::wstring_view whole(path, size);
  const std::size_t slash = whole.find_last_of(L"\\/");
  const std::wstring_view name = slash == std::wstring_view::npos ? whole : whole.substr(slash + 1);
  if (name.empty() || name == L"." || name == L"..") return std::nullopt;
  return narrow(name);
}

std::string window_title(WindowHandle window) {
  wchar_t title[TITLE_UNITS] = {};
  const int length = GetWindowTextW(hwnd(window), title, TITLE_UNITS);
  return narrow(std::wstring_view(title, length > 0 ? static_cast<std::size_t>(length) : 0));
}

bool is_hidden(WindowHandle window) {
  DWORD cloaked = 0;
  const HRESULT hr = DwmGetWindowAttribute(hwnd(window), DWMWA_CLOAKED, &cloaked, sizeof cloaked);
  return IsIconic(hwnd(window)) || (SUCCEEDED(hr) && cloaked != 0);
}

}  // namespace uia::win
