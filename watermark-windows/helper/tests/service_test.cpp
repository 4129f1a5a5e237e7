#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <expected>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "json.hpp"
#include "lib.hpp"
#include "service.hpp"

namespace {

using namespace std::chrono_literals;
using devices::Device;
using service::Clock;
using service::Service;
using VantorelWatermark::json_field;
using VantorelWatermark::status_line;

constexpr std::uint64_t UNIX_START = 1'700'000'000'000;

struct Emitted {
  Clock::duration at;
  std::string line;
};

// The platform as the service sees it. Published virtual cameras show up in the device list
// (as the platform would enumerate them) until their set is destroyed.
class FakeHost final : public service::Host {
 public:
  class Record final : public service::StateRecord {
   public:
    explicit Record(shared::SharedState& state) : state_(state) {}
    shared::SharedState& state() override { return state_; }

   private:
    shared::SharedState& state_;
  };

  class Set final : public service::CameraSet {
   public:
    Set(FakeHost& host, std::vector<std::string> names) : host_(host), names_(std::move(names)) {}
    ~Set() override {
      ++host_.removed;
      host_.virtual_devices.clear();
    }
    bool is_empty() const override { return names_.empty(); }
    const std::vector<std::string>& names() const override { return names_; }

   private:
    FakeHost& host_;
    std::vector<std::string> names_;
  };

  shared::Result<std::unique_ptr<service::StateRecord>> open_state() override {
    if (open_error) return std::unexpected(*open_error);
    return std::make_unique<Record>(*record);
  }
  std::optional<shared::Error> monitor_activity() override { return monitor_error; }

  std::vector<Device> all_devices() override {
    ++enumerations;
    std::vector<Device> all = devices;
    all.insert(all.end(), virtual_devices.begin(), virtual_devices.end());
    return all;
  }

  service::Published publish(const std::vector<Device>& physical,
                             const std::string& brand) override {
    published.push_back(brand);
    service::Published result;
    if (given_names) {
      result.cameras = std::make_unique<Set>(*this, *given_names);
      return result;
    }
    std::vector<std::string> names;
    for (std::size_t i = 0; i < physical.size(); ++i) {
      if (failing_slots.count(i)) {
        result.error =
            devices::camera_error(i, shared::Error::own("no camera " + std::to_string(i)));
        continue;
      }
      names.push_back(shared::camera_name(physical[i].name, brand));
      virtual_devices.push_back(
          {names.back() + " (device)", "\\\\?\\SWD#VCAMDEVAPI#Slot" + std::to_string(i)});
    }
    result.cameras = std::make_unique<Set>(*this, std::move(names));
    return result;
  }

  bool is_registered() override { return registered; }
  bool camera_denied() override { return denied; }
  devices::Activity activity() override { return streams; }
  std::optional<std::string> exe_name(std::uint32_t pid) override {
    const auto found = processes.find(pid);
    if (found == processes.end()) return std::nullopt;
    return found->second;
  }

  Clock::time_point now() override { return time; }
  std::uint64_t unix_ms() override {
    return UNIX_START + std::chrono::duration_cast<std::chrono::milliseconds>(time - epoch).count();
  }
  void emit(const std::string& line) override { lines.push_back({time - epoch, line}); }

  void advance(Clock::duration by) { time += by; }
  void install() { open_error.reset(); }
  std::vector<std::string> texts() const {
    const auto t = record->read_text();
    return {t.title, t.slots[0], t.slots[1], t.slots[2], t.slots[3]};
  }
  std::vector<std::string> take_lines() {
    std::vector<std::string> out;
    for (auto& e : lines) out.push_back(e.line);
    lines.clear();
    return out;
  }

  // Knobs.
  std::unique_ptr<shared::SharedState> record = std::make_unique<shared::SharedState>();
  std::optional<shared::Error> open_error;
  std::optional<shared::Error> monitor_error;
  std::vector<Device> devices;
  std::set<std::size_t> failing_slots;
  // When set, publishing gives these names and adds no devices of its own.
  std::optional<std::vector<std::string>> given_names;
  bool registered = true;
  bool denied = false;
  devices::Activity streams;
  std::map<std::uint32_t, std::string> processes;

