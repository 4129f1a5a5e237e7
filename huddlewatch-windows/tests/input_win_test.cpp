// The standard-input reader on real Windows pipes: how a closed writer looks to ReadFile.
#include "main/input_win.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <thread>
#include <vector>

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

// A named pipe the test serves, with its client end open for reading as a program's standard
// input would be. When the server disconnects, the client's reads fail with
// ERROR_PIPE_NOT_CONNECTED.
struct NamedPipe {
  NamedPipe() {
    const std::wstring name =
        L"\\\\.\\pipe\\hw_input_win_test_" + std::to_wstring(GetCurrentProcessId());
    server = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                              4096, 4096, 0, nullptr);
    client = CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  ~NamedPipe() {
    CloseHandle(client);
    CloseHandle(server);
  }
  bool open() const { return server != INVALID_HANDLE_VALUE && client != INVALID_HANDLE_VALUE; }

  HANDLE server;
  HANDLE client;
};

TEST(HandleReader, LastLineWithoutLineEndIsAppliedWhenTheServerDisconnects) {
  NamedPipe pipe;
  ASSERT_TRUE(pipe.open());
  AppFilter filter(std::vector<App>{});
  int code = -1;
  std::thread reader([&] {
    HandleReader input(pipe.client);
    code = read_input(input, filter);
  });
  const std::string_view last = R"({"apps":["zoom"]})";
  DWORD written = 0;
  EXPECT_TRUE(
      WriteFile(pipe.server, last.data(), static_cast<DWORD>(last.size()), &written, nullptr));
  // Disconnecting drops what the client has not read yet; the flush waits until it has.
  EXPECT_TRUE(FlushFileBuffers(pipe.server));
  EXPECT_TRUE(DisconnectNamedPipe(pipe.server));
  reader.join();
  EXPECT_EQ(code, 0);
  EXPECT_EQ(filter.get(), AppList(std::vector<App>{App::Zoom}));
}

TEST(HandleReader, ClosedOrDisconnectedPipeIsTheEndAndOtherFailuresAreErrors) {
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
  CloseHandle(write_end);
  char buffer[8];
  EXPECT_EQ(HandleReader(read_end).read(buffer, sizeof buffer), 0);
  CloseHandle(read_end);

  NamedPipe pipe;
  ASSERT_TRUE(pipe.open());
  ASSERT_TRUE(DisconnectNamedPipe(pipe.server));
  EXPECT_EQ(HandleReader(pipe.client).read(buffer, sizeof buffer), 0);

  // A handle open for writing only cannot be read.
  HANDLE file = CreateFileW(L"hw_input_win_test.tmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_LT(HandleReader(file).read(buffer, sizeof buffer), 0);
  CloseHandle(file);
}

}  // namespace
}  // namespace huddlewatch
