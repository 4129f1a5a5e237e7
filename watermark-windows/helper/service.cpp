#include "service.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <set>
#include <utility>

#include "json.hpp"
#include "utf.hpp"

namespace service {
namespace {

using VantorelWatermark::json_field;

constexpr std::string_view PERMISSION_GRANTED = "granted";
constexpr std::string_view PERMISSION_DENIED = "denied";
constexpr std::string_view STATE_ERROR_PREFIX = "state: ";
constexpr std::string_view ACTIVITY_ERROR_PREFIX = "activity: ";
constexpr std::size_t READ_CHUNK = 4096;

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

std::size_t skip_digits(std::string_view s, std::size_t i) {
  while (i < s.size() && is_digit(s[i])) ++i;
  return i;
}

bool equals_ignoring_case(std::string_view text, std::string_view lower) {
  return devices::lower_ascii(text) == lower;
}

// The decimal grammar alone; the conversion is strtof's. Hexadecimal forms, "nan(...)" and
// white space, which strtof would take, are refused here.
bool is_decimal_float(std::string_view s) {
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) s.remove_prefix(1);
  if (equals_ignoring_case(s, "inf") || equals_ignoring_case(s, "infinity") ||
      equals_ignoring_case(s, "nan")) {
    return true;
  }
  std::size_t i = skip_digits(s, 0);
  std::size_t digits = i;
  if (i < s.size() && s[i] == '.') {
    const std::size_t after_point = skip_digits(s, i + 1);
    digits += after_point - (i + 1);
    i = after_point;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    const std::size_t end = skip_digits(s, i);
    if (end == i) return false;
    i = end;
  }
  return i == s.size();
}

bool active_flag(std::string_view line) {
  return json_field(line, "active") == "true";
}

}  // namespace

std::optional<float> parse_level(std::string_view text) {
  if (!is_decimal_float(text)) return std::nullopt;
  const std::string copy(text);
  // Out-of-range values come back as infinity or zero, which is what a level wants.
  return std::strtof(copy.c_str(), nullptr);
}

Service::Service(Host& host, std::unique_ptr<StateRecord> mapping)
    : host_(host), mapping(std::move(mapping)) {}

void Service::handle(std::string_view line) {
  const auto command = json_field(line, "command");
  if (!command) return;

  if (*command == "set_transcribing") {
    transcribing = active_flag(line);
    if (!transcribing && mapping) mapping->state().set_audio_level(0.0f);
    sync_badge();
    publish_status(true);
  } else if (*command == "set_preview") {
    preview = active_flag(line);
    sync_badge();
  } else if (*command == "set_usage_monitoring") {
    usage_monitoring = active_flag(line);
    publish_status(true);
  } else if (*command == "set_audio_level") {
    const auto text = json_field(line, "level");
    const float level = text ? parse_level(*text).value_or(0.0f) : 0.0f;
    if (mapping) mapping->state().set_audio_level(level);
  } else if (*command == "set_branding") {
    const auto app_name = json_field(line, "appName");
    if (!app_name || app_name->empty() || *app_name == name) return;
    name = *app_name;
    write_text();
    cameras_dirty = true;
    last_refresh.reset();
  }
}

void Service::tick() {
  if (mapping) mapping->state().heartbeat_ms.store(host_.unix_ms(), std::memory_order_relaxed);
  const auto now = host_.now();
  if (!last_refresh || now - *last_refresh >= REFRESH_INTERVAL) {
    last_refresh = now;
    refresh_cameras();
  }
  publish_status(false);
}

void Service::refresh_cameras() {
  if (!mapping) {
    // Retried at every refresh until an installation appears; its errors were reported once.
    if (auto opened = host_.open_state()) {
      mapping = std::move(*opened);
      sync_badge();
    }
  }

  const std::vector<devices::Device> all = host_.all_devices();
  std::vector<devices::Device> cameras = devices::physical_cameras(all);

  if (cameras_dirty || cameras != physical || !virtual_cameras) {
    cameras_dirty = false;
    virtual_cameras.reset();
    physical = std::move(cameras);
    write_text();
    if (!physical.empty() && mapping && host_.is_registered()) {
      Published published = host_.publish(physical, name);
      if (published.error) emit_error(*published.error);
      virtual_cameras = std::move(published.cameras);
    }
  }

  static const std::vector<std::string> no_names;
  const std::vector<std::string>& given = virtual_cameras ? virtual_cameras->names() : no_names;
  const auto starts_with_given = [&](const devices::Device& device) {
    return std::any_of(given.begin(), given.end(),
                       [&](const std::string& n) { return device.name.starts_with(n); });
  };

  vcam_links.clear();
  std::vector<const devices::Device*> own;
  for (const auto& device : all) {
    if (!starts_with_given(device)) continue;
    own.push_back(&device);
    vcam_links.push_back(devices::lower_ascii(device.link));
  }

  camera_names.clear();
  for (const auto& given_name : given) {
    if (camera_names.size() == MAX_CAMERA_NAMES) break;
    const auto match = std::find_if(own.begin(), own.end(), [&](const devices::Device* device) {
      return device->name.starts_with(given_name);
    });
    if (match != own.end()) camera_names.push_back((*match)->name);
  }
}

