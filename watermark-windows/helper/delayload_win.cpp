#include "delayload_win.hpp"

#include <mfapi.h>
#include <mfidl.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string_view>
#include <type_traits>

namespace delayload {
namespace {

enum Dll : std::size_t { MF, MFPLAT, CRYPT32, WINTRUST, DLL_COUNT };

constexpr std::array<const char*, DLL_COUNT> DLL_NAMES{"mf.dll", "mfplat.dll", "crypt32.dll",
                                                       "wintrust.dll"};

// Written by the hook on the thread that made the first call into the DLL, read by the
// stand-ins on any thread afterwards.
std::array<std::atomic<DWORD>, DLL_COUNT> load_errors{};

DWORD load_error(Dll dll) {
  const DWORD error = load_errors[dll].load(std::memory_order_relaxed);
  return error != ERROR_SUCCESS ? error : ERROR_MOD_NOT_FOUND;
}

HRESULT failure(Dll dll) {
  return HRESULT_FROM_WIN32(load_error(dll));
}

template <typename T>
T failure_with_last_error(Dll dll, T result) {
  SetLastError(load_error(dll));
  return result;
}

// Each fails as its function reports failure; the arguments are never looked at.
namespace stand_in {

HRESULT WINAPI MFStartup(ULONG, DWORD) {
  return failure(MFPLAT);
}

HRESULT WINAPI MFCreateAttributes(IMFAttributes**, UINT32) {
  return failure(MFPLAT);
}

HRESULT WINAPI MFEnumDeviceSources(IMFAttributes*, IMFActivate***, UINT32*) {
  return failure(MF);
}

// Every status but 0 means "not trusted".
LONG WINAPI WinVerifyTrust(HWND, GUID*, LPVOID) {
  return failure(WINTRUST);
}

BOOL WINAPI CryptQueryObject(DWORD, const void*, DWORD, DWORD, DWORD, DWORD*, DWORD*, DWORD*,
                             HCERTSTORE*, HCRYPTMSG*, const void**) {
  return failure_with_last_error(CRYPT32, FALSE);
}

BOOL WINAPI CryptMsgGetParam(HCRYPTMSG, DWORD, DWORD, void*, DWORD*) {
  return failure_with_last_error(CRYPT32, FALSE);
}

BOOL WINAPI CryptMsgClose(HCRYPTMSG) {
  return failure_with_last_error(CRYPT32, FALSE);
}

PCCERT_CONTEXT WINAPI CertFindCertificateInStore(HCERTSTORE, DWORD, DWORD, DWORD, const void*,
                                                 PCCERT_CONTEXT) {
  return failure_with_last_error(CRYPT32, PCCERT_CONTEXT{nullptr});
}

// Documented to succeed always; without the DLL there is no certificate to free anyway.
BOOL WINAPI CertFreeCertificateContext(PCCERT_CONTEXT) {
  return TRUE;
}

BOOL WINAPI CertCloseStore(HCERTSTORE, DWORD) {
  return failure_with_last_error(CRYPT32, FALSE);
}

// A name that cannot be read is reported as the empty text, whose length with its NUL is 1.
DWORD WINAPI CertGetNameStringW(PCCERT_CONTEXT, DWORD, DWORD, void*, LPWSTR name, DWORD units) {
  if (name != nullptr && units > 0) name[0] = L'\0';
  return failure_with_last_error(CRYPT32, DWORD{1});
}

}  // namespace stand_in

struct StandIn {
  Dll dll;
  std::string_view name;
  FARPROC proc;
};

// The loader hands out the stand-in as the real function, so their types must be the same.
template <typename Real, typename Stand>
FARPROC checked(Stand stand) {
  static_assert(std::is_same_v<Real, Stand>, "a stand-in has the type of its function");
  // Through void (*)(), which converts to any function pointer type without a warning.
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(stand));
}

#define VT_STAND_IN(dll, function)                                      \
  StandIn {                                                             \
    dll, #function, checked<decltype(&::function)>(&stand_in::function) \
  }

// Every function that the helper imports from these DLLs. The image test reads this table, with
// the enumerators and DLL_NAMES above, from this file and compares it with the executable's
// delay-import table both ways, so its entries stay VT_STAND_IN(enumerator, function).
const StandIn STAND_INS[] = {
    VT_STAND_IN(MFPLAT, MFStartup),
    VT_STAND_IN(MFPLAT, MFCreateAttributes),
    VT_STAND_IN(MF, MFEnumDeviceSources),
    VT_STAND_IN(WINTRUST, WinVerifyTrust),
    VT_STAND_IN(CRYPT32, CryptQueryObject),
    VT_STAND_IN(CRYPT32, CryptMsgGetParam),
    VT_STAND_IN(CRYPT32, CryptMsgClose),
    VT_STAND_IN(CRYPT32, CertFindCertificateInStore),
    VT_STAND_IN(CRYPT32, CertFreeCertificateContext),
    VT_STAND_IN(CRYPT32, CertCloseStore),
    VT_STAND_IN(CRYPT32, CertGetNameStringW),
};

#undef VT_STAND_IN

// The loader gives the name as the import library spells it, in whatever letter case.
std::optional<Dll> dll_named(const char* name) {
  for (std::size_t i = 0; i < DLL_COUNT; ++i) {
    if (_stricmp(name, DLL_NAMES[i]) == 0) return static_cast<Dll>(i);
  }
  return std::nullopt;
}

// No export of this program bears a platform function's name, so every lookup in it fails.
HMODULE own_module() {
  return GetModuleHandleW(nullptr);
}

}  // namespace

FARPROC WINAPI on_failure(unsigned notification, PDelayLoadInfo info) {
  if (info == nullptr || info->szDll == nullptr) return nullptr;
  const std::optional<Dll> dll = dll_named(info->szDll);
  if (!dll) return nullptr;

  if (notification == dliFailLoadLib) {
    load_errors[*dll].store(info->dwLastError, std::memory_order_relaxed);
    return reinterpret_cast<FARPROC>(own_module());
  }
  // Only a lookup in the module handed out above: a function missing from a DLL that did load
  // is raised as before.
  if (notification != dliFailGetProc || info->hmodCur != own_module() || !info->dlp.fImportByName ||
      info->dlp.szProcName == nullptr) {
    return nullptr;
  }
  const std::string_view name(info->dlp.szProcName);
  for (const StandIn& stand_in : STAND_INS) {
    if (stand_in.dll == *dll && stand_in.name == name) return stand_in.proc;
  }
  return nullptr;
}

}  // namespace delayload

// The loader's hook variable, declared extern "C" by <delayimp.h>: writable in mingw-w64's
// header, const in MSVC's.
#if defined(__MINGW32__)
PfnDliHook __pfnDliFailureHook2 = delayload::on_failure;
#else
const PfnDliHook __pfnDliFailureHook2 = delayload::on_failure;
#endif
