#pragma once
// Authenticode check of the camera DLLs before the installer puts them in place. It answers
// yes or no and reports nothing; the installer decides what a no means.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct _CERT_CONTEXT;

namespace signature {

inline constexpr std::string_view PUBLISHER = "Vantorel GmbH";
inline constexpr std::string_view ISSUER = "GlobalSign GCC R45 EV CodeSigning CA 2020";

// The signer test: the subject's common name must be the publisher, and only then is the
// issuer's asked for, which must be the expected authority. Exact, case-sensitive, untrimmed.
// `common_name(true)` gives the issuer's name, `common_name(false)` the subject's.
bool names_publisher(const std::function<std::string(bool issuer)>& common_name);

// Windows only. Paths are UTF-8.

// True when every path passes signed_by_publisher, testing in order and stopping at the first
// that fails; true for none.
bool dlls_trusted(std::span<const std::string> paths);
bool signed_by_publisher(const std::string& path);
// The WinVerifyTrust result under the generic verification policy, without revocation checks;
// 0 means trusted.
std::int32_t verify_status(const std::string& path);
// Applies `fn` to the certificate of the first signer of the embedded signature; none when the
// file has no embedded signature or its signer certificate is not in the signature's store.
std::optional<bool> with_signer_cert(const std::string& path,
                                     const std::function<bool(const _CERT_CONTEXT*)>& fn);
// The common name (2.5.4.3) of the certificate's subject, or of its issuer; empty when absent.
std::string common_name(const _CERT_CONTEXT* cert, bool issuer);

}  // namespace signature
