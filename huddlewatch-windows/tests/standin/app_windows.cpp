// Stand-in for a meeting application's process, for the tests only: copied as zoom.exe,
// ms-teams.exe and chrome.exe, it opens one visible top-level window per title argument, in
// order (the last one shown is Wine's foreground window), minimises the one behind a
// "--minimized" argument, writes "ready" and a LF, and ends when its standard input ends.

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <thread>
#include <vector>

namespace {

constexpr wchar_t CLASS_NAME[] = L"HuddleTestWindow";
constexpr wchar_t MINIMIZED[] = L"--minimized";
constexpr char READY[] = "ready\n";

void wait_for_end_of_input() {
  char buffer[256];
  DWORD read = 0;
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  while (ReadFile(input, buffer, sizeof buffer, &read, nullptr) && read > 0) {
  }
  ExitProcess(0);
}

}  // namespace

int main() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr) return 1;

  WNDCLASSW window_class{};
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = CLASS_NAME;
  RegisterClassW(&window_class);

  std::vector<HWND> minimize;
  bool next_minimized = false;
  for (int i = 1; i < count; ++i) {
    if (std::wstring(argv[i]) == MINIMIZED) {
      next_minimized = true;
      continue;
    }
    const HWND window =
        CreateWindowExW(0, CLASS_NAME, argv[i], WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        320, 240, nullptr, nullptr, window_class.hInstance, nullptr);
    if (window == nullptr) return 1;
    ShowWindow(window, SW_SHOWNORMAL);
    if (next_minimized) minimize.push_back(window);
    next_minimized = false;
  }
  for (HWND window : minimize) ShowWindow(window, SW_MINIMIZE);
  LocalFree(argv);

  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), READY, sizeof READY - 1, &written, nullptr);
  std::thread(wait_for_end_of_input).detach();

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
