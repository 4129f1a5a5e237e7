#include "main/program.hpp"

#include <algorithm>
#include <thread>
#include <utility>

namespace huddlewatch {
namespace {

// Long sleeps go in pieces that every platform's sleep takes without overflow.
constexpr std::chrono::hours LONGEST_SLEEP{24};

class SystemTime final : public Time {
 public:
  uia::Instant now() override { return std::chrono::steady_clock::now(); }

  std::uint64_t unix_ms() override {
    const auto since_epoch = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return since_epoch.count() > 0 ? static_cast<std::uint64_t>(since_epoch.count()) : 0;
  }

  void sleep(std::chrono::milliseconds duration) override {
    while (duration > std::chrono::milliseconds::zero()) {
      const std::chrono::milliseconds piece =
          std::min<std::chrono::milliseconds>(duration, LONGEST_SLEEP);
      std::this_thread::sleep_for(piece);
      duration -= piece;
    }
  }
};

// Whole milliseconds from `start` to `end`, fractions dropped; 0 when the clock went back.
std::chrono::milliseconds elapsed_ms(uia::Instant start, uia::Instant end) {
  if (end <= start) return std::chrono::milliseconds::zero();
  return std::chrono::floor<std::chrono::milliseconds>(end - start);
}

}  // namespace

Time& system_time() {
  static SystemTime time;
  return time;
}

std::vector<readers::Reading> read_groups(const std::vector<uia::AppWindows>& groups,
                                          PollState& state) {
  std::vector<readers::Reading> readings;
  for (const uia::AppWindows& group : groups) {
    std::optional<readers::Reading> reading;
    switch (group.app.value()) {
      case readers::App::Meet:
        reading = readers::select(group.windows,
                                  [&](const readers::Node& root) { return state.meet.read(root); });
        break;
      case readers::App::Teams:
        reading = readers::select(group.windows, readers::TeamsReader::read);
        break;
      case readers::App::Zoom:
        state.zoom.learn_account(group.windows);
        reading = readers::select(group.windows,
                                  [&](const readers::Node& root) { return state.zoom.read(root); });
        break;
    }
    if (!reading) continue;
    reading->truncated = reading->truncated || group.truncated;
    readings.push_back(state.resolver.resolve(std::move(*reading)));
  }
  std::sort(readings.begin(), readings.end(),
            [](const readers::Reading& a, const readers::Reading& b) { return a.app < b.app; });
  return readings;
}

std::optional<std::string> poll(uia::Automation& automation, const AppFilter& filter,
                                PollState& state, Time& time) {
  const uia::Instant start = time.now();
  const std::uint64_t at = time.unix_ms();
  const AppList apps = filter.get();
  const std::span<const readers::App> watched =
      apps ? std::span<const readers::App>(*apps) : std::span<const readers::App>(DEFAULT_APPS);

  const std::vector<uia::AppWindows> groups =
      automation.meeting_windows(watched, start + POLL_DEADLINE);
  const std::vector<readers::Reading> readings = read_groups(groups, state);

  const auto poll_ms = elapsed_ms(start, time.now());
  return state.emitter.line(at, static_cast<std::uint64_t>(poll_ms.count()), readings, time.now());
}

std::chrono::milliseconds sleep_after_poll(std::chrono::milliseconds interval,
                                           std::chrono::steady_clock::duration taken) {
  if (taken < taken.zero()) taken = taken.zero();  // the clock went back
  if (taken >= interval) return std::chrono::milliseconds::zero();
  return std::chrono::ceil<std::chrono::milliseconds>(interval - taken);
}

int poll_loop(uia::Automation& automation, const AppFilter& filter,
              std::chrono::milliseconds interval, Host& host, Time& time) {
  PollState state;
  for (;;) {
    const uia::Instant start = time.now();
    if (const std::optional<std::string> line = poll(automation, filter, state, time)) {
      if (!host.write_out(*line + "\n")) return 0;
    }
    const std::chrono::milliseconds rest = sleep_after_poll(interval, time.now() - start);
    if (rest > rest.zero()) time.sleep(rest);
  }
}

std::string dump_text(const std::vector<uia::AppWindows>& groups) {
  std::string out;
  for (const uia::AppWindows& group : groups) {
    out.append(DUMP_HEADER);
    out.append(group.app.debug_name());
    out += '\n';
    out += readers::debug(group.windows);
    out += '\n';
  }
  return out;
}

int dump_mode(uia::Automation& automation, Host& host, Time& time) {
  // The first pass lets the applications build their trees; only the second one is printed.
  automation.meeting_windows(DEFAULT_APPS, time.now() + DUMP_DEADLINE);
  time.sleep(DUMP_SETTLE);
  const std::vector<uia::AppWindows> groups =
      automation.meeting_windows(DEFAULT_APPS, time.now() + DUMP_DEADLINE);
  // A failed write changes nothing: the dump is over either way.
  if (const std::string text = dump_text(groups); !text.empty()) host.write_out(text);
  return 0;
}

int run(std::span<const std::string> args, Host& host, Time& time,
        const CreateAutomation& create_automation) {
  const Options options = parse_options(args);
  uia::Result<uia::Automation> automation = create_automation();
  if (!automation) {
    host.write_err(std::string(UNAVAILABLE) + automation.error().text() + "\n");
    return 1;
  }
  if (options.dump) return dump_mode(*automation, host, time);

  auto filter = std::make_shared<AppFilter>(options.apps);
  host.start_input(filter);
  return poll_loop(*automation, *filter, options.poll_interval, host, time);
}

}  // namespace huddlewatch
