#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lib.hpp"

namespace {

std::vector<std::uint8_t> bytes_of(std::string_view text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

TEST(ContentHash, MatchesPublishedFnv1a64Vectors) {
  const struct {
    std::vector<std::uint8_t> input;
    const char* hash;
  } cases[] = {
      {{}, "cbf29ce484222325"},
      {bytes_of("a"), "af63dc4c8601ec8c"},
      {bytes_of("b"), "af63df4c8601f1a5"},
      {bytes_of("foobar"), "85944171f73967e8"},
      {bytes_of("chongo was here!\n"), "46810940eff5f915"},
      // A hash below 2^56: the two leading zero digits stay.
      {{0x29, 0x00, 0x00}, "00c00f17f1675104"},
  };
  for (const auto& c : cases) EXPECT_EQ(shared::content_hash(c.input), c.hash);
}

TEST(CameraClasses, TextAndFieldsOfEachSlot) {
  const char* texts[] = {
      "{4E8B1A2C-6D3F-4A7B-9E51-3C2D8F6A0B90}", "{4E8B1A2C-6D3F-4A7B-9E51-3C2D8F6A0B91}",
      "{4E8B1A2C-6D3F-4A7B-9E51-3C2D8F6A0B92}", "{4E8B1A2C-6D3F-4A7B-9E51-3C2D8F6A0B93}"};
  for (unsigned slot = 0; slot < shared::SLOT_COUNT; ++slot) {
    EXPECT_EQ(shared::clsid_text(slot), texts[slot]);
    const shared::ClsidFields f = shared::clsid_fields(slot);
    EXPECT_EQ(f.data1, 0x4E8B1A2Cu);
    EXPECT_EQ(f.data2, 0x6D3F);
    EXPECT_EQ(f.data3, 0x4A7B);
    const std::array<std::uint8_t, 8> data4 = {0x9E, 0x51, 0x3C, 0x2D, 0x8F, 0x6A, 0x0B,
                                               static_cast<std::uint8_t>(0x90 + slot)};
    EXPECT_EQ(f.data4, data4);
    EXPECT_EQ(shared::slot_of(f), slot);
  }
}

TEST(CameraClasses, AnyOtherIdentifierHasNoSlot) {
  shared::ClsidFields last_byte = shared::clsid_fields(0);
  last_byte.data4[7] = 0x94;
  EXPECT_EQ(shared::slot_of(last_byte), std::nullopt);

  shared::ClsidFields other_data1 = shared::clsid_fields(2);
  other_data1.data1 ^= 1;
  EXPECT_EQ(shared::slot_of(other_data1), std::nullopt);

  shared::ClsidFields other_head = shared::clsid_fields(1);
  other_head.data4[0] = 0x9F;
  EXPECT_EQ(shared::slot_of(other_head), std::nullopt);
}

TEST(Paths, JoinPutsOneBackslash) {
  EXPECT_EQ(shared::join_path("C:\\Program Files", "VantorelVirtualCamera"),
            "C:\\Program Files\\VantorelVirtualCamera");
  EXPECT_EQ(shared::join_path("C:\\", "x"), "C:\\x");
  EXPECT_EQ(shared::join_path("C:/dir/", "x"), "C:/dir/x");
}

TEST(Paths, ProgramFilesFallsBackWhenTheShellGivesNothingUsable) {
  EXPECT_EQ(shared::program_files_or_default(std::nullopt), "C:\\Program Files");
  const char16_t broken[] = {u'D', u':', 0xD800};
  EXPECT_EQ(shared::program_files_or_default(std::u16string_view(broken, 3)), "C:\\Program Files");
  EXPECT_EQ(shared::program_files_or_default(u"D:\\Programme"), "D:\\Programme");
  // With the fallback, the state file path gets one backslash at each join.
  EXPECT_EQ(shared::join_path(
                shared::join_path(shared::program_files_or_default(std::nullopt), "VantorelVirtualCamera"),
                "state.bin"),
            "C:\\Program Files\\VantorelVirtualCamera\\state.bin");
}

TEST(CameraName, JoinsWithoutTrimming) {
  EXPECT_EQ(shared::camera_name("Integrated Camera", "Vantorel"),
            "Integrated Camera - Vantorel Watermark");
  EXPECT_EQ(shared::camera_name(" Cam ", ""), " Cam  -  Watermark");
}

TEST(VirtualCamera, MarkerInAnyAsciiLetterCase) {
  struct Case {
    const char* link;
    bool is_virtual;
  };
  const Case cases[] = {
      {"\\\\?\\swd#vcamdevapi#{1}", true},
      {"\\\\?\\SWD#VCAMDEVAPI#{1}", true},
      {"#vcamdevapi#", true},
      {"\\\\?\\swd#vcamdevapi{1}", false},  // the marker needs both separators
      {"\\\\?\\usb#vid_046d&pid_0825#vcam", false},
      {"\\\\?\\swd#VCamDevApi#", true},             // at the very end
      {"\\\\?\\swd#vcamdevapi", false},             // cut short at the end
      {"\\\\?\\swd#VCAMDEVAP\xC4\xB0#{1}", false},  // U+0130 is no ASCII letter
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(shared::is_virtual_camera(c.link), c.is_virtual) << c.link;
}

}  // namespace
