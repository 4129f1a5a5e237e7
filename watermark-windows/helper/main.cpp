// VantorelWatermark: one mode per command line, its result as the exit code.

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "install.hpp"
#include "install_setup.hpp"
#include "main_mode.hpp"
#include "service_win.hpp"
#include "win_error.hpp"

namespace {

constexpr std::string_view INSTALL_FAILED = "install failed: ";

std::vector<std::string> arguments() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  if (argv == nullptr) return args;
  for (int i = 1; i < count; ++i) args.push_back(shared::win::narrow(argv[i]));
  LocalFree(argv);
  return args;
}

// Straight to the handle, so the line ends in a bare LF.
void write_stderr(const std::string& text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
            nullptr);
}

int run_mode(VantorelWatermark::Mode mode) {
  using VantorelWatermark::Mode;
  switch (mode) {
    case Mode::extension_status:
      return install::is_installed() ? 0 : VantorelWatermark::NOT_INSTALLED_EXIT;
    case Mode::install_extension:
      return install::install();
    case Mode::install_elevated: {
      const auto installed = install::install_elevated();
      if (installed) return 0;
      write_stderr(std::string(INSTALL_FAILED) + installed.error().text() + "\n");
      return 1;
    }
    case Mode::camera_status:
    case Mode::request_camera:
      return install::camera_denied() ? 1 : 0;
    case Mode::service:
      return service::run();
    case Mode::unknown:
      break;
  }
  return 1;
}

}  // namespace

int main() {
  // Before anything loads a DLL at run time (the delay-loaded platform DLLs, and whatever the
  // platform loads on our behalf): System32 only, never this program's folder, which its user
  // may be able to write to while the installer runs elevated. A system that cannot restrict
  // the search runs nothing.
  if (!SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) ExitProcess(1);
  const std::vector<std::string> args = arguments();
  ExitProcess(static_cast<UINT>(run_mode(VantorelWatermark::select_mode(args))));
}
