#pragma once
// The program: start-up, the poll loop and dump mode. The Windows entry only collects the
// arguments, provides the Host and passes Automation::create; everything else is decided here.
//
// Threads: run, the poll loop and dump mode run on the main thread, which alone uses the
// Automation. The standard-input thread runs read_input and ends the process with its result.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "main/input.hpp"
#include "main/options.hpp"
#include "main/output.hpp"
#include "readers/model.hpp"
#include "readers/teams_meet.hpp"
#include "readers/zoom.hpp"
#include "uia/automation.hpp"

namespace huddlewatch {

// Whatever the poll interval.
inline constexpr std::chrono::milliseconds POLL_DEADLINE{1500};
// Dump mode waits this long between a first, discarded pass and the one it prints.
inline constexpr std::chrono::seconds DUMP_DEADLINE{3600};
inline constexpr std::chrono::seconds DUMP_SETTLE{1};
inline constexpr std::string_view UNAVAILABLE = "UI Automation unavailable: ";
inline constexpr std::string_view DUMP_HEADER = "=== ";

// Clocks and sleeping; fakes in the tests.
class Time : public uia::Clock {
 public:
  // The wall clock in milliseconds since 1970-01-01 UTC; 0 before.
  virtual std::uint64_t unix_ms() = 0;
  virtual void sleep(std::chrono::milliseconds duration) = 0;
};

// std::chrono's steady and system clocks and std::this_thread::sleep_for.
Time& system_time();

// The process around the program. Windows side: the program's entry; tests: fakes.
class Host {
 public:
  virtual ~Host() = default;
  // Writes the text to standard output whole and flushes it, under the output lock; false when
  // the write or the flush fails.
  virtual bool write_out(std::string_view text) = 0;
  virtual void write_err(std::string_view text) = 0;
  // Starts the detached standard-input thread: read_input over standard input into `filter`,
  // then the whole process ends at once with its result.
  virtual void start_input(std::shared_ptr<AppFilter> filter) = 0;
};

using CreateAutomation = std::function<uia::Result<uia::Automation>()>;

// What the poll loop keeps from poll to poll.
struct PollState {
  readers::MeetReader meet;
  readers::ZoomReader zoom;
  readers::SpeakerResolver resolver;
  Emitter emitter;
};

// Each group through its application's reader, the group's mark and the resolver; sorted by
// application name.
std::vector<readers::Reading> read_groups(const std::vector<uia::AppWindows>& groups,
                                          PollState& state);

// One poll: the line to write (without LF), or nothing when it is held back.
std::optional<std::string> poll(uia::Automation& automation, const AppFilter& filter,
                                PollState& state, Time& time);

// The sleep after a poll that took `taken`: the rest of the interval in whole milliseconds,
// rounded up so that the next poll never starts before its time; zero when the poll took the
// whole interval or longer.
std::chrono::milliseconds sleep_after_poll(std::chrono::milliseconds interval,
                                           std::chrono::steady_clock::duration taken);

// Polls every `interval` (back to back when a poll takes longer); returns the exit code (0) when
// a line cannot be written.
int poll_loop(uia::Automation& automation, const AppFilter& filter,
              std::chrono::milliseconds interval, Host& host, Time& time);

// "=== " and the display name of each group's application, then its windows in the debug
// notation.
std::string dump_text(const std::vector<uia::AppWindows>& groups);

// Prints the window trees of all three applications once; returns the exit code (0).
int dump_mode(uia::Automation& automation, Host& host, Time& time);

// The whole program after its arguments are collected (program path first): the exit code, or
// no return while the poll loop runs.
int run(std::span<const std::string> args, Host& host, Time& time,
        const CreateAutomation& create_automation);

}  // namespace huddlewatch