  // Observations.
  const Clock::time_point epoch = Clock::time_point() + 1000h;
  Clock::time_point time = epoch;
  std::vector<Emitted> lines;
  std::vector<std::string> published;
  std::vector<Device> virtual_devices;
  int removed = 0;
  int enumerations = 0;
};

// Lines arrive at fixed offsets from the start; the inbox closes after the last event.
class ScriptedInbox final : public service::Inbox {
 public:
  struct Event {
    Clock::duration at;
    std::optional<std::string> line;  // none: the channel closes
  };
  ScriptedInbox(FakeHost& host, std::deque<Event> events)
      : host_(host), events_(std::move(events)) {}

  Received receive(Clock::duration timeout) override {
    const auto now = host_.now() - host_.epoch;
    if (events_.empty()) return {Status::closed, {}};
    const Event next = events_.front();
    if (next.at > now + timeout) {
      host_.advance(timeout);
      return {Status::timeout, {}};
    }
    events_.pop_front();
    if (next.at > now) host_.advance(next.at - now);
    if (!next.line) return {Status::closed, {}};
    return {Status::line, *next.line};
  }

 private:
  FakeHost& host_;
  std::deque<Event> events_;
};

const std::string EMPTY_STATUS = status_line(false, {}, false, "granted", {});

std::string transcribing(bool on) {
  return std::string(R"({"command":"set_transcribing","active":)") + (on ? "true" : "false") + "}";
}
std::string branding(const std::string& name) {
  return R"({"command":"set_branding","appName":)" + VantorelWatermark::json_string(name) + "}";
}

std::vector<Device> cameras(int count) {
  std::vector<Device> out;
  for (int i = 0; i < count; ++i) {
    out.push_back({"Cam " + std::to_string(i), "\\\\?\\USB#VID_" + std::to_string(i) + "#Cam"});
  }
  return out;
}

class ServiceTest : public testing::Test {
 protected:
  FakeHost host;

  Service started() {
    Service s = service::start(host);
    host.take_lines();
    return s;
  }
  // A tick at least one refresh interval after the previous one.
  void refresh_tick(Service& s) {
    host.advance(service::REFRESH_INTERVAL);
    s.tick();
  }
  std::optional<std::string> status_field(const std::string& line, const char* key) {
    return json_field(line, key);
  }
};

TEST_F(ServiceTest, StartUpWritesReadyAndClearsTheBadge) {
  host.record->badge_on = 1;
  Service s = service::start(host);
  EXPECT_EQ(host.take_lines(), std::vector<std::string>{R"({"event":"ready"})"});
  EXPECT_EQ(host.record->badge_on.load(), 0u);
}

TEST_F(ServiceTest, StartUpErrors) {
  struct Case {
    const char* what;
    std::optional<shared::Error> open;
    std::optional<shared::Error> monitor;
    std::vector<std::string> expected;
  };
  const auto hr = [](std::uint32_t code, const char* text) {
    return shared::Error::from_hresult(static_cast<std::int32_t>(code), text);
  };
  const Case cases[] = {
      {"missing file is silent", hr(0x80070002, "not found"), std::nullopt, {}},
      {"missing folder is silent", hr(0x80070003, "no path"), std::nullopt, {}},
      {"other state error reported",
       hr(0x80070005, "Access is denied."),
       std::nullopt,
       {R"~({"event":"error","message":"state: Access is denied. (0x80070005)"})~"}},
      {"monitor failure reported after the state error",
       hr(0x80070020, "in use"),
       hr(0x8007007E, "The specified module could not be found."),
       {R"~({"event":"error","message":"state: in use (0x80070020)"})~",
        R"~({"event":"error","message":"activity: The specified module could not be found. (0x8007007E)"})~"}},
  };
  for (const auto& c : cases) {
    FakeHost h;
    h.open_error = c.open;
    h.monitor_error = c.monitor;
    Service s = service::start(h);
    auto lines = h.take_lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), R"({"event":"ready"})") << c.what;
    lines.erase(lines.begin());
    EXPECT_EQ(lines, c.expected) << c.what;
  }
}

