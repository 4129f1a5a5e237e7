// VantorelWatermark: one mode per command line, its result as the exit code.

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "install.hpp"
#include "install_setup.hpp"
#include "main_mode.hpp"
#include "output_win.hpp"
#include "service_win.hpp"
#include "win_error.hpp"

namespace {

std::vector<std::string> arguments() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  if (argv == nullptr) return args;
  for (int i = 1; i < count; ++i) args.push_back(shared::win::narrow(argv[i]));
  LocalFree(argv);
  return args;
}

}  // namespace

int main() {
  // Before anything loads a DLL at run time (the delay-loaded platform DLLs, and whatever the
  // platform loads on our behalf): System32 only, never this program's folder, which its user
  // may be able to write to while the installer runs elevated. A system that cannot restrict
  // the search runs nothing.
  if (!SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) ExitProcess(1);
  const std::vector<std::string> args = arguments();
  const VantorelWatermark::ModeActions actions{
      .is_installed = install::is_installed,
      .install = [] { return install::install(); },
      .install_elevated = install::install_elevated,
      .camera_denied = install::camera_denied,
      .service = service::run,
      .write_error_line = output::write_error_line,
  };
  ExitProcess(static_cast<UINT>(run_mode(VantorelWatermark::select_mode(args), actions)));
}
