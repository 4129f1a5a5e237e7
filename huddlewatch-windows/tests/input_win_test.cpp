// The standard-input reader on real Windows pipes: how a closed writer looks to ReadFile.
#include "main/input_win.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace huddlewatch {
namespace {

using readers::App;

TEST(HandleReader, LastLineWithoutLineEndIsAppliedWhenTheWriterCloses) {
  struct Case {
    std::string_view written;
    AppList expected;
  } cases[] = {
      {R"({"apps":["zoom"]})", std::vector<App>{App::Zoom}},
      {"{\"apps\":[\"teams\"]}\n{\"apps\":[\"meet\"]}", std::vector<App>{App::Meet}},
      {"{\"apps\":[\"teams\"]}\n{\"apps\":[\"me", std::vector<App>{App::Teams}},
  };
  for (const Case& c : cases) {
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(write_end, c.written.data(), static_cast<DWORD>(c.written.size()),
                          &written, nullptr));
    CloseHandle(write_end);

    HandleReader reader(read_end);
    AppFilter filter(std::vector<App>{});
    EXPECT_EQ(read_input(reader, filter), 0) << c.written;
    EXPECT_EQ(filter.get(), c.expected) << c.written;
    CloseHandle(read_end);
  }
}

TEST(HandleReader, BrokenPipeIsTheEndAndOtherFailuresAreErrors) {
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
  CloseHandle(write_end);
  char buffer[8];
  EXPECT_EQ(HandleReader(read_end).read(buffer, sizeof buffer), 0);
  CloseHandle(read_end);

  // A handle open for writing only cannot be read.
  HANDLE file = CreateFileW(L"hw_input_win_test.tmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_LT(HandleReader(file).read(buffer, sizeof buffer), 0);
  CloseHandle(file);
}

}  // namespace
}  // namespace huddlewatch