TEST_F(ServiceTest, FirstStatusAtTheFirstLineOrAfterOneSecond) {
  struct Case {
    const char* what;
    std::deque<ScriptedInbox::Event> events;
    std::vector<Clock::duration> status_at;
  };
  const std::string preview = R"({"command":"set_preview","active":true})";
  const Case cases[] = {
      {"no input: after one second", {{3500ms, std::nullopt}}, {1s}},
      {"a line before one second", {{300ms, preview}, {3500ms, std::nullopt}}, {300ms}},
      // The forced status of the command, then the tick's own since it is the first.
      {"set_transcribing first", {{200ms, transcribing(true)}, {3500ms, std::nullopt}}, {200ms}},
  };
  for (const auto& c : cases) {
    FakeHost h;
    Service s = service::start(h);
    h.lines.clear();
    ScriptedInbox inbox(h, c.events);
    EXPECT_EQ(service::run_loop(s, inbox, h), 0);
    // Only the first status counts: later ones are unchanged lines and not written.
    std::vector<Clock::duration> at;
    for (const auto& e : h.lines) at.push_back(e.at);
    EXPECT_EQ(at, c.status_at) << c.what;
  }
}

TEST_F(ServiceTest, TicksFollowOneSecondApartAndRefreshEveryTwo) {
  ScriptedInbox inbox(host, {{5500ms, std::nullopt}});
  Service s = started();
  service::run_loop(s, inbox, host);
  // Ticks at 1, 2, 3, 4, 5 s; refreshes at 1, 3 and 5 s.
  EXPECT_EQ(host.enumerations, 3);
  EXPECT_EQ(host.record->heartbeat_ms.load(), UNIX_START + 5000);
}

TEST_F(ServiceTest, OnlyTranscribingAndUsageMonitoringForceStatus) {
  Service s = started();
  const std::pair<std::string, int> cases[] = {
      {transcribing(true), 1},
      {transcribing(true), 1},  // repeated: written again though unchanged
      {R"({"command":"set_usage_monitoring","active":false})", 1},
      {R"({"command":"set_preview","active":true})", 0},
      {R"({"command":"set_audio_level","level":0.5})", 0},
      {branding("Other"), 0},
      {R"({"command":"Set_Transcribing","active":true})", 0},
      {R"({"active":true})", 0},
      {"not json at all", 0},
      {R"(garbage "command":"set_transcribing")", 1},
  };
  for (const auto& [line, count] : cases) {
    s.handle(line);
    const auto lines = host.take_lines();
    EXPECT_EQ(lines.size(), static_cast<std::size_t>(count)) << line;
    for (const auto& l : lines) EXPECT_EQ(l, EMPTY_STATUS);
  }
}

TEST_F(ServiceTest, BadgeFollowsTranscribingOrPreview) {
  Service s = started();
  struct Step {
    std::string line;
    std::uint32_t badge;
  };
  const Step steps[] = {
      {transcribing(true), 1},
      {R"({"command":"set_preview","active":"true"})", 1},
      {transcribing(false), 1},
      {R"({"command":"set_preview","active":"yes"})", 0},
      {R"({"command":"set_preview","active":true})", 1},
      {R"({"command":"set_preview"})", 0},
  };
  for (const auto& step : steps) {
    s.handle(step.line);
    EXPECT_EQ(host.record->badge_on.load(), step.badge) << step.line;
  }
}

