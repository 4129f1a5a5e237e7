// huddlewatch's entry on Windows: the arguments as UTF-8, the process's standard handles and the
// standard-input thread. Every decision is the portable program's.
//
// Threads: the main thread runs the program; the standard-input thread only reads and ends the
// process. The output mutex keeps the two from ending the process in the middle of a line.
//
// The standard-input thread ends the process with TerminateProcess, not ExitProcess: ExitProcess
// stops the other threads wherever they are and then runs every DLL's detach code, which hangs or
// fails when the stopped main thread held a lock that code needs, as it may while it starts COM,
// loads a DLL or waits in a UI Automation call. TerminateProcess runs no code of the process
// after it, and there is nothing the program must clean up at its end.

#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "main/input.hpp"
#include "main/input_win.hpp"
#include "main/program.hpp"
#include "uia/automation.hpp"
#include "uia/error_win.hpp"

namespace huddlewatch {
namespace {

// How long the end of input waits for a line being written; a writer stuck on a full pipe does
// not keep the process alive beyond it.
constexpr auto EXIT_WRITE_WAIT = std::chrono::seconds(1);

std::vector<std::string> arguments() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  if (argv == nullptr) return args;
  for (int i = 0; i < count; ++i) args.push_back(uia::win::narrow(argv[i]));
  LocalFree(argv);
  return args;
}

std::timed_mutex& output_mutex() {
  static std::timed_mutex mutex;
  return mutex;
}

// Straight to the handle: no text-mode translation, no buffer to flush.
bool write_all(HANDLE handle, std::string_view text) {
  while (!text.empty()) {
    DWORD written = 0;
    if (!WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written == 0) {
      return false;
    }
    text.remove_prefix(written);
  }
  return true;
}

class ProcessHost final : public Host {
 public:
  // The program's one standard-output writer: each text whole, under the output lock.
  bool write_out(std::string_view text) override {
    std::lock_guard lock(output_mutex());
    return write_all(GetStdHandle(STD_OUTPUT_HANDLE), text);
  }

  void write_err(std::string_view text) override {
    write_all(GetStdHandle(STD_ERROR_HANDLE), text);
  }

  void start_input(std::shared_ptr<AppFilter> filter) override {
    std::thread([filter] {
      HandleReader input(GetStdHandle(STD_INPUT_HANDLE));
      const int code = read_input(input, *filter);
      (void)output_mutex().try_lock_for(EXIT_WRITE_WAIT);
      TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    }).detach();
  }
};

}  // namespace

[[noreturn]] void main() {
  const std::vector<std::string> args = arguments();
  ProcessHost host;
  const int code = run(args, host, system_time(), &uia::Automation::create);
  ExitProcess(static_cast<UINT>(code));
}

}  // namespace huddlewatch

int main() {
  huddlewatch::main();
}