void Service::publish_status(bool force) {
  const devices::Activity activity = host_.activity();

  std::set<std::string> consumers;
  for (const auto& link : vcam_links) {
    const auto entry = activity.find(link);
    if (entry == activity.end()) continue;
    for (std::uint32_t pid : entry->second) {
      if (auto exe = host_.exe_name(pid)) consumers.insert(std::move(*exe));
    }
  }

  bool physical_in_use = false;
  if (usage_monitoring) {
    for (const auto& camera : physical) {
      const auto entry = activity.find(devices::lower_ascii(camera.link));
      if (entry == activity.end()) continue;
      physical_in_use = std::any_of(entry->second.begin(), entry->second.end(), [&](auto pid) {
        const auto exe = host_.exe_name(pid);
        return exe && *exe != FRAME_SERVER_EXE;
      });
      if (physical_in_use) break;
    }
  }

  const bool sink_ready = virtual_cameras && !virtual_cameras->is_empty();
  const std::string_view permission =
      host_.camera_denied() ? PERMISSION_DENIED : PERMISSION_GRANTED;
  std::string line = VantorelWatermark::status_line(
      sink_ready, {consumers.begin(), consumers.end()}, physical_in_use, permission, camera_names);

  if (force || line != last_status) {
    host_.emit(line);
    last_status = std::move(line);
  }
}

void Service::write_text() {
  if (!mapping) return;
  std::vector<std::string> slots;
  slots.reserve(physical.size());
  for (const auto& camera : physical) slots.push_back(camera.link);
  mapping->state().write_text(name, slots);
}

void Service::sync_badge() {
  if (!mapping) return;
  mapping->state().badge_on.store(transcribing || preview ? 1u : 0u, std::memory_order_relaxed);
}

void Service::emit_error(std::string_view message) {
  host_.emit(VantorelWatermark::error_line(message));
}

Service start(Host& host) {
  host.emit(VantorelWatermark::ready_line());

  std::unique_ptr<StateRecord> mapping;
  std::optional<std::string> state_error;
  if (auto opened = host.open_state()) {
    mapping = std::move(*opened);
    mapping->state().badge_on.store(0, std::memory_order_relaxed);
  } else if (opened.error().code() != FILE_NOT_FOUND && opened.error().code() != PATH_NOT_FOUND) {
    state_error = std::string(STATE_ERROR_PREFIX) + opened.error().text();
  }

  Service service(host, std::move(mapping));
  if (state_error) service.emit_error(*state_error);
  if (auto failed = host.monitor_activity()) {
    service.emit_error(std::string(ACTIVITY_ERROR_PREFIX) + failed->text());
  }
  return service;
}

int run_loop(Service& service, Inbox& inbox, Host& host) {
  // One interval in the past, so the first tick follows the first wait.
  auto last_tick = host.now() - TICK_INTERVAL;
  for (;;) {
    auto received = inbox.receive(TICK_INTERVAL);
    if (received.status == Inbox::Status::closed) break;
    if (received.status == Inbox::Status::line) {
      service.handle(received.line);
      inbox.handled();
    }
    const auto now = host.now();
    if (now - last_tick >= TICK_INTERVAL) {
      last_tick = now;
      service.tick();
    }
  }
  return 0;
}

void LineChannel::send(std::string line) {
  {
    std::lock_guard lock(mutex_);
    lines_.push_back(std::move(line));
    ++sent_;
  }
  ready_.notify_one();
}

void LineChannel::handled() {
  {
    std::lock_guard lock(mutex_);
    ++handled_;
  }
  drained_.notify_all();
}

bool LineChannel::wait_handled(Clock::duration timeout) {
  std::unique_lock lock(mutex_);
  return drained_.wait_for(lock, timeout, [&] { return handled_ == sent_; });
}

void LineChannel::close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  ready_.notify_one();
}

Inbox::Received LineChannel::receive(Clock::duration timeout) {
  std::unique_lock lock(mutex_);
  ready_.wait_for(lock, timeout, [&] { return !lines_.empty() || closed_; });
  if (!lines_.empty()) {
    Received received{Status::line, std::move(lines_.front())};
    lines_.pop_front();
    return received;
  }
  return {closed_ ? Status::closed : Status::timeout, {}};
}

void read_lines(const ReadBytes& read, const std::function<void(std::string)>& send) {
  std::string pending;
  const auto deliver = [&](std::string line, bool ended) {
    if (ended && line.ends_with('\r')) line.pop_back();
    if (!shared::is_valid_utf8(line)) return false;
    send(std::move(line));
    return true;
  };

  char buffer[READ_CHUNK];
  for (;;) {
    const std::ptrdiff_t count = read(buffer, sizeof buffer);
    if (count < 0) return;
    if (count == 0) {
      if (!pending.empty()) deliver(std::move(pending), false);
      return;
    }
    pending.append(buffer, static_cast<std::size_t>(count));
    std::size_t start = 0;
    for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
      if (!deliver(pending.substr(start, end - start), true)) return;
    }
    pending.erase(0, start);
  }
}

}  // namespace service