TEST_F(ServiceTest, TranscribingOffSilencesTheLevel) {
  Service s = started();
  s.handle(R"({"command":"set_audio_level","level":0.75})");
  s.handle(transcribing(true));
  EXPECT_EQ(host.record->audio_level(), 0.75f);
  s.handle(transcribing(false));
  EXPECT_EQ(host.record->audio_level(), 0.0f);
}

TEST_F(ServiceTest, AudioLevelParsedAndClamped) {
  Service s = started();
  const std::pair<std::string, float> cases[] = {
      {R"("level":0.5)", 0.5f},     {R"("level":"0.25")", 0.25f}, {R"("level":5)", 1.0f},
      {R"("level":-1)", 0.0f},      {R"("level":"abc")", 0.0f},   {"", 0.0f},
      {R"("level":1e-1)", 0.1f},    {R"("level":".5")", 0.5f},    {R"("level":"+0.5")", 0.5f},
      {R"("level":"1e999")", 1.0f}, {R"("level":"inf")", 1.0f},   {R"("level":"0x1p-1")", 0.0f},
      {R"("level": 0.5 )", 0.5f},   // a bare value is trimmed by the codec
      {R"("level":" 0.5")", 0.0f},  // a quoted one is not
  };
  for (const auto& [member, expected] : cases) {
    host.record->set_audio_level(0.3f);
    std::string line = R"({"command":"set_audio_level")";
    if (!member.empty()) line += "," + member;
    line += "}";
    s.handle(line);
    EXPECT_EQ(host.record->audio_level(), expected) << line;
  }
}

