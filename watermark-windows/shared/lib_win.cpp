#include <windows.h>
#include <shlobj.h>

#include "lib.hpp"

namespace shared {

std::string program_files() {
  wchar_t* path = nullptr;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_ProgramFiles, 0, nullptr, &path))) {
    return program_files_or_default(std::nullopt);
  }
  std::string text = program_files_or_default(
      std::u16string_view(reinterpret_cast<const char16_t*>(path), wcslen(path)));
  CoTaskMemFree(path);
  return text;
}

std::string install_dir() { return join_path(program_files(), INSTALL_FOLDER_NAME); }

std::string state_path() { return join_path(install_dir(), STATE_FILE_NAME); }

}  // namespace shared
