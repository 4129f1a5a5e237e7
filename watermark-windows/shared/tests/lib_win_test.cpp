#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include <windows.h>
#include <objbase.h>

#include "lib.hpp"
#include "win_error.hpp"

namespace {

TEST(KnownFolders, StatePathInTheProgramFilesFolder) {
  EXPECT_EQ(shared::program_files(), "C:\\Program Files");
  EXPECT_EQ(shared::install_dir(), "C:\\Program Files\\VantorelVirtualCamera");
  EXPECT_EQ(shared::state_path(), "C:\\Program Files\\VantorelVirtualCamera\\state.bin");
}

TEST(CameraClasses, TextIsThePlatformsFormOfTheFields) {
  for (unsigned slot = 0; slot < shared::SLOT_COUNT; ++slot) {
    const shared::ClsidFields f = shared::clsid_fields(slot);
    GUID guid{f.data1, f.data2, f.data3, {}};
    for (int i = 0; i < 8; ++i) guid.Data4[i] = f.data4[i];
    wchar_t text[40];
    ASSERT_EQ(StringFromGUID2(guid, text, 40), 39);
    EXPECT_EQ(shared::clsid_text(slot), shared::win::narrow(text));
  }
}

TEST(WindowsErrors, CarryTheSystemMessage) {
  const shared::Error missing = shared::win::win32_error(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(static_cast<std::uint32_t>(missing.code()), 0x80070002u);
  EXPECT_FALSE(missing.message().empty());
  const std::string text = missing.text();
  EXPECT_EQ(text.substr(text.size() - 13), " (0x80070002)");
  EXPECT_NE(text.back(), '\n');

  const shared::Error io = shared::win::io_error(ERROR_ACCESS_DENIED);
  EXPECT_EQ(io.text(), io.message() + " (os error 5)");
}

}  // namespace