TEST(ParseLevel, Grammar) {
  const std::pair<const char*, std::optional<float>> cases[] = {
      {"0.5", 0.5f},
      {"-2", -2.0f},
      {"+3.", 3.0f},
      {".25", 0.25f},
      {"1E2", 100.0f},
      {"2e+1", 20.0f},
      {"5e-1", 0.5f},
      {"INF", INFINITY},
      {"-Infinity", -INFINITY},
      {"1e-99", 0.0f},
      {"", std::nullopt},
      {".", std::nullopt},
      {"+", std::nullopt},
      {"1e", std::nullopt},
      {"e5", std::nullopt},
      {"+-1", std::nullopt},
      {"0x10", std::nullopt},
      {"1.5 ", std::nullopt},
      {" 1", std::nullopt},
      {"nan(1)", std::nullopt},
      {"1,5", std::nullopt},
      {"infin", std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(service::parse_level(text), expected) << text;
  }
  const auto nan = service::parse_level("NaN");
  ASSERT_TRUE(nan.has_value());
  EXPECT_TRUE(std::isnan(*nan));
}

TEST_F(ServiceTest, LevelWithoutStateIsNotWrittenLater) {
  host.open_error = shared::Error::from_hresult(service::FILE_NOT_FOUND);
  Service s = started();
  s.handle(R"({"command":"set_audio_level","level":0.6})");
  host.install();
  s.tick();
  EXPECT_EQ(host.record->audio_level(), 0.0f);
}

TEST_F(ServiceTest, BrandingRules) {
  host.devices = cameras(1);
  Service s = started();
  s.tick();
  ASSERT_EQ(host.published, std::vector<std::string>{"Vantorel"});
  const std::string long_name(80, 'B');
  struct Step {
    std::string line;
    std::string title;
    std::vector<std::string> published;
  };
  const Step steps[] = {
      {branding("Vantorel"), "Vantorel", {"Vantorel"}},
      {branding(""), "Vantorel", {"Vantorel"}},
      {R"({"command":"set_branding"})", "Vantorel", {"Vantorel"}},
      {branding("Acme"), "Acme", {"Vantorel", "Acme"}},
      // Cut in the shared title, whole in the camera names.
      {branding(long_name), long_name.substr(0, 63), {"Vantorel", "Acme", long_name}},
  };
  for (const auto& step : steps) {
    host.take_lines();
    s.handle(step.line);
    EXPECT_TRUE(host.take_lines().empty()) << step.line;
    EXPECT_EQ(host.texts()[0], step.title) << "title at once: " << step.line;
    // The next tick, well within the two-second rule.
    host.advance(1s);
    s.tick();
    EXPECT_EQ(host.published, step.published) << step.line;
  }
  EXPECT_EQ(host.removed, 2);
  EXPECT_EQ(host.virtual_devices.front().name,
            shared::camera_name("Cam 0", long_name) + " (device)");
}

TEST_F(ServiceTest, NamesOfNewCamerasAppearOneRefreshLater) {
  host.devices = cameras(2);
  Service s = started();
  s.tick();
  const std::string first_names_missing = status_line(true, {}, false, "granted", {});
  EXPECT_EQ(host.take_lines(), std::vector<std::string>{first_names_missing});

  refresh_tick(s);
  const std::vector<std::string> names = {"Cam 0 - Vantorel Watermark (device)",
                                          "Cam 1 - Vantorel Watermark (device)"};
  EXPECT_EQ(host.take_lines(),
            std::vector<std::string>{status_line(true, {}, false, "granted", names)});

  // A new brand: the re-creating tick still matches only devices from before, which no longer
  // start with a given name.
  s.handle(branding("Acme"));
  host.advance(1s);
  s.tick();
  EXPECT_EQ(host.take_lines(), std::vector<std::string>{first_names_missing});
  refresh_tick(s);
  EXPECT_EQ(host.take_lines(),
            std::vector<std::string>{status_line(
                true, {}, false, "granted",
                {"Cam 0 - Acme Watermark (device)", "Cam 1 - Acme Watermark (device)"})});
}

TEST_F(ServiceTest, CameraNamesRules) {
  const auto own = [](const std::string& name, const std::string& id) {
    return Device{name, "\\\\?\\SWD#VCAMDEVAPI#" + id};
  };
  std::vector<std::string> many_given;
  std::vector<Device> many_devices;
  for (int i = 24; i >= 0; --i) many_devices.push_back(own("N" + std::to_string(100 + i), "n"));
  for (int i = 0; i < 25; ++i) many_given.push_back("N" + std::to_string(100 + i));
  std::vector<std::string> first_twenty;
  for (int i = 0; i < 20; ++i) first_twenty.push_back("N" + std::to_string(100 + i));

  struct Case {
    const char* what;
    std::vector<std::string> given;
    std::vector<Device> devices;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"the first matching device of each name, in the order of the names",
       {"B", "A"},
       {own("A one", "a1"), own("B one", "b1"), own("A two", "a2")},
       {"B one", "A one"}},
      {"a name without a device is left out",
       {"A", "Z"},
       {own("A one", "a1"), own("B one", "b1")},
       {"A one"}},
      {"a device matching two names counts for each",
       {"A", "A o"},
       {own("A one", "a1")},
       {"A one", "A one"}},
      {"physical cameras count too when their names match", {"Cam 0"}, {}, {"Cam 0"}},
      {"at most twenty", many_given, many_devices, first_twenty},
  };
  for (const Case& c : cases) {
    FakeHost h;
    h.devices = cameras(1);
    h.devices.insert(h.devices.end(), c.devices.begin(), c.devices.end());
    h.given_names = c.given;
    Service s = service::start(h);
    s.tick();
    EXPECT_EQ(h.lines.back().line, status_line(true, {}, false, "granted", c.names)) << c.what;
  }
}

