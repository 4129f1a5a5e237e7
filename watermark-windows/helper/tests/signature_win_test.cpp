#include <windows.h>

#include <wincrypt.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "signature.hpp"

namespace {

const std::string signed_dir = VT_SIGNED_DIR;

std::string signed_file(const std::string& variant,
                        const std::string& name = "VantorelVirtualCameraBackend.dll") {
  return signed_dir + "\\" + variant + "\\" + name;
}

struct SignerCase {
  const char* variant;
  bool trusted;
};

// Under Wine a well-formed signature verifies without a trusted root, so the names decide.
TEST(Signature, AcceptsOnlyThePublisherUnderTheExpectedIssuer) {
  const SignerCase cases[] = {
      {"good", true},
      {"good2", true},
      {"subject", false},
      {"issuer", false},
      {"case", false},
      {"nocn", false},
      {"unsigned", false},
      {"missing", false},
      // The right signer over bytes changed after signing: only the platform's check sees it.
      {"tampered", false},
  };
  for (const SignerCase& c : cases) {
    for (const char* name : {"VantorelVirtualCamera.dll", "VantorelVirtualCameraBackend.dll"}) {
      EXPECT_EQ(signature::signed_by_publisher(signed_file(c.variant, name)), c.trusted)
          << c.variant << "\\" << name;
    }
  }
}

TEST(Signature, VerifyStatusRejectsUnsignedAndMissingFiles) {
  EXPECT_EQ(signature::verify_status(signed_file("good")), 0);
  // A name mismatch is not the platform's concern: the signature itself verifies.
  EXPECT_EQ(signature::verify_status(signed_file("issuer")), 0);
  EXPECT_EQ(static_cast<std::uint32_t>(signature::verify_status(signed_file("unsigned"))),
            static_cast<std::uint32_t>(TRUST_E_NOSIGNATURE));
  EXPECT_NE(signature::verify_status(signed_file("missing")), 0);
  EXPECT_EQ(static_cast<std::uint32_t>(signature::verify_status(signed_file("tampered"))),
            static_cast<std::uint32_t>(TRUST_E_BAD_DIGEST));
}

TEST(Signature, ReadsSubjectAndIssuerNamesOfTheSigner) {
  struct NamesCase {
    const char* variant;
    const char* subject;
    const char* issuer;
  };
  const NamesCase cases[] = {
      {"good", "Vantorel GmbH", "GlobalSign GCC R45 EV CodeSigning CA 2020"},
      {"issuer", "Vantorel GmbH", "Other Test CodeSigning CA"},
      {"case", "vantorel gmbh", "GlobalSign GCC R45 EV CodeSigning CA 2020"},
      {"nocn", "", "GlobalSign GCC R45 EV CodeSigning CA 2020"},
      {"tampered", "Vantorel GmbH", "GlobalSign GCC R45 EV CodeSigning CA 2020"},
  };
  for (const NamesCase& c : cases) {
    std::string subject, issuer;
    const std::optional<bool> result =
        signature::with_signer_cert(signed_file(c.variant), [&](const _CERT_CONTEXT* cert) {
          subject = signature::common_name(cert, false);
          issuer = signature::common_name(cert, true);
          return true;
        });
    ASSERT_EQ(result, std::optional<bool>(true)) << c.variant;
    EXPECT_EQ(subject, c.subject) << c.variant;
    EXPECT_EQ(issuer, c.issuer) << c.variant;
  }
}

TEST(Signature, NoSignerCertificateWithoutAnEmbeddedSignature) {
  for (const char* variant : {"unsigned", "missing"}) {
    bool called = false;
    const std::optional<bool> result =
        signature::with_signer_cert(signed_file(variant), [&](const _CERT_CONTEXT*) {
          called = true;
          return true;
        });
    EXPECT_EQ(result, std::nullopt) << variant;
    EXPECT_FALSE(called) << variant;
  }
}

// A path whose opening can be seen: a named pipe whose server notes the first client and
// then drops it, so that a reader of the "file" gets an error instead of waiting for bytes.
class OpenProbe {
 public:
  explicit OpenProbe(const wchar_t* name) : name_(name) {
    pipe_ =
        CreateNamedPipeW(name, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr);
    server_ = std::thread([this] {
      const BOOL connected = ConnectNamedPipe(pipe_, nullptr);
      if ((connected || GetLastError() == ERROR_PIPE_CONNECTED) && !finishing_) opened_ = true;
      DisconnectNamedPipe(pipe_);
    });
  }
  OpenProbe(const OpenProbe&) = delete;
  OpenProbe& operator=(const OpenProbe&) = delete;
  ~OpenProbe() { finish(); }

  bool valid() const { return pipe_ != INVALID_HANDLE_VALUE; }
  std::string path() const { return shared_path(name_); }

  // True when something other than the probe itself opened the pipe.
  bool finish() {
    if (server_.joinable()) {
      finishing_ = true;
      // Ends the server's wait when nothing opened the pipe.
      HANDLE self = CreateFileW(name_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      server_.join();
      if (self != INVALID_HANDLE_VALUE) CloseHandle(self);
      CloseHandle(pipe_);
    }
    return opened_;
  }

 private:
  static std::string shared_path(const std::wstring& name) {
    return std::string(name.begin(), name.end());
  }

  std::wstring name_;
  HANDLE pipe_ = INVALID_HANDLE_VALUE;
  std::thread server_;
  std::atomic<bool> finishing_{false};
  std::atomic<bool> opened_{false};
};

TEST(Signature, ListPassesOnlyWhenAllPassAndStopsAtTheFirstFailure) {
  const std::string good = signed_file("good");
  const std::string good_proxy = signed_file("good", "VantorelVirtualCamera.dll");
  const std::string bad = signed_file("subject");
  EXPECT_TRUE(signature::dlls_trusted(std::vector<std::string>{}));
  EXPECT_TRUE(signature::dlls_trusted(std::vector{good_proxy, good}));
  EXPECT_FALSE(signature::dlls_trusted(std::vector{good, bad}));
  EXPECT_FALSE(signature::dlls_trusted(std::vector{bad, good}));

  struct OrderCase {
    std::string first;
    bool second_examined;
  };
  const OrderCase cases[] = {{good, true}, {bad, false}, {signed_file("unsigned"), false}};
  for (const OrderCase& c : cases) {
    OpenProbe probe(L"\\\\.\\pipe\\vt_signature_probe");
    ASSERT_TRUE(probe.valid());
    EXPECT_FALSE(signature::dlls_trusted(std::vector{c.first, probe.path()}));
    EXPECT_EQ(probe.finish(), c.second_examined) << c.first;
  }
}

}  // namespace
