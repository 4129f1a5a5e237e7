// The real VantorelWatermark.exe driven through pipes made here, as the desktop application
// makes them: once its writer closes an anonymous input pipe, the helper's read fails with
// ERROR_BROKEN_PIPE instead of reading zero bytes; once the server of a named input pipe
// disconnects, it fails with ERROR_PIPE_NOT_CONNECTED.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "handle_win.hpp"
#include "win_error.hpp"

namespace {

using shared::win::UniqueHandle;

const std::string EMPTY_STATUS =
    R"({"event":"status","sinkReady":false,"watermarkConsumers":[],"physicalCameraInUse":false,)"
    R"("cameraPermission":"granted","cameraNames":[]})";

std::wstring helper_path() {
  wchar_t buffer[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::wstring path(buffer, n);
  return path.substr(0, path.find_last_of(L'\\') + 1) + shared::win::wide(VT_HELPER_EXE);
}

std::vector<std::string> split_lines(const std::string& output) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(output.substr(start, end - start));
  }
  if (start < output.size()) lines.push_back(output.substr(start) + " (no line end)");
  return lines;
}

enum class InputPipe { Anonymous, Named };

// The input pipe's two ends: the helper's (inheritable) and the test's.
bool make_input(InputPipe kind, SECURITY_ATTRIBUTES& inherit, HANDLE& child, HANDLE& ours) {
  if (kind == InputPipe::Anonymous) return CreatePipe(&child, &ours, &inherit, 0);
  const std::wstring name =
      L"\\\\.\\pipe\\service_win_test_" + std::to_wstring(GetCurrentProcessId());
  ours = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096,
                          4096, 0, nullptr);
  if (ours == INVALID_HANDLE_VALUE) return false;
  child = CreateFileW(name.c_str(), GENERIC_READ, 0, &inherit, OPEN_EXISTING, 0, nullptr);
  if (child != INVALID_HANDLE_VALUE) return true;
  CloseHandle(ours);
  return false;
}

// The running helper with its standard input and output on pipes.
class Helper {
 public:
  explicit Helper(InputPipe kind = InputPipe::Anonymous) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE child_input = nullptr, input = nullptr, output = nullptr, child_output = nullptr;
    if (!make_input(kind, inherit, child_input, input)) return;
    input_.reset(input);
    UniqueHandle child_in(child_input);
    if (!CreatePipe(&output, &child_output, &inherit, 0)) return;
    output_.reset(output);
    UniqueHandle child_out(child_output);
    SetHandleInformation(input, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = child_input;
    startup.hStdOutput = child_output;
    std::wstring command = L"\"" + helper_path() + L"\"";
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started)) {
      return;
    }
    CloseHandle(started.hThread);
    process_.reset(started.hProcess);
  }
  ~Helper() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.get(), 99);
    }
  }

  bool started() const { return static_cast<bool>(process_); }

  // Output up to and including the next LF, or what came before the end of output.
  std::string read_line() {
    std::string line;
    char c = 0;
    DWORD read = 0;
    while (ReadFile(output_.get(), &c, 1, &read, nullptr) && read == 1) {
      line += c;
      if (c == '\n') break;
    }
    return line;
  }

  std::string read_to_end() {
    std::string rest;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(output_.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
      rest.append(buffer, read);
    }
    return rest;
  }

  void write(const std::string& bytes) {
    DWORD written = 0;
    WriteFile(input_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
  void close_input() { input_.reset(); }
  // The named pipe's server disconnects once the helper has read all that was written (a
  // disconnect drops unread bytes).
  void disconnect_input() {
    FlushFileBuffers(input_.get());
    DisconnectNamedPipe(input_.get());
  }

  // The exit code, or none when the helper did not end in time (it is then ended here).
  std::optional<DWORD> wait() {
    if (WaitForSingleObject(process_.get(), 15000) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 99;
    GetExitCodeProcess(process_.get(), &code);
    return code;
  }

 private:
  UniqueHandle input_;
  UniqueHandle output_;
  UniqueHandle process_;
};

TEST(ServiceProcess, LinesBeforeTheClosedPipeAreAppliedTheLastOneWithoutLineEndToo) {
  struct Case {
    const char* input;
    std::size_t statuses;  // each command forces one
  };
  const Case cases[] = {
      {R"({"command":"set_transcribing","active":true})", 1},
      {"{\"command\":\"set_usage_monitoring\",\"active\":false}\n"
       "{\"command\":\"set_transcribing\",\"active\":true}",
       2},
      {"", 0},
  };
  for (const InputPipe kind : {InputPipe::Anonymous, InputPipe::Named}) {
    for (const Case& c : cases) {
      const bool named = kind == InputPipe::Named;
      SCOPED_TRACE(std::string(named ? "named pipe, " : "anonymous pipe, ") + c.input);
      Helper helper(kind);
      ASSERT_TRUE(helper.started());
      ASSERT_EQ(helper.read_line(), "{\"event\":\"ready\"}\n");
      helper.write(c.input);
      if (named) {
        helper.disconnect_input();
      } else {
        helper.close_input();
      }
      EXPECT_EQ(helper.wait(), std::optional<DWORD>(0));
      std::size_t statuses = 0;
      for (const std::string& line : split_lines(helper.read_to_end())) {
        if (line.find(R"("event":"status")") == std::string::npos) continue;
        ++statuses;
        EXPECT_EQ(line, EMPTY_STATUS);
      }
      EXPECT_EQ(statuses, c.statuses);
    }
  }
}

}  // namespace
