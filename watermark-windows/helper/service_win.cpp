#include "service_win.hpp"

#include <windows.h>

#include <mfapi.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "devices_win.hpp"
#include "install.hpp"
#include "output_win.hpp"
#include "service.hpp"
#include "state_mapping.hpp"

namespace service {
namespace {

// Media Foundation 2.0, API 0x70, whatever the SDK headers at hand default to.
constexpr ULONG MEDIA_FOUNDATION_VERSION = 0x20070;
constexpr UINT READ_EXIT_CODE = 0;
constexpr UINT WRITE_EXIT_CODE = 1;
// How long the end of input waits for the loop to apply the lines read before it; a loop stuck
// in a slow tick does not keep the process alive beyond it.
constexpr auto EXIT_HANDLE_WAIT = std::chrono::seconds(2);
// How long the end of input waits for a line being written, so that no half line is left; a
// writer stuck on a full pipe does not keep the process alive beyond it.
constexpr auto EXIT_WRITE_WAIT = std::chrono::seconds(1);

class MappedRecord final : public StateRecord {
 public:
  explicit MappedRecord(shared::StateMapping mapping) : mapping_(std::move(mapping)) {}
  shared::SharedState& state() override { return mapping_.state(); }

 private:
  shared::StateMapping mapping_;
};

class PublishedCameras final : public CameraSet {
 public:
  explicit PublishedCameras(devices::VirtualCameras cameras) : cameras_(std::move(cameras)) {}
  bool is_empty() const override { return cameras_.is_empty(); }
  const std::vector<std::string>& names() const override { return cameras_.names(); }

 private:
  devices::VirtualCameras cameras_;
};

class WindowsHost final : public Host {
 public:
  shared::Result<std::unique_ptr<StateRecord>> open_state() override {
    auto mapping = shared::StateMapping::open(true);
    if (!mapping) return std::unexpected(mapping.error());
    return std::make_unique<MappedRecord>(std::move(*mapping));
  }

  std::optional<shared::Error> monitor_activity() override {
    auto monitor = devices::monitor_activity(activity_);
    if (!monitor) return monitor.error();
    monitor_ = std::move(*monitor);
    return std::nullopt;
  }

  std::vector<devices::Device> all_devices() override { return devices::all_devices(); }

  Published publish(const std::vector<devices::Device>& physical,
                    const std::string& brand) override {
    auto published = devices::VirtualCameras::publish(physical, brand);
    return {std::make_unique<PublishedCameras>(std::move(published.cameras)),
            std::move(published.error)};
  }

  bool is_registered() override { return install::is_registered(); }
  bool camera_denied() override { return install::camera_denied(); }
  devices::Activity activity() override { return activity_->copy(); }
  std::optional<std::string> exe_name(std::uint32_t process_id) override {
    return devices::exe_name(process_id);
  }

  Clock::time_point now() override { return Clock::now(); }
  std::uint64_t unix_ms() override { return shared::unix_ms(); }
  void emit(const std::string& line) override { service::emit(line); }

 private:
  std::shared_ptr<devices::ActivityMap> activity_ = std::make_shared<devices::ActivityMap>();
  shared::win::ComRef<IMFSensorActivityMonitor> monitor_;
};

// Raw reads from the standard-input handle: no text-mode translation, so CR, NUL and Ctrl+Z
// reach the line splitter as they are. A pipe whose writer closed it fails with
// ERROR_BROKEN_PIPE, a named pipe whose server disconnected with ERROR_PIPE_NOT_CONNECTED: that
// is the end of input, not a failed read, so a last line without LF still counts.
std::ptrdiff_t read_stdin(char* buffer, std::size_t size) {
  DWORD read = 0;
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (!ReadFile(input, buffer, static_cast<DWORD>(size), &read, nullptr)) {
    const DWORD error = GetLastError();
    return error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED ? 0 : -1;
  }
  return static_cast<std::ptrdiff_t>(read);
}

std::timed_mutex& stdout_mutex() {
  static std::timed_mutex mutex;
  return mutex;
}

// Ends the process at the end of input, once the lines read before it took effect; nothing is
// released on the way out. TerminateProcess, not ExitProcess: ExitProcess stops the main thread
// wherever it is and then runs every DLL's detach code, which hangs or fails when the stopped
// thread held a lock that code needs, as it may inside a Media Foundation or COM call.
void reader(LineChannel& channel) {
  read_lines(read_stdin, [&](std::string line) { channel.send(std::move(line)); });
  (void)channel.wait_handled(EXIT_HANDLE_WAIT);
  (void)stdout_mutex().try_lock_for(EXIT_WRITE_WAIT);
  TerminateProcess(GetCurrentProcess(), READ_EXIT_CODE);
}

}  // namespace

void emit(const std::string& line) {
  std::string whole = line;
  whole += '\n';
  std::lock_guard lock(stdout_mutex());
  if (!output::write_all(GetStdHandle(STD_OUTPUT_HANDLE), whole)) ExitProcess(WRITE_EXIT_CODE);
}

int run() {
  // Failures here show later, as failures of the calls that need them.
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  MFStartup(MEDIA_FOUNDATION_VERSION, MFSTARTUP_LITE);

  // Never destroyed: the reader thread may still use it while the process ends.
  auto* channel = new LineChannel;
  std::thread(reader, std::ref(*channel)).detach();

  WindowsHost host;
  Service service = start(host);
  return run_loop(service, *channel, host);
}

}  // namespace service
