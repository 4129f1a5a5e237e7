#pragma once
// platform::WintrustData: the WINTRUST_DATA of the current SDK, which ends with
// pSignatureSettings (88 bytes on 64-bit Windows). WinVerifyTrust of a current system checks
// cbStruct against that full size. Header sets that know signature settings (the Windows SDK,
// whose WSS_* flags come with them) have the full structure; mingw-w64 10 stops at dwUIContext,
// so for it the structure is declared here.

#include <windows.h>
#include <wintrust.h>

#include <cstddef>

namespace platform {

#if defined(WSS_VERIFY_SPECIFIC)

using WintrustData = WINTRUST_DATA;

#else

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
#else
static_assert(sizeof(WintrustSignatureSettings) == 24);
#endif

#endif

// Whichever declaration applies, the size is the one WinVerifyTrust expects.
#if defined(_WIN64)
static_assert(sizeof(WintrustData) == 88);
#else
static_assert(sizeof(WintrustData) == 52);
#endif

}  // namespace platform
