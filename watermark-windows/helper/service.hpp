#pragma once
// The service's decisions: commands, ticks, camera refreshes and status events. Everything the
// service needs from the platform goes through Host, which the Windows adapter implements over
// the helper library and the tests implement with fakes.
//
// Threads: a Service is used only by the thread that runs the loop. LineChannel is the one
// object shared with the standard-input reader.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devices.hpp"
#include "error.hpp"
#include "shared_state.hpp"

namespace service {

using Clock = std::chrono::steady_clock;

inline constexpr Clock::duration TICK_INTERVAL = std::chrono::seconds(1);
inline constexpr Clock::duration REFRESH_INTERVAL = std::chrono::seconds(2);
inline constexpr std::size_t MAX_CAMERA_NAMES = 20;
// The platform's own frame server streams from physical cameras on behalf of virtual ones.
inline constexpr std::string_view FRAME_SERVER_EXE = "svchost.exe";
// HRESULT_FROM_WIN32 of ERROR_FILE_NOT_FOUND and ERROR_PATH_NOT_FOUND: nothing installed yet.
inline constexpr std::int32_t FILE_NOT_FOUND = static_cast<std::int32_t>(0x80070002);
inline constexpr std::int32_t PATH_NOT_FOUND = static_cast<std::int32_t>(0x80070003);

// An open state.bin; destroying it closes the mapping.
class StateRecord {
 public:
  virtual ~StateRecord() = default;
  virtual shared::SharedState& state() = 0;
};

// A published set of virtual cameras; destroying it removes them.
class CameraSet {
 public:
  virtual ~CameraSet() = default;
  virtual bool is_empty() const = 0;
  // The friendly names given, in slot order of the cameras that were created.
  virtual const std::vector<std::string>& names() const = 0;
};

struct Published {
  std::unique_ptr<CameraSet> cameras;
  std::optional<std::string> error;  // the last camera that failed
};

class Host {
 public:
  virtual ~Host() = default;

  virtual shared::Result<std::unique_ptr<StateRecord>> open_state() = 0;
  // Starts the sensor activity monitor for the rest of the run.
  virtual std::optional<shared::Error> monitor_activity() = 0;

  virtual std::vector<devices::Device> all_devices() = 0;
  virtual Published publish(const std::vector<devices::Device>& physical,
                            const std::string& brand) = 0;
  virtual bool is_registered() = 0;
  virtual bool camera_denied() = 0;
  // A copy of the activity map as last reported.
  virtual devices::Activity activity() = 0;
  virtual std::optional<std::string> exe_name(std::uint32_t process_id) = 0;

  virtual Clock::time_point now() = 0;
  virtual std::uint64_t unix_ms() = 0;
  // Writes one line; does not return when the line cannot be written.
  virtual void emit(const std::string& line) = 0;
};

// A level as a decimal floating-point text (sign, digits, point, exponent, or inf, infinity and
// nan in any case); nothing for any other text, white space included.
std::optional<float> parse_level(std::string_view text);

class Service {
 public:
  Service(Host& host, std::unique_ptr<StateRecord> mapping);

  void handle(std::string_view line);
  void tick();
  void refresh_cameras();
  void publish_status(bool force);
  void write_text();
  void sync_badge();
  void emit_error(std::string_view message);

 private:
  Host& host_;
  std::unique_ptr<StateRecord> mapping;
  std::string name{shared::BRAND_NAME};
  std::vector<devices::Device> physical;
  std::vector<std::string> vcam_links;
  std::vector<std::string> camera_names;
  std::string last_status;
  std::unique_ptr<CameraSet> virtual_cameras;
  std::optional<Clock::time_point> last_refresh;
  bool transcribing = false;
  bool preview = false;
  bool usage_monitoring = false;
  bool cameras_dirty = false;
};

// Start-up once the reader runs: the ready event, the state record (a missing installation is
// silent), the cleared badge flag and the activity monitor.
Service start(Host& host);

// Where the loop gets its lines from.
class Inbox {
 public:
  enum class Status { line, timeout, closed };
  struct Received {
    Status status;
    std::string line;
  };
  virtual ~Inbox() = default;
  virtual Received receive(Clock::duration timeout) = 0;
  // The line last received has been handled.
  virtual void handled() {}
};

// Waits for lines, handles them and ticks once a second; returns 0 when the inbox closes.
int run_loop(Service& service, Inbox& inbox, Host& host);

// Unbounded line channel from the reader thread to the loop. The reader can wait until the loop
// has handled every line it sent, so that the lines before the end of input take effect.
class LineChannel final : public Inbox {
 public:
  void send(std::string line);
  void close();
  Received receive(Clock::duration timeout) override;
  void handled() override;
  // True once every line sent has been handled; false when `timeout` passes first.
  bool wait_handled(Clock::duration timeout);

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::condition_variable drained_;
  std::deque<std::string> lines_;
  std::uint64_t sent_ = 0;
  std::uint64_t handled_ = 0;
  bool closed_ = false;
};

// Reads bytes into the buffer: the count read, 0 at the end of input, negative on failure.
using ReadBytes = std::function<std::ptrdiff_t(char* buffer, std::size_t size)>;

// Splits the input into lines (LF, a CR before it removed, a last line without LF kept) and
// sends each; returns at the end of input, at a read failure or before the first line that is
// not valid UTF-8.
void read_lines(const ReadBytes& read, const std::function<void(std::string)>& send);

}  // namespace service
