#pragma once
// The WINTRUST_DATA of the current SDK, which ends with pSignatureSettings (88 bytes on x64).
// mingw-w64 10 stops at dwUIContext, and WinVerifyTrust of a current system checks cbStruct
// against the full size. Only the mingw build includes this; MSVC takes WINTRUST_DATA from
// its SDK.

#if defined(VT_PLATFORM_GAPS)

#include <windows.h>
#include <wintrust.h>

#include <cstddef>

namespace platform {

struct WintrustSignatureSettings {
  DWORD cbStruct;
  DWORD dwIndex;
  DWORD dwFlags;
  DWORD cSecondarySigs;
  DWORD dwVerifiedSigIndex;
  CERT_STRONG_SIGN_PARA* pCryptoPolicy;
};

struct WintrustData {
  DWORD cbStruct;
  LPVOID pPolicyCallbackData;
  LPVOID pSIPClientData;
  DWORD dwUIChoice;
  DWORD fdwRevocationChecks;
  DWORD dwUnionChoice;
  union {
    WINTRUST_FILE_INFO* pFile;
    WINTRUST_CATALOG_INFO* pCatalog;
    WINTRUST_BLOB_INFO* pBlob;
    WINTRUST_SGNR_INFO* pSgnr;
    WINTRUST_CERT_INFO* pCert;
    void* pDetachedSig;
  };
  DWORD dwStateAction;
  HANDLE hWVTStateData;
  WCHAR* pwszURLReference;
  DWORD dwProvFlags;
  DWORD dwUIContext;
  WintrustSignatureSettings* pSignatureSettings;
};

#if defined(_WIN64)
static_assert(sizeof(WintrustSignatureSettings) == 32);
static_assert(offsetof(WintrustData, pFile) == 40);
static_assert(offsetof(WintrustData, dwStateAction) == 48);
static_assert(offsetof(WintrustData, dwUIContext) == 76);
static_assert(offsetof(WintrustData, pSignatureSettings) == 80);
static_assert(sizeof(WintrustData) == 88);
#else
static_assert(sizeof(WintrustSignatureSettings) == 24);
static_assert(sizeof(WintrustData) == 52);
#endif

}  // namespace platform

#endif
