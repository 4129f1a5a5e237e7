// Stands in for the helper's two installer modes, so that the elevated relaunch of a real
// executable and the exit code that comes back can be tested. With LAUNCH_FAILS and a Win32
// code, the relaunch fails with that code instead, so that what is reported can be read.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <expected>
#include <string>
#include <string_view>

#include "install_setup.hpp"
#include "main_mode.hpp"
#include "output_win.hpp"

namespace {
constexpr std::string_view LAUNCH_FAILS = "--launch-fails";
}

int main(int argc, char** argv) {
  // As the helper does, so that the relaunch is tested with the same DLL search.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (argc == 2 && std::string_view(argv[1]) == install::ELEVATED_ARGUMENT) {
    const shared::Result<void> done = install::install_elevated();
    if (done) return 0;
    output::write_error_line(std::string(VantorelWatermark::INSTALL_FAILED) + done.error().text());
    return 1;
  }
  if (argc == 3 && std::string_view(argv[1]) == LAUNCH_FAILS) {
    const auto code = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 0));
    return install::install([code](const std::string&) -> std::expected<void*, std::uint32_t> {
      return std::unexpected(code);
    });
  }
  return install::install();
}
