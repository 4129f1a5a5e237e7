// Test-only stand-in for the camera proxy DLL that the installer registers for the four camera
// classes: installed as VantorelVirtualCamera.dll, it reads VantorelVirtualCamera.cfg beside
// itself (UTF-8, the backend's path relative to its own folder), loads that backend and hands
// DllGetClassObject on to it. Nothing more.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "win_error.hpp"

namespace {

constexpr wchar_t CONFIG_NAME[] = L"VantorelVirtualCamera.cfg";

std::wstring own_folder() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&own_folder), &self);
  std::wstring path(MAX_PATH, L'\0');
  path.resize(GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size())));
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

// The backend's export, loaded once; the backend stays loaded, as it asks to.
GetClassObject backend_entry() {
  static const GetClassObject entry = [] {
    const std::wstring folder = own_folder();
    std::ifstream config(std::filesystem::path(folder + CONFIG_NAME), std::ios::binary);
    const std::string relative{std::istreambuf_iterator<char>(config), {}};
    HMODULE backend = LoadLibraryW((folder + shared::win::wide(relative)).c_str());
    return backend ? reinterpret_cast<GetClassObject>(
                         reinterpret_cast<void*>(GetProcAddress(backend, "DllGetClassObject")))
                   : nullptr;
  }();
  return entry;
}

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** object) {
  const GetClassObject entry = backend_entry();
  return entry ? entry(rclsid, riid, object) : CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }
