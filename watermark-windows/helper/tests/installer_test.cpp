#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "install_setup.hpp"

namespace {

TEST(InstallerDecisions, StateAccessListGrantsUsersTheStateAccess) {
  EXPECT_EQ(install::state_sddl(),
            "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x120089;;;LS)(A;;0x12008f;;;BU)");
}

TEST(InstallerDecisions, PartialFileReplacesTheExtensionOfTheLastComponent) {
  struct Case {
    const char* path;
    const char* partial;
  };
  const Case cases[] = {
      {"C:\\Program Files\\VantorelVirtualCamera\\VantorelVirtualCamera.cfg",
       "C:\\Program Files\\VantorelVirtualCamera\\VantorelVirtualCamera.partial"},
      {"C:\\x\\backends\\0123456789abcdef\\VantorelVirtualCameraBackend.dll",
       "C:\\x\\backends\\0123456789abcdef\\VantorelVirtualCameraBackend.partial"},
      {"C:\\a.b\\file", "C:\\a.b\\file.partial"},
      {"C:\\a\\archive.tar.gz", "C:\\a\\archive.tar.partial"},
      {"C:\\a\\.hidden", "C:\\a\\.hidden.partial"},
      {"name", "name.partial"},
  };
  for (const Case& c : cases) EXPECT_EQ(install::partial_path(c.path), c.partial) << c.path;
}

TEST(InstallerDecisions, ProxyLeftoversCarryTheirTimeAndAreFoundByPrefix) {
  EXPECT_EQ(install::staged_name(), "VantorelVirtualCamera.dll.staged");
  EXPECT_EQ(install::old_proxy_name(1765362000123), "VantorelVirtualCamera.dll.old.1765362000123");
  struct Case {
    const char* name;
    bool old;
  };
  const Case cases[] = {
      {"VantorelVirtualCamera.dll.old.1765362000123", true},
      {"VantorelVirtualCamera.dll.old.", true},
      {"VantorelVirtualCamera.dll", false},
      {"VantorelVirtualCamera.dll.staged", false},
      {"vantorelvirtualcamera.dll.old.1", false},
      {"x.VantorelVirtualCamera.dll.old.1", false},
  };
  for (const Case& c : cases) EXPECT_EQ(install::is_old_proxy(c.name), c.old) << c.name;
}

TEST(InstallerDecisions, RegistersFourClassesWithTheProxyAsBothThreadedServer) {
  const std::string proxy = "C:\\Program Files\\VantorelVirtualCamera\\VantorelVirtualCamera.dll";
  const std::vector<install::RegistryValue> values = install::registry_values(proxy);
  ASSERT_EQ(values.size(), 12u);
  for (unsigned slot = 0; slot < 4; ++slot) {
    const std::string key = "SOFTWARE\\Classes\\CLSID\\{4E8B1A2C-6D3F-4A7B-9E51-3C2D8F6A0B9" +
                            std::to_string(slot) + "}";
    const std::string server = key + "\\InprocServer32";
    EXPECT_EQ(values[3 * slot],
              (install::RegistryValue{key, std::nullopt, "VantorelVirtualCamera"}));
    EXPECT_EQ(values[3 * slot + 1], (install::RegistryValue{server, std::nullopt, proxy}));
    EXPECT_EQ(values[3 * slot + 2], (install::RegistryValue{server, "ThreadingModel", "Both"}));
  }
}

TEST(InstallerDecisions, ExitCodeNeedsSuccessAndACurrentInstallation) {
  struct Case {
    std::uint32_t elevated_exit;
    bool installed;
    int code;
    bool asked;
  };
  const Case cases[] = {
      {0, true, 0, true},
      {0, false, 1, true},
      {1, true, 1, false},
      {0xC0000005u, true, 1, false},
  };
  for (const Case& c : cases) {
    bool asked = false;
    const int code = install::exit_code_of(c.elevated_exit, [&] {
      asked = true;
      return c.installed;
    });
    EXPECT_EQ(code, c.code) << c.elevated_exit << " " << c.installed;
    EXPECT_EQ(asked, c.asked) << c.elevated_exit;
  }
}

TEST(InstallerDecisions, DeclinedElevationIsTheCancelledError) {
  EXPECT_TRUE(install::launch_declined(1223));
  EXPECT_TRUE(install::launch_declined(0x800704C7u));
  EXPECT_FALSE(install::launch_declined(2));
  EXPECT_FALSE(install::launch_declined(5));
}

}  // namespace
