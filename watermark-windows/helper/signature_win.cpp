#include <windows.h>

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <platform/wintrust_data.hpp>

#include <vector>

#include "signature.hpp"
#include "win_error.hpp"

namespace signature {
namespace {

using TrustData = platform::WintrustData;

constexpr DWORD COMMON_NAME_UNITS = 256;
constexpr DWORD CERT_ENCODING = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

class CertStore {
 public:
  CertStore() = default;
  CertStore(const CertStore&) = delete;
  CertStore& operator=(const CertStore&) = delete;
  ~CertStore() {
    if (store) CertCloseStore(store, 0);
  }
  HCERTSTORE store = nullptr;
};

class CryptMsg {
 public:
  CryptMsg() = default;
  CryptMsg(const CryptMsg&) = delete;
  CryptMsg& operator=(const CryptMsg&) = delete;
  ~CryptMsg() {
    if (msg) CryptMsgClose(msg);
  }
  HCRYPTMSG msg = nullptr;
};

class CertContext {
 public:
  explicit CertContext(PCCERT_CONTEXT cert) : cert(cert) {}
  CertContext(const CertContext&) = delete;
  CertContext& operator=(const CertContext&) = delete;
  ~CertContext() {
    if (cert) CertFreeCertificateContext(cert);
  }
  PCCERT_CONTEXT cert;
};

}  // namespace

bool dlls_trusted(std::span<const std::string> paths) {
  for (const std::string& path : paths) {
    if (!signed_by_publisher(path)) return false;
  }
  return true;
}

bool signed_by_publisher(const std::string& path) {
  if (verify_status(path) != 0) return false;
  const std::optional<bool> named = with_signer_cert(path, [](const _CERT_CONTEXT* cert) {
    return names_publisher([cert](bool issuer) { return common_name(cert, issuer); });
  });
  return named.value_or(false);
}

std::int32_t verify_status(const std::string& path) {
  const std::wstring file = shared::win::wide(path);

  WINTRUST_FILE_INFO info{};
  info.cbStruct = sizeof(info);
  info.pcwszFilePath = file.c_str();
  info.hFile = nullptr;
  info.pgKnownSubject = nullptr;

  TrustData data{};
  data.cbStruct = sizeof(data);
  data.pPolicyCallbackData = nullptr;
  data.pSIPClientData = nullptr;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &info;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.hWVTStateData = nullptr;
  data.pwszURLReference = nullptr;
  data.dwProvFlags = 0;
  data.dwUIContext = 0;
  data.pSignatureSettings = nullptr;

  GUID policy = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG result = WinVerifyTrust(nullptr, &policy, &data);
  // The verify step leaves state data behind whatever it answered.
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(nullptr, &policy, &data);
  return static_cast<std::int32_t>(result);
}

std::optional<bool> with_signer_cert(const std::string& path,
                                     const std::function<bool(const _CERT_CONTEXT*)>& fn) {
  const std::wstring file = shared::win::wide(path);
  CertStore store;
  CryptMsg msg;
  if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, file.c_str(),
                        CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED, CERT_QUERY_FORMAT_FLAG_BINARY,
                        0, nullptr, nullptr, nullptr, &store.store, &msg.msg, nullptr)) {
    return std::nullopt;
  }

  DWORD size = 0;
  if (!CryptMsgGetParam(msg.msg, CMSG_SIGNER_CERT_INFO_PARAM, 0, nullptr, &size)) {
    return std::nullopt;
  }
  std::vector<BYTE> signer(size, 0);
  if (!CryptMsgGetParam(msg.msg, CMSG_SIGNER_CERT_INFO_PARAM, 0, signer.data(), &size)) {
    return std::nullopt;
  }

  const CertContext cert(CertFindCertificateInStore(
      store.store, CERT_ENCODING, 0, CERT_FIND_SUBJECT_CERT, signer.data(), nullptr));
  if (!cert.cert) return std::nullopt;
  return fn(cert.cert);
}

std::string common_name(const _CERT_CONTEXT* cert, bool issuer) {
  wchar_t buffer[COMMON_NAME_UNITS] = {};
  const DWORD n =
      CertGetNameStringW(cert, CERT_NAME_ATTR_TYPE, issuer ? CERT_NAME_ISSUER_FLAG : 0,
                         const_cast<char*>(szOID_COMMON_NAME), buffer, COMMON_NAME_UNITS);
  if (n == 0) return {};
  return shared::win::narrow(std::wstring_view(buffer, n - 1));
}

}  // namespace signature