TEST_F(ServiceTest, AnyChangeOfOnePhysicalCameraRecreatesTheSet) {
  struct Case {
    const char* what;
    std::function<void(std::vector<Device>&)> change;
  };
  const Case cases[] = {
      {"one link", [](auto& d) { d[1].link += "#2"; }},
      {"one name", [](auto& d) { d[0].name = "Renamed"; }},
      {"the order", [](auto& d) { std::swap(d[0], d[1]); }},
      {"one camera more", [](auto& d) { d.push_back(cameras(3)[2]); }},
      {"one camera less", [](auto& d) { d.pop_back(); }},
  };
  for (const Case& c : cases) {
    FakeHost h;
    h.devices = cameras(2);
    Service s = service::start(h);
    s.tick();
    h.advance(service::REFRESH_INTERVAL);
    s.tick();
    ASSERT_EQ(h.published.size(), 1u) << c.what << ": unchanged cameras are kept";

    c.change(h.devices);
    h.advance(service::REFRESH_INTERVAL);
    s.tick();
    EXPECT_EQ(h.published.size(), 2u) << c.what;
    EXPECT_EQ(h.removed, 1) << c.what;
    const auto texts = h.texts();
    for (std::size_t i = 0; i < shared::SLOT_COUNT; ++i) {
      EXPECT_EQ(texts[i + 1], i < h.devices.size() ? h.devices[i].link : "") << c.what;
    }
  }
}

TEST_F(ServiceTest, BrandingWhileTheStateFileIsClosedReachesTheTitleWhenItOpens) {
  host.open_error = shared::Error::from_hresult(service::FILE_NOT_FOUND);
  host.devices = cameras(1);
  Service s = started();
  s.tick();
  s.handle(branding("Acme"));
  EXPECT_EQ(host.texts(), (std::vector<std::string>{"", "", "", "", ""}));

  host.install();
  host.advance(1s);
  s.tick();
  EXPECT_EQ(host.texts(), (std::vector<std::string>{"Acme", cameras(1)[0].link, "", "", ""}));
  EXPECT_EQ(host.published, std::vector<std::string>{"Acme"});
}

TEST_F(ServiceTest, EveryCameraFailingIsReportedOnceAndNotRetried) {
  host.devices = cameras(2);
  host.failing_slots = {0, 1};
  Service s = started();
  s.tick();
  EXPECT_EQ(host.take_lines(),
            (std::vector<std::string>{
                R"({"event":"error","message":"virtual camera 1: no camera 1"})", EMPTY_STATUS}));
  for (int i = 0; i < 3; ++i) refresh_tick(s);
  EXPECT_EQ(host.published.size(), 1u);
  EXPECT_TRUE(host.take_lines().empty());

  // Cameras change: tried again.
  host.failing_slots = {0};
  host.devices = cameras(3);
  refresh_tick(s);
  EXPECT_EQ(host.published.size(), 2u);
  EXPECT_EQ(host.take_lines(), (std::vector<std::string>{
                                   R"({"event":"error","message":"virtual camera 0: no camera 0"})",
                                   status_line(true, {}, false, "granted", {})}));
}

TEST_F(ServiceTest, NoPublishWithoutCamerasStateOrRegistration) {
  struct Case {
    const char* what;
    int cameras;
    bool installed;
    bool registered;
  };
  const Case cases[] = {
      {"no camera", 0, true, true},
      {"no state", 1, false, true},
      {"not registered", 1, true, false},
  };
  for (const auto& c : cases) {
    FakeHost h;
    h.devices = cameras(c.cameras);
    if (!c.installed) h.open_error = shared::Error::from_hresult(service::PATH_NOT_FOUND);
    h.registered = c.registered;
    Service s = service::start(h);
    for (int i = 0; i < 3; ++i) {
      h.advance(service::REFRESH_INTERVAL);
      s.tick();
    }
    EXPECT_TRUE(h.published.empty()) << c.what;
    EXPECT_EQ(h.lines.back().line, EMPTY_STATUS) << c.what;
  }
}

TEST_F(ServiceTest, TextsRewrittenAtEveryRefreshWithoutCameras) {
  Service s = started();
  s.tick();
  EXPECT_EQ(host.texts(), (std::vector<std::string>{"Vantorel", "", "", "", ""}));
  host.record->write_text("stale", std::vector<std::string>{"x"});
  refresh_tick(s);
  EXPECT_EQ(host.texts(), (std::vector<std::string>{"Vantorel", "", "", "", ""}));
}

