#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "install.hpp"

namespace {

TEST(BackendRelative, NamesTheBackendByTheHashOfItsBytes) {
  // FNV-1a of no bytes is its offset basis.
  EXPECT_EQ(install::backend_relative({}),
            "backends\\cbf29ce484222325\\VantorelVirtualCameraBackend.dll");
  const std::vector<std::uint8_t> a = {'M', 'Z', 0x90, 0};
  const std::vector<std::uint8_t> b = {'M', 'Z', 0x90, 1};
  const std::string rel_a = install::backend_relative(a);
  EXPECT_EQ(rel_a.size(), std::string("backends\\\\VantorelVirtualCameraBackend.dll").size() + 16);
  EXPECT_NE(rel_a, install::backend_relative(b));
  for (char c : rel_a.substr(9, 16)) EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
}

TEST(ClassKeys, OneKeyPerSlotUnderClasses) {
  EXPECT_EQ(install::clsid_key(0),
            "SOFTWARE\\Classes\\CLSID\\{4E8B1A2C-6D3F-4A7B-9E51-3C2D8F6A0B90}");
  EXPECT_EQ(install::server_key(3),
            "SOFTWARE\\Classes\\CLSID\\{4E8B1A2C-6D3F-4A7B-9E51-3C2D8F6A0B93}\\InprocServer32");
}

TEST(ConfigCurrent, TrimsUnicodeWhiteSpaceButComparesExactly) {
  const std::string rel = "backends\\0123456789abcdef\\VantorelVirtualCameraBackend.dll";
  struct Case {
    std::string content;
    bool current;
  };
  const Case cases[] = {
      {rel, true},
      {rel + "\r\n", true},
      {rel + "\n", true},
      {"  \t" + rel, true},
      {"\xE3\x80\x80" + rel + "\xC2\xA0\xE2\x80\xA8", true},  // ideographic space, NBSP, LS
      {"backends\\0123456789abcdee\\VantorelVirtualCameraBackend.dll", false},
      {"backends\\0123456789ABCDEF\\VantorelVirtualCameraBackend.dll", false},
      {"Backends\\0123456789abcdef\\VantorelVirtualCameraBackend.dll", false},
      {rel + "\xFF", false},          // invalid UTF-8 at the end
      {"\xC0\xA0" + rel, false},      // overlong blank is not white space, and invalid
      {rel + "\xE2\x80\x8B", false},  // zero width space is not White_Space
      {rel + "x", false},
      {"", false},
      {"\xEF\xBB\xBF" + rel, false},  // a byte-order mark is not white space
  };
  for (const Case& c : cases)
    EXPECT_EQ(install::config_current(c.content, rel), c.current) << c.content;
}

TEST(ConsentValue, OnlyExactDenyDenies) {
  struct Case {
    std::optional<std::string> value;
    bool denied;
  };
  const Case cases[] = {
      {"Deny", true},   {"deny", false}, {"DENY", false},       {"Deny ", false},
      {"Allow", false}, {"", false},     {std::nullopt, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(install::is_denial(c.value), c.denied) << c.value.value_or("<none>");
}

}  // namespace
