// The window manager's side of the snapshots against real windows of this process.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "uia/desktop_win.hpp"
#include "uia/error_win.hpp"

namespace uia::win {
namespace {

constexpr wchar_t CLASS_NAME[] = L"HwUiaWinTest";

// One top-level window of this process, destroyed with the test. Never activated: without a
// window manager, Wine waits two seconds for one to withdraw each active window it destroys.
class TestWindow {
 public:
  explicit TestWindow(const std::wstring& title, bool visible = true) {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = CLASS_NAME;
    RegisterClassW(&window_class);  // fails harmlessly once registered
    window_ = CreateWindowExW(0, CLASS_NAME, title.c_str(), WS_POPUP, 0, 0, 200, 100, nullptr,
                              nullptr, window_class.hInstance, nullptr);
    if (visible) ShowWindow(window_, SW_SHOWNOACTIVATE);
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  ~TestWindow() { DestroyWindow(window_); }

  HWND hwnd() const { return window_; }
  WindowHandle handle() const { return reinterpret_cast<WindowHandle>(window_); }

 private:
  HWND window_;
};

bool contains(const std::vector<WindowHandle>& list, WindowHandle window) {
  return std::find(list.begin(), list.end(), window) != list.end();
}

TEST(Desktop, VisibleWindowsAndTheirProcess) {
  const TestWindow shown(L"shown");
  const TestWindow hidden(L"hidden", false);
  ASSERT_TRUE(shown.hwnd() && hidden.hwnd());
  const std::vector<WindowHandle> windows = visible_windows();
  EXPECT_TRUE(contains(windows, shown.handle()));
  EXPECT_FALSE(contains(windows, hidden.handle()));
  EXPECT_EQ(process_id(shown.handle()), GetCurrentProcessId());
  EXPECT_EQ(process_id(0), 0u);
}

TEST(Desktop, ExecutableName) {
  EXPECT_EQ(executable_name(GetCurrentProcessId()), "hw_uia_win_test.exe");
  // Process ids are multiples of four: this one belongs to no process.
  EXPECT_EQ(executable_name(0xFFFFFFF1u), std::nullopt);
}

TEST(Desktop, WindowTitles) {
  struct Case {
    std::wstring title;
    std::string read;
  } cases[] = {
      {L"", ""},
      {L"Meet \u2013 Zo\u00eb", "Meet \u2013 Zo\u00eb"},
      // At most 511 units: the title is cut, also between the halves of a surrogate pair,
      // whose lone half reads as U+FFFD.
      {std::wstring(510, L'a') + L"\U0001F600", std::string(510, 'a') + "\uFFFD"},
      {std::wstring(600, L'b'), std::string(511, 'b')},
  };
  for (const Case& c : cases) {
    const TestWindow window(c.title);
    ASSERT_TRUE(window.hwnd());
    EXPECT_EQ(window_title(window.handle()), c.read) << c.read.size();
  }
}

TEST(Desktop, MinimisedWindowsAreHidden) {
  const TestWindow window(L"to minimise");
  ASSERT_TRUE(window.hwnd());
  EXPECT_FALSE(is_hidden(window.handle()));
  ShowWindow(window.hwnd(), SW_MINIMIZE);
  EXPECT_TRUE(is_hidden(window.handle()));
  // Still listed: a minimised meeting window is read, only marked.
  EXPECT_TRUE(contains(visible_windows(), window.handle()));
  ShowWindow(window.hwnd(), SW_SHOWNOACTIVATE);
  EXPECT_FALSE(is_hidden(window.handle()));
}

TEST(Error, SystemTextWithoutLineEnd) {
  const Error error = hresult_error(E_INVALIDARG);
  EXPECT_EQ(error.hresult, static_cast<std::int32_t>(0x80070057));
  ASSERT_FALSE(error.message.empty());
  EXPECT_NE(error.message.back(), '\n');
  EXPECT_NE(error.message.back(), '\r');
  EXPECT_TRUE(error.text().ends_with(" (0x80070057)")) << error.text();
}

}  // namespace
}  // namespace uia::win