TEST_F(ServiceTest, FifthCameraIgnored) {
  host.devices = cameras(5);
  host.devices.insert(host.devices.begin() + 1, Device{"Other virtual", "\\\\?\\swd#VCamDevApi#x"});
  Service s = started();
  s.tick();
  const auto texts = host.texts();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(texts[i + 1], cameras(4)[i].link);
  refresh_tick(s);
  EXPECT_EQ(
      host.take_lines().back(),
      status_line(true, {}, false, "granted",
                  {"Cam 0 - Vantorel Watermark (device)", "Cam 1 - Vantorel Watermark (device)",
                   "Cam 2 - Vantorel Watermark (device)", "Cam 3 - Vantorel Watermark (device)"}));
}

TEST_F(ServiceTest, ConsumersAndPhysicalUse) {
  host.devices = cameras(2);
  host.processes = {{10, "teams.exe"}, {11, "teams.exe"},     {12, "svchost.exe"},
                    {13, "zoom.exe"},  {14, "\xC3\xA9t.exe"}, {15, "obs64.exe"}};
  Service s = started();
  s.tick();
  refresh_tick(s);
  host.take_lines();
  const std::string vcam0 = "\\\\?\\swd#vcamdevapi#slot0";
  const std::string vcam1 = "\\\\?\\swd#vcamdevapi#slot1";
  const std::string phys0 = devices::lower_ascii(cameras(2)[0].link);
  const std::string phys1 = devices::lower_ascii(cameras(2)[1].link);
  struct Case {
    const char* what;
    devices::Activity streams;
    bool monitoring;
    std::vector<std::string> consumers;
    bool in_use;
  };
  const Case cases[] = {
      {"nothing streams", {}, true, {}, false},
      {"sorted, unique, unknown ids dropped",
       {{vcam0, {13, 10, 99}}, {vcam1, {11, 14, 12}}},
       false,
       {"svchost.exe", "teams.exe", "zoom.exe", "\xC3\xA9t.exe"},
       false},
      {"frame server alone on a physical camera", {{phys0, {12}}}, true, {}, false},
      {"unknown id on a physical camera", {{phys0, {98}}}, true, {}, false},
      {"another process on a physical camera", {{phys1, {12, 15}}}, true, {}, true},
      {"the same while monitoring is off", {{phys1, {15}}}, false, {}, false},
      {"link keys are lower-cased", {{cameras(2)[1].link, {15}}}, true, {}, false},
  };
  for (const auto& c : cases) {
    host.streams = c.streams;
    s.handle(std::string(R"({"command":"set_usage_monitoring","active":)") +
             (c.monitoring ? "true}" : "false}"));
    const auto names = std::vector<std::string>{"Cam 0 - Vantorel Watermark (device)",
                                                "Cam 1 - Vantorel Watermark (device)"};
    EXPECT_EQ(host.take_lines(),
              std::vector<std::string>{status_line(true, c.consumers, c.in_use, "granted", names)})
        << c.what;
  }
}

TEST_F(ServiceTest, PermissionReadAtEveryStatus) {
  Service s = started();
  s.tick();
  host.take_lines();
  host.denied = true;
  host.advance(1s);
  s.tick();
  EXPECT_EQ(host.take_lines(),
            std::vector<std::string>{status_line(false, {}, false, "denied", {})});
}

TEST_F(ServiceTest, StateFileAppearingWhileRunning) {
  host.open_error = shared::Error::from_hresult(service::FILE_NOT_FOUND);
  host.devices = cameras(1);
  Service s = started();
  s.handle(transcribing(true));
  s.tick();
  EXPECT_TRUE(host.published.empty());
  EXPECT_EQ(host.record->heartbeat_ms.load(), 0u);

  host.install();
  host.advance(service::REFRESH_INTERVAL);
  s.tick();
  // The badge at the open, texts and cameras in the same refresh...
  EXPECT_EQ(host.record->badge_on.load(), 1u);
  EXPECT_EQ(host.texts()[0], "Vantorel");
  EXPECT_EQ(host.texts()[1], cameras(1)[0].link);
  EXPECT_EQ(host.published.size(), 1u);
  // ...and the heartbeat from this tick on, since it comes before the refresh.
  EXPECT_EQ(host.record->heartbeat_ms.load(), 0u);
  host.advance(1s);
  s.tick();
  EXPECT_EQ(host.record->heartbeat_ms.load(), host.unix_ms());
}

