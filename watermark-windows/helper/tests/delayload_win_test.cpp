// Runs with mf, mfplat, crypt32 and wintrust disabled in Wine (see delayload.cmake), so each
// call below goes through the loader's failed delay load and the program's failure hook, as on
// a Windows without Media Foundation.
#include <windows.h>

#include <mfapi.h>
#include <mfidl.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <type_traits>

#include "delayload_win.hpp"

namespace {

// What the loader met when it tried the DLL: the same search as the delay load's.
std::optional<DWORD> load_error(const wchar_t* dll) {
  const HMODULE module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr) {
    FreeLibrary(module);
    return std::nullopt;
  }
  return GetLastError();
}

// A call's result as one number, pointers included.
template <typename T>
std::int64_t number(T result) {
  if constexpr (std::is_pointer_v<T>) {
    return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(result));
  } else {
    return static_cast<std::int64_t>(result);
  }
}

TEST(DelayLoad, CallsIntoMissingDllsFailAsTheirFunctionsReport) {
  const wchar_t* dlls[] = {L"mf.dll", L"mfplat.dll", L"crypt32.dll", L"wintrust.dll"};
  for (const wchar_t* dll : dlls) {
    if (!load_error(dll)) GTEST_SKIP() << "the platform DLLs load here (no DLL overrides set)";
  }
  const DWORD mf = *load_error(L"mf.dll");
  const DWORD mfplat = *load_error(L"mfplat.dll");
  const DWORD crypt32 = *load_error(L"crypt32.dll");
  const DWORD wintrust = *load_error(L"wintrust.dll");
  const auto hresult = [](DWORD error) {
    return static_cast<std::int64_t>(HRESULT_FROM_WIN32(error));
  };

  IMFAttributes* attributes = nullptr;
  IMFActivate** activates = nullptr;
  UINT32 count = 0;
  GUID policy = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  DWORD size = 0;
  wchar_t name[8] = {L'x'};

  struct Case {
    const char* function;
    std::function<std::int64_t()> call;
    std::int64_t result;
    // The thread's last error after the call; none where the function reports no error code.
    std::optional<DWORD> last_error;
  };
  const Case cases[] = {
      {"MFStartup", [&] { return number(MFStartup(MF_VERSION, MFSTARTUP_LITE)); }, hresult(mfplat),
       std::nullopt},
      {"MFCreateAttributes", [&] { return number(MFCreateAttributes(&attributes, 1)); },
       hresult(mfplat), std::nullopt},
      {"MFEnumDeviceSources",
       [&] { return number(MFEnumDeviceSources(nullptr, &activates, &count)); }, hresult(mf),
       std::nullopt},
      // Any status but 0 is "not trusted".
      {"WinVerifyTrust", [&] { return number(WinVerifyTrust(nullptr, &policy, nullptr)); },
       hresult(wintrust), std::nullopt},
      {"CryptQueryObject",
       [&] {
         return number(CryptQueryObject(CERT_QUERY_OBJECT_FILE, L"C:\\none.dll",
                                        CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                                        CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr, nullptr,
                                        &store, &message, nullptr));
       },
       FALSE, crypt32},
      {"CryptMsgGetParam",
       [&] {
         return number(CryptMsgGetParam(nullptr, CMSG_SIGNER_CERT_INFO_PARAM, 0, nullptr, &size));
       },
       FALSE, crypt32},
      {"CryptMsgClose", [&] { return number(CryptMsgClose(nullptr)); }, FALSE, crypt32},
      {"CertFindCertificateInStore",
       [&] {
         return number(CertFindCertificateInStore(nullptr, X509_ASN_ENCODING, 0, CERT_FIND_ANY,
                                                  nullptr, nullptr));
       },
       0, crypt32},
      // Documented never to fail.
      {"CertFreeCertificateContext", [&] { return number(CertFreeCertificateContext(nullptr)); },
       TRUE, std::nullopt},
      {"CertCloseStore", [&] { return number(CertCloseStore(nullptr, 0)); }, FALSE, crypt32},
      // An unreadable name is the empty text: one unit, its NUL.
      {"CertGetNameStringW",
       [&] {
         return number(CertGetNameStringW(nullptr, CERT_NAME_ATTR_TYPE, 0,
                                          const_cast<char*>(szOID_COMMON_NAME), name, 8));
       },
       1, crypt32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.function);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(c.call(), c.result);
    if (c.last_error) {
      EXPECT_EQ(GetLastError(), *c.last_error);
    }
  }
  EXPECT_EQ(name[0], L'\0');
}

DelayLoadInfo info_for(const char* dll, const char* function, HMODULE loaded, DWORD error) {
  DelayLoadInfo info{};
  info.cb = sizeof info;
  info.szDll = dll;
  info.dlp.fImportByName = function != nullptr;
  if (function != nullptr) {
    info.dlp.szProcName = function;
  } else {
    info.dlp.dwOrdinal = 7;
  }
  info.hmodCur = loaded;
  info.dwLastError = error;
  return info;
}

// Whatever the hook has no stand-in for is left to the loader, which raises as before.
TEST(DelayLoad, FailuresWithoutAStandInAreLeftToTheLoader) {
  const HMODULE own = GetModuleHandleW(nullptr);
  const HMODULE other = GetModuleHandleW(L"kernel32.dll");

  DelayLoadInfo load = info_for("MFPLAT.DLL", nullptr, nullptr, ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(delayload::on_failure(dliFailLoadLib, &load), reinterpret_cast<FARPROC>(own))
      << "a listed DLL, whatever the letter case of its name";
  DelayLoadInfo unlisted = info_for("d3d11.dll", nullptr, nullptr, ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(delayload::on_failure(dliFailLoadLib, &unlisted), nullptr);

  struct Case {
    const char* what;
    DelayLoadInfo info;
  };
  const Case cases[] = {
      {"a DLL that is not listed", info_for("d3d11.dll", "D3D11CreateDevice", own, 127)},
      {"a function without a stand-in", info_for("mfplat.dll", "MFShutdown", own, 127)},
      {"an import by ordinal", info_for("mfplat.dll", nullptr, own, 127)},
      {"a function missing from a DLL that loaded",
       info_for("mfplat.dll", "MFStartup", other, 127)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DelayLoadInfo info = c.info;
    EXPECT_EQ(delayload::on_failure(dliFailGetProc, &info), nullptr);
  }
  DelayLoadInfo known = info_for("mfplat.dll", "MFStartup", own, 127);
  EXPECT_NE(delayload::on_failure(dliFailGetProc, &known), nullptr);
}

}  // namespace
