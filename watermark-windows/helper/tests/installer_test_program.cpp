// Stands in for the helper's two installer modes, so that the elevated relaunch of a real
// executable and the exit code that comes back can be tested.
#include <windows.h>

#include <cstdio>
#include <string_view>

#include "install_setup.hpp"

int main(int argc, char** argv) {
  // As the helper does, so that the relaunch is tested with the same DLL search.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (argc == 2 && std::string_view(argv[1]) == install::ELEVATED_ARGUMENT) {
    const shared::Result<void> done = install::install_elevated();
    if (done) return 0;
    const std::string line = "install failed: " + done.error().text() + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    return 1;
  }
  return install::install();
}