TEST(LineChannel, DeliversInOrderThenTimesOutOrCloses) {
  service::LineChannel channel;
  channel.send("a");
  channel.send("b");
  EXPECT_EQ(channel.receive(0ms).line, "a");
  EXPECT_EQ(channel.receive(0ms).line, "b");
  EXPECT_EQ(channel.receive(1ms).status, service::Inbox::Status::timeout);
  channel.send("c");
  channel.close();
  EXPECT_EQ(channel.receive(0ms).line, "c");
  EXPECT_EQ(channel.receive(0ms).status, service::Inbox::Status::closed);
}

TEST(LineChannel, WaitHandledLastsUntilEveryLineSentIsHandled) {
  service::LineChannel channel;
  EXPECT_TRUE(channel.wait_handled(0ms));
  channel.send("a");
  channel.send("b");
  EXPECT_FALSE(channel.wait_handled(1ms));
  channel.receive(0ms);
  channel.handled();
  EXPECT_FALSE(channel.wait_handled(1ms));
  channel.receive(0ms);
  std::thread loop([&] {
    std::this_thread::sleep_for(20ms);
    channel.handled();
  });
  EXPECT_TRUE(channel.wait_handled(10s));
  loop.join();
}

// The end of input waits on this: every line the loop took from the channel counts as handled
// only once the service has applied it.
TEST_F(ServiceTest, LoopReportsEachLineHandled) {
  service::LineChannel channel;
  channel.send(transcribing(true));
  channel.send(R"({"command":"set_preview","active":true})");
  channel.close();
  Service s = started();
  EXPECT_EQ(service::run_loop(s, channel, host), 0);
  EXPECT_TRUE(channel.wait_handled(0ms));
  EXPECT_EQ(host.record->badge_on.load(), 1u);
  EXPECT_EQ(host.take_lines().front(), EMPTY_STATUS);
}

TEST(ReadLines, SplitsAndStops) {
  struct Case {
    const char* what;
    std::vector<std::string> chunks;  // "!" fails the read
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"LF and CR LF", {"a\nb\r\nc"}, {"a", "b", "c"}},
      {"split across reads", {"ab", "c\r", "\nd\n"}, {"abc", "d"}},
      {"empty lines kept", {"\n\r\n"}, {"", ""}},
      {"lone CR at the end kept", {"x\r"}, {"x\r"}},
      {"CR inside a line kept", {"a\rb\n"}, {"a\rb"}},
      {"invalid UTF-8 stops before the line", {"ok\n\xC3(\nnever\n"}, {"ok"}},
      {"read failure drops the partial line", {"a\nb", "!"}, {"a"}},
      {"NUL and 0x1A are plain bytes",
       {std::string("a\0b\x1a\n", 5)},
       {std::string("a\0b\x1a", 4)}},
  };
  for (const auto& c : cases) {
    std::size_t next = 0;
    std::vector<std::string> got;
    service::read_lines(
        [&](char* buffer, std::size_t size) -> std::ptrdiff_t {
          if (next == c.chunks.size()) return 0;
          const std::string& chunk = c.chunks[next++];
          if (chunk == "!") return -1;
          EXPECT_LE(chunk.size(), size);
          chunk.copy(buffer, chunk.size());
          return static_cast<std::ptrdiff_t>(chunk.size());
        },
        [&](std::string line) { got.push_back(std::move(line)); });
    EXPECT_EQ(got, c.lines) << c.what;
  }
}

}  // namespace
