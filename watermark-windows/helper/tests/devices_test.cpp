#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "devices.hpp"

namespace {

using devices::Device;

TEST(PhysicalCameras, FirstFourNonVirtualInOrder) {
  const std::vector<Device> all = {
      {"Virtual A", "\\\\?\\SWD#VCAMDEVAPI#{aaa}"},
      {"Cam 1", "\\\\?\\usb#vid_1#1"},
      {"Cam 2", "\\\\?\\usb#vid_2#2"},
      {"Virtual B", "\\\\?\\swd#vcamdevapi#{bbb}"},
      {"Cam 3", "\\\\?\\USB#VID_3#3"},
      {"Cam 4", "\\\\?\\usb#vid_4#4"},
      {"Virtual C", "\\\\?\\swd#VCamDevApi#{ccc}"},
      {"Cam 5", "\\\\?\\usb#vid_5#5"},
  };
  const std::vector<Device> expected = {all[1], all[2], all[4], all[5]};
  EXPECT_EQ(devices::physical_cameras(all), expected);
  EXPECT_TRUE(devices::physical_cameras({}).empty());
  EXPECT_TRUE(devices::physical_cameras({all[0], all[3]}).empty());
}

TEST(CameraError, NamesThePositionAndTheWindowsError) {
  const shared::Error denied =
      shared::Error::from_hresult(static_cast<std::int32_t>(0x80070005), "Access is denied.");
  EXPECT_EQ(devices::camera_error(1, denied), "virtual camera 1: Access is denied. (0x80070005)");
  EXPECT_EQ(
      devices::camera_error(3, shared::Error::from_hresult(static_cast<std::int32_t>(0x8000FFFF))),
      "virtual camera 3: 0x8000FFFF");
}

TEST(ImageFileName, LastComponentAsciiLowerCased) {
  struct Case {
    std::u16string path;
    std::string name;
  };
  const Case cases[] = {
      {u"C:\\Windows\\System32\\SVCHOST.EXE", "svchost.exe"}, {u"Zoom.EXE", "zoom.exe"},
      {u"C:\\Apps\\\u00C4RGER.exe", "\xC3\x84rger.exe"},  // non-ASCII keeps its case
      {u"C:\\dir/with/Slash.EXE", "dir/with/slash.exe"},      {u"C:\\trailing\\", ""},
      {u"C:\\bad\\a\xD800.exe", "a\xEF\xBF\xBD.exe"},
  };
  for (const Case& c : cases) EXPECT_EQ(devices::image_file_name(c.path), c.name) << c.name;
}

TEST(ActivityMap, CopiesAreAlwaysWholeReports) {
  devices::ActivityMap map;
  EXPECT_TRUE(map.copy().empty());
  const devices::Activity one = {{"a", {1}}, {"b", {2, 3}}};
  const devices::Activity two = {{"c", {}}};
  std::atomic<bool> stop = false;
  std::thread writer([&] {
    for (int i = 0; !stop; ++i) map.replace(i % 2 ? one : two);
  });
  for (int i = 0; i < 20000; ++i) {
    const devices::Activity seen = map.copy();
    ASSERT_TRUE(seen.empty() || seen == one || seen == two);
  }
  stop = true;
  writer.join();
}

}  // namespace
