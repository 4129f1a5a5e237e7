#include "state_file_win.hpp"

#include <windows.h>

#include <fstream>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include "win_error.hpp"

namespace test_state {

namespace {

std::filesystem::path folder() {
  return std::filesystem::temp_directory_path() /
         ("vt_backend_tests_" + std::to_string(GetCurrentProcessId()));
}

}  // namespace

StateFile::StateFile(const std::string& name) {
  std::filesystem::create_directories(folder());
  file_ = folder() / (name + ".bin");
  {
    std::ofstream out(file_, std::ios::binary | std::ios::trunc);
    const std::vector<char> zeros(shared::STATE_SIZE, 0);
    out.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
  }
  path_ = shared::win::narrow(file_.wstring());
  auto opened = shared::StateMapping::open_path(path_, true);
  if (!opened) throw std::runtime_error("state file: " + opened.error().text());
  mapping_.emplace(std::move(*opened));
}

StateFile::~StateFile() {
  mapping_.reset();
  std::error_code ignored;
  std::filesystem::remove(file_, ignored);
  std::filesystem::remove(folder(), ignored);  // only once it is empty
}

std::string StateFile::missing_path() const {
  return shared::win::narrow((folder() / "missing" / "state.bin").wstring());
}

}  // namespace test_state
