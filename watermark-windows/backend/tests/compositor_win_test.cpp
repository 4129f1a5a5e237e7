// Runs under Wine with an X display (Direct2D draws through OpenGL there), or on Windows: composed
// frames read back from real Media Foundation samples, with test pictures put straight into the
// capture's latest-frame slot and a state file of the test's own.
#include <gtest/gtest.h>

#include <windows.h>

#include <mfapi.h>
#include <wincodec.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <expected>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "badge.hpp"
#include "compositor_win.hpp"
#include "math.hpp"
#include "pixel_colours.hpp"
#include "png_win.hpp"
#include "state_file_win.hpp"
#include "media_foundation_win.hpp"
#include "win_error.hpp"

namespace {

using namespace test_pixels;

using namespace std::chrono_literals;
using compositor::Compositor;
using shared::win::ComRef;

constexpr int WIDTH = static_cast<int>(math::FRAME_WIDTH);
constexpr int HEIGHT = static_cast<int>(math::FRAME_HEIGHT);
constexpr float W = compositor::FRAME_W;
constexpr float H = compositor::FRAME_H;
constexpr std::size_t ROW = math::RGB32_ROW_BYTES;

// Frames whose timing a busy machine spoilt are made again, this often at most.
constexpr int MAX_ATTEMPTS = 5;

const char* const LONG_LABEL =
    "A rather long participant name that will never fit into the badge at all";

const auto* const media_foundation =
    ::testing::AddGlobalTestEnvironment(new test_mf::MediaFoundation);

// The bytes of a sample's one buffer, with the sample's facts.
struct Delivered {
  std::vector<std::uint8_t> bytes;
  DWORD buffers = 0;
  LONGLONG time = 0;
  LONGLONG duration = 0;

  Bgra at(int x, int y) const {
    const std::uint8_t* p = bytes.data() + std::size_t(y) * ROW + std::size_t(x) * 4;
    return {p[0], p[1], p[2], p[3]};
  }
};

Delivered read(IMFSample* sample) {
  Delivered out;
  EXPECT_TRUE(SUCCEEDED(sample->GetBufferCount(&out.buffers)));
  EXPECT_TRUE(SUCCEEDED(sample->GetSampleTime(&out.time)));
  EXPECT_TRUE(SUCCEEDED(sample->GetSampleDuration(&out.duration)));
  ComRef<IMFMediaBuffer> buffer;
  if (FAILED(sample->GetBufferByIndex(0, buffer.put()))) return out;
  BYTE* data = nullptr;
  DWORD length = 0;
  if (FAILED(buffer->Lock(&data, nullptr, &length))) return out;
  out.bytes.assign(data, data + length);
  buffer->Unlock();
  return out;
}

// A camera picture of four coloured quarters (red, green / blue, white) between magenta bands
// of `band` rows at the top and bottom, fourth byte 0 (the camera's X byte).
capture::Frame test_picture(std::uint32_t width, std::uint32_t height, std::uint32_t band,
                            capture::Clock::time_point captured = capture::Clock::now()) {
  capture::Frame frame{std::vector<std::uint8_t>(std::size_t{width} * height * 4), captured, width,
                       height};
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      std::uint8_t* p = frame.pixels.data() + (std::size_t{y} * width + x) * 4;
      const bool left = x < width / 2;
      const bool top = y < height / 2;
      Bgra c = top ? (left ? Bgra{0, 0, 255, 0} : Bgra{0, 255, 0, 0})
                   : (left ? Bgra{255, 0, 0, 0} : Bgra{255, 255, 255, 0});
      if (y < band || y >= height - band) c = {255, 0, 255, 0};
      p[0] = static_cast<std::uint8_t>(c.b);
      p[1] = static_cast<std::uint8_t>(c.g);
      p[2] = static_cast<std::uint8_t>(c.r);
      p[3] = static_cast<std::uint8_t>(c.a);
    }
  }
  return frame;
}

// The capture never opens a camera in these tests: every slot text stays empty.
shared::Result<ComRef<IMFMediaSource>> no_camera(const std::string&) {
  ADD_FAILURE() << "a camera was opened";
  return std::unexpected(shared::win::hresult_error(E_FAIL));
}

class CompositorTest : public ::testing::Test {
 protected:
  CompositorTest() : file_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

  // A compositor on the test's state file (or on none). Empty when the creation failed, which
  // the test asserts against, so that one failure ends that test and not the whole program.
  std::optional<Compositor> make(bool mapped = true) {
    auto made = Compositor::create(
        1, Compositor::Inputs{mapped ? file_.path() : file_.missing_path(), no_camera});
    if (!made) {
      ADD_FAILURE() << "Compositor::create: " << made.error().text();
      return std::nullopt;
    }
    return std::move(*made);
  }
  void helper_wants(std::uint32_t badge_on, std::string_view title,
                    std::int64_t heartbeat_offset_ms = 0, float level = 0.0f) {
    file_.state().write_text(title, std::vector<std::string>{});
    file_.state().badge_on.store(badge_on);
    file_.state().set_audio_level(level);
    file_.state().heartbeat_ms.store(shared::unix_ms() + heartbeat_offset_ms);
  }
  static void show(const Compositor& compositor, capture::Frame frame) {
    compositor.capture().frame()->store(std::move(frame));
  }
  static Delivered compose(Compositor& compositor, bool nv12 = false) {
    auto sample = compositor.next_sample(nv12);
    EXPECT_TRUE(sample.has_value()) << sample.error().text();
    if (!sample) return {};
    return read(sample->get());
  }
  // A frame over `picture` shown just before it. A busy machine may let the picture pass 1 s
  // before the compositor looks at it; that frame is made again over the picture shown anew.
  static Delivered compose_shown(Compositor& compositor, const capture::Frame& picture, bool nv12) {
    Delivered frame;
    for (int attempt = 0; attempt < MAX_ATTEMPTS; ++attempt) {
      capture::Frame shown = picture;
      shown.captured = capture::Clock::now();
      const auto at = shown.captured;
      show(compositor, std::move(shown));
      frame = compose(compositor, nv12);
      if (capture::Clock::now() - at < compositor::PICTURE_MAX_AGE) break;
    }
    return frame;
  }
  static void save(const Delivered& frame, const std::string& name) {
    auto written = test_png::write_png("compositor_" + name + ".png", frame.bytes,
                                       math::FRAME_WIDTH, math::FRAME_HEIGHT, ROW);
    EXPECT_TRUE(written) << written.error().text();
  }

  test_state::StateFile file_;
};

TEST_F(CompositorTest, WithoutStateFileEveryFrameIsOpaqueBlack) {
  std::optional<Compositor> made = make(false);
  ASSERT_TRUE(made);
  Compositor& compositor = *made;
  for (bool nv12 : {false, true}) {
    const Delivered frame = compose(compositor, nv12);
    if (nv12) {
      ASSERT_EQ(frame.bytes.size(), math::NV12_FRAME_BYTES);
      // Black: luma 16, chroma 128.
      EXPECT_TRUE(std::all_of(frame.bytes.begin(), frame.bytes.begin() + WIDTH * HEIGHT,
                              [](std::uint8_t y) { return y == 16; }));
      EXPECT_TRUE(std::all_of(frame.bytes.begin() + WIDTH * HEIGHT, frame.bytes.end(),
                              [](std::uint8_t c) { return c == 128; }));
    } else {
      ASSERT_EQ(frame.bytes.size(), math::RGB32_FRAME_BYTES);
      for (std::size_t i = 0; i < frame.bytes.size(); i += 4) {
        ASSERT_TRUE(close_to(frame.at(int(i / 4 % WIDTH), int(i / ROW)), BLACK, 0)) << i;
      }
    }
  }
}

TEST_F(CompositorTest, CameraPictureCoversTheFrame) {
  std::optional<Compositor> made = make();
  ASSERT_TRUE(made);
  Compositor& compositor = *made;
  helper_wants(0, "");
  // 640 x 480 is drawn twice as large from y = -120: its 60 top and bottom rows fall outside.
  show(compositor, test_picture(640, 480, 60));
  const Delivered frame = compose(compositor);
  ASSERT_EQ(frame.bytes.size(), math::RGB32_FRAME_BYTES);
  save(frame, "cover_640x480");
  struct Spot {
    int x, y;
    Bgra colour;
  };
  const Spot spots[] = {
      {320, 180, {0, 0, 255, 255}},   // top left: red
      {960, 180, {0, 255, 0, 255}},   // top right: green
      {320, 540, {255, 0, 0, 255}},   // bottom left: blue
      {960, 540, {255, 255, 255, 255}},  // bottom right: white
      {2, 2, {0, 0, 255, 255}},       // the first row shown is the first red row
      {1277, 717, {255, 255, 255, 255}},
  };
  for (const Spot& s : spots) {
    EXPECT_TRUE(close_to(frame.at(s.x, s.y), s.colour)) << s.x << "," << s.y << ": " << describe(frame.at(s.x, s.y));
  }
  // No magenta anywhere but where the bands meet the frame's edge through interpolation.
  for (int y = 2; y < HEIGHT - 2; ++y) {
    for (int x = 0; x < WIDTH; x += 7) {
      const Bgra p = frame.at(x, y);
      ASSERT_FALSE(p.b > 128 && p.r > 128 && p.g < 64) << "magenta at " << x << "," << y;
    }
  }
}

TEST_F(CompositorTest, OnlyAPictureYoungerThanOneSecondIsDrawn) {
  std::optional<Compositor> made = make();
  ASSERT_TRUE(made);
  Compositor& compositor = *made;
  helper_wants(0, "");
  struct Case {
    const char* name;
    std::chrono::milliseconds age;
    bool drawn;
  };
  for (const Case& c : {Case{"fresh", 0ms, true}, Case{"900 ms", 900ms, true},
                        Case{"1001 ms", 1001ms, false}, Case{"5 s", 5s, false}}) {
    // The picture ages while the frame is made: on a busy machine a picture meant to be drawn
    // may pass 1 s before the compositor looks at it. Such a frame decides nothing and is made
    // again; a picture meant to be too old only gets older.
    Delivered frame;
    for (int attempt = 0; attempt < MAX_ATTEMPTS; ++attempt) {
      const auto shown = capture::Clock::now();
      show(compositor, test_picture(1280, 720, 0, shown - c.age));
      frame = compose(compositor);
      if (!c.drawn || c.age + (capture::Clock::now() - shown) < compositor::PICTURE_MAX_AGE) break;
    }
    EXPECT_EQ(close_to(frame.at(320, 180), {0, 0, 255, 255}), c.drawn) << c.name;
    if (!c.drawn) {
      EXPECT_TRUE(close_to(frame.at(320, 180), BLACK, 0)) << c.name;
    }
  }
}

// Where the badge lies for the brand mark (its content width is the mark's).
badge::Geometry brand_geometry() {
  return badge::geometry(W, H, badge::lengths(W).mark_width, 0.0, 0.0);
}

// The pill's first and last column on `row`, found by its colour over black.
std::pair<int, int> pill_span(const Delivered& frame, int row) {
  int first = -1;
  int last = -1;
  for (int x = 0; x < WIDTH; ++x) {
    if (!close_to(frame.at(x, row), BLACK)) {
      if (first < 0) first = x;
      last = x;
    }
  }
  return {first, last};
}

TEST_F(CompositorTest, BrandModeDrawsPillMarkAndBarsWhereTheGeometrySays) {
  std::optional<Compositor> made = make();
  ASSERT_TRUE(made);
  Compositor& compositor = *made;
  helper_wants(1, "", 0, 0.5f);
  const Delivered frame = compose(compositor);
  const badge::Geometry g = brand_geometry();
  const badge::Rect pill = g.pill.rect;
  const int cy = static_cast<int>(g.centre_y);

  // The pill's ends on the centre line; above the content, inside the pill, the pill's colour
  // over black; outside it, black.
  const int above = static_cast<int>(pill.top + 4.0f);
  const auto [first, last] = pill_span(frame, cy);
  EXPECT_NEAR(first, pill.left, 1.5f);
  EXPECT_NEAR(last + 1, pill.right, 1.5f);
  EXPECT_TRUE(close_to(frame.at(static_cast<int>(pill.left + 30.0f), above), PILL))
      << describe(frame.at(static_cast<int>(pill.left + 30.0f), above));
  EXPECT_TRUE(close_to(frame.at(static_cast<int>(pill.left + 30.0f), static_cast<int>(pill.top) - 3), BLACK));
  EXPECT_TRUE(close_to(frame.at(static_cast<int>(pill.left) - 3, cy), BLACK));

  // The mark, inside its left arm (box point 37, 60).
  const badge::Point arm = g.mark.apply({37.0f, 60.0f});
  EXPECT_TRUE(close_to(frame.at(static_cast<int>(arm.x), static_cast<int>(arm.y)), MARK, 8))
      << describe(frame.at(static_cast<int>(arm.x), static_cast<int>(arm.y)));

  // Each bar at its middle on the centre line, whatever its height at this instant.
  for (const badge::RoundedRect& bar : g.bars) {
    const int x = static_cast<int>((bar.rect.left + bar.rect.right) / 2.0f);
    EXPECT_TRUE(close_to(frame.at(x, cy), BAR, 6)) << x << ": " << describe(frame.at(x, cy));
  }

  // For the eye: the same over a camera picture.
  show(compositor, test_picture(640, 480, 60));
  save(compose(compositor), "brand");
}

TEST_F(CompositorTest, TextModeDrawsTheTitleAndCutsALongOne) {
  struct Case {
    const char* name;
    const char* title;
    bool cut;
  };
  for (const Case& c : {Case{"label", "Acme Studio", false}, Case{"long_label", LONG_LABEL, true}}) {
    std::optional<Compositor> made = make();
    ASSERT_TRUE(made);
    Compositor& compositor = *made;
    helper_wants(1, c.title, -1000, 0.8f);
    // Behind the badge, a camera picture.
    show(compositor, test_picture(1280, 720, 0));
    const Delivered with_picture = compose(compositor);
    save(with_picture, c.name);

    // Over black the pill shows its extent, and from that the measured text width. The
    // heartbeat is renewed, since the frame before may have taken seconds (emulated ARM64).
    helper_wants(1, c.title, -1000, 0.8f);
    show(compositor, test_picture(1280, 720, 0, capture::Clock::now() - 2s));
    const Delivered frame = compose(compositor);
    const badge::Lengths l = badge::lengths(W);
    const auto [first, last] = pill_span(frame, static_cast<int>(brand_geometry().centre_y));
    ASSERT_GE(first, 0) << c.name;
    const float pill_width = static_cast<float>(last + 1 - first);
    const badge::Geometry g = badge::geometry(W, H, pill_width - 1.6f * l.unit, 0.0, 0.0);
    EXPECT_NEAR(first, g.pill.rect.left, 1.5f) << c.name;
    if (c.cut) {
      EXPECT_LE(pill_width, 295.2f + 1.0f) << c.name;
      EXPECT_GE(first, 492.4f - 1.0f) << c.name;
    }
    // Light text pixels within the content, and none of the mark's blue.
    int light = 0;
    int blue = 0;
    for (int y = static_cast<int>(g.centre_y) - 12; y <= static_cast<int>(g.centre_y) + 12; ++y) {
      for (int x = static_cast<int>(g.content_left); x < static_cast<int>(g.content_left + g.content_width); ++x) {
        const Bgra p = frame.at(x, y);
        if (p.b > 160 && p.g > 160 && p.r > 160) ++light;
        if (p.b > 200 && p.r < 120) ++blue;
      }
    }
    EXPECT_GT(light, 40) << c.name;
    EXPECT_EQ(blue, 0) << c.name;
  }
}

TEST_F(CompositorTest, BadgeOnlyWhileWantedAndTheHeartbeatIsFresh) {
  struct Case {
    const char* name;
    std::uint32_t badge_on;
    std::int64_t heartbeat_offset_ms;
    bool badge;
  };
  const Case cases[] = {
      {"flag 1, fresh", 1, 0, true},
      {"flag 2 counts as on", 2, -1000, true},
      {"heartbeat 1 s ahead", 1, 1000, true},
      {"flag 0", 0, 0, false},
      {"heartbeat 5000 ms old", 1, -5000, false},
  };
  const badge::Geometry g = brand_geometry();
  const int x = static_cast<int>(g.pill.rect.left + 30.0f);
  const int y = static_cast<int>(g.pill.rect.top + 4.0f);
  std::optional<Compositor> made = make();
  ASSERT_TRUE(made);
  Compositor& compositor = *made;
  for (const Case& c : cases) {
    helper_wants(c.badge_on, "", c.heartbeat_offset_ms);
    const Delivered frame = compose(compositor);
    EXPECT_TRUE(close_to(frame.at(x, y), c.badge ? PILL : BLACK)) << c.name << ": " << describe(frame.at(x, y));
  }
}

TEST_F(CompositorTest, Rgb32AndNv12SamplesOfOneFrame) {
  std::optional<Compositor> made = make();
  ASSERT_TRUE(made);
  Compositor& compositor = *made;
  helper_wants(0, "");
  capture::Frame picture = test_picture(640, 480, 0);
  // A fine pattern, so that the chroma of every 2 x 2 block counts.
  for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
    picture.pixels[i] = static_cast<std::uint8_t>(picture.pixels[i] ^ ((i * 37) & 0x3F));
  }
  const Delivered rgb32 = compose_shown(compositor, picture, false);
  const Delivered nv12 = compose_shown(compositor, picture, true);
  ASSERT_EQ(rgb32.bytes.size(), math::RGB32_FRAME_BYTES);
  ASSERT_EQ(nv12.bytes.size(), math::NV12_FRAME_BYTES);
  EXPECT_EQ(rgb32.buffers, 1u);
  EXPECT_EQ(nv12.buffers, 1u);
  EXPECT_EQ(rgb32.duration, 333333);
  EXPECT_EQ(nv12.duration, 333333);
  // Two black frames would also convert into each other: the picture covers the whole frame,
  // and each of its pixels has a channel of 192 or more.
  std::size_t black = 0;
  for (int y = 0; y < HEIGHT; ++y) {
    for (int x = 0; x < WIDTH; ++x) black += close_to(rgb32.at(x, y), BLACK, 64) ? 1 : 0;
  }
  EXPECT_EQ(black, 0u) << "the camera picture is drawn in the RGB32 frame";
  std::vector<std::uint8_t> expected(math::NV12_FRAME_BYTES);
  math::bgra_to_nv12(rgb32.bytes, ROW, expected.data());
  EXPECT_TRUE(nv12.bytes == expected) << "the NV12 planes are the conversion of the RGB32 bytes";
}

TEST_F(CompositorTest, SampleTimesFollowTheSystemClock) {
  std::optional<Compositor> made = make();
  ASSERT_TRUE(made);
  Compositor& compositor = *made;
  helper_wants(0, "");
  const LONGLONG before = MFGetSystemTime();
  const Delivered first = compose(compositor);
  const LONGLONG between = MFGetSystemTime();
  std::this_thread::sleep_for(150ms);
  const LONGLONG second_before = MFGetSystemTime();
  const Delivered second = compose(compositor, true);
  const LONGLONG after = MFGetSystemTime();
  EXPECT_GE(first.time, before);
  EXPECT_LE(first.time, between);
  EXPECT_GE(second.time, second_before);
  EXPECT_LE(second.time, after);
  // The real time between the requests, not one frame's duration.
  EXPECT_GE(second.time - first.time, 1'500'000);
  EXPECT_EQ(first.duration, 333333);
}

TEST_F(CompositorTest, AFailedFrameLeavesTheCompositorUsable) {
  std::optional<Compositor> made = make();
  ASSERT_TRUE(made);
  Compositor& compositor = *made;
  helper_wants(1, "");
  // Wider than any bitmap Direct2D makes.
  capture::Frame huge{std::vector<std::uint8_t>(std::size_t{1} << 20 << 2, 0x80),
                      capture::Clock::now(), 1u << 20, 1};
  show(compositor, std::move(huge));
  auto failed = compositor.next_sample(false);
  if (failed) GTEST_SKIP() << "this Direct2D draws a bitmap of 1048576 x 1";
  show(compositor, test_picture(640, 480, 0));
  const Delivered frame = compose(compositor);
  EXPECT_TRUE(close_to(frame.at(320, 180), {0, 0, 255, 255}));
}

TEST_F(CompositorTest, DestroyingStopsTheCaptureWithoutWaiting) {
  // The capture thread is held inside the opening of the slot's camera until the gate opens.
  std::promise<void> entered;
  std::promise<void> gate;
  std::shared_future<void> opened = gate.get_future().share();
  file_.state().write_text("", std::vector<std::string>{"", "gated camera"});
  auto made = Compositor::create(
      1, Compositor::Inputs{file_.path(), [&entered, opened](const std::string&) {
                              entered.set_value();
                              opened.wait();
                              return shared::Result<ComRef<IMFMediaSource>>(
                                  std::unexpected(shared::win::hresult_error(E_FAIL)));
                            }});
  ASSERT_TRUE(made.has_value()) << made.error().text();
  std::optional<Compositor> compositor(std::move(*made));
  ASSERT_EQ(entered.get_future().wait_for(3s), std::future_status::ready);

  std::weak_ptr<capture::LatestFrame> slot = compositor->capture().frame();
  compositor.reset();  // would never return if it waited for the thread
  EXPECT_FALSE(slot.expired()) << "the thread is still inside the camera's opening";

  const auto released = std::chrono::steady_clock::now();
  gate.set_value();
  while (!slot.expired() && std::chrono::steady_clock::now() - released < 5s) {
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_TRUE(slot.expired());
  // Once the run returns, the raised flag ends the thread before its first wait.
  EXPECT_LT(std::chrono::steady_clock::now() - released, 400ms);
}

TEST_F(CompositorTest, ASlotNamingAVirtualCameraIsNeverOpened) {
  // The opener records what it is asked to open and opens nothing. Frames keep coming, black
  // behind the badge, for longer than the capture's retry; then a physical camera's link takes
  // the slot, and the first call the opener sees is for that link: the thread kept looking at
  // the slot and never asked for the virtual camera.
  constexpr const char* PHYSICAL = "\\\\?\\USB#VID_1234&PID_5678#5&1f2#0#{e5323777}\\global";
  std::mutex mutex;
  std::vector<std::string> asked;
  const capture::OpenSource opener = [&](const std::string& link) {
    const std::lock_guard<std::mutex> lock(mutex);
    asked.push_back(link);
    return shared::Result<ComRef<IMFMediaSource>>(
        std::unexpected(shared::win::hresult_error(E_FAIL)));
  };
  const auto asked_so_far = [&] {
    const std::lock_guard<std::mutex> lock(mutex);
    return asked;
  };
  helper_wants(1, "");
  file_.state().write_text(
      "", std::vector<std::string>{"", "\\\\?\\SWD#VCAMDEVAPI#{6b0e52a1}\\global"});
  auto made = Compositor::create(1, Compositor::Inputs{file_.path(), opener});
  ASSERT_TRUE(made.has_value()) << made.error().text();
  const badge::Geometry g = brand_geometry();
  const int x = static_cast<int>(g.pill.rect.left + 30.0f);
  const int y = static_cast<int>(g.pill.rect.top + 4.0f);
  Delivered frame;
  const auto compose_one = [&] {
    file_.state().heartbeat_ms.store(shared::unix_ms());
    frame = compose(*made);
    ASSERT_EQ(frame.bytes.size(), math::RGB32_FRAME_BYTES);
    ASSERT_TRUE(close_to(frame.at(WIDTH / 2, HEIGHT / 4), BLACK))
        << describe(frame.at(WIDTH / 2, HEIGHT / 4));
    ASSERT_TRUE(close_to(frame.at(x, y), PILL)) << describe(frame.at(x, y));
    std::this_thread::sleep_for(100ms);
  };

  // Past the capture's second look at the slot text (2 s after its first).
  const auto watched = std::chrono::steady_clock::now() + 2500ms;
  while (std::chrono::steady_clock::now() < watched) ASSERT_NO_FATAL_FAILURE(compose_one());
  save(frame, "virtual_camera_refused");
  EXPECT_EQ(asked_so_far(), std::vector<std::string>{});

  file_.state().write_text("", std::vector<std::string>{"", PHYSICAL});
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (asked_so_far().empty() && std::chrono::steady_clock::now() < deadline) {
    ASSERT_NO_FATAL_FAILURE(compose_one());
  }
  const std::vector<std::string> calls = asked_so_far();
  ASSERT_FALSE(calls.empty()) << "the capture no longer looks at the slot text";
  EXPECT_EQ(calls.front(), PHYSICAL);
}

// Not a check: the frame time under Wine (Direct2D through software OpenGL says little of
// Windows), and beside it the part of next_sample outside Direct2D.
TEST_F(CompositorTest, FrameTimes) {
  constexpr int FRAMES = 30;
  std::optional<Compositor> made = make();
  ASSERT_TRUE(made);
  Compositor& compositor = *made;
  helper_wants(1, "Acme Studio", 0, 0.6f);
  using Ms = std::chrono::duration<double, std::milli>;
  for (bool nv12 : {true, false}) {
    Ms total{};
    for (int i = 0; i < FRAMES; ++i) {
      show(compositor, test_picture(1280, 720, 0));
      const auto start = std::chrono::steady_clock::now();
      auto sample = compositor.next_sample(nv12);
      total += std::chrono::steady_clock::now() - start;
      ASSERT_TRUE(sample.has_value()) << sample.error().text();
    }
    std::printf("[ timing ] next_sample %s: %.2f ms a frame\n", nv12 ? "NV12" : "RGB32",
                total.count() / FRAMES);
  }

  ComRef<IWICImagingFactory> wic;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_PPV_ARGS(wic.put()))));
  ComRef<IWICBitmap> bitmap;
  ASSERT_TRUE(SUCCEEDED(wic->CreateBitmap(math::FRAME_WIDTH, math::FRAME_HEIGHT,
                                          GUID_WICPixelFormat32bppPBGRA, WICBitmapCacheOnLoad,
                                          bitmap.put())));
  for (bool nv12 : {true, false}) {
    Ms total{};
    for (int i = 0; i < FRAMES * 3; ++i) {
      const auto start = std::chrono::steady_clock::now();
      auto sample = compositor::sample_from_bitmap(bitmap.get(), nv12);
      total += std::chrono::steady_clock::now() - start;
      ASSERT_TRUE(sample.has_value()) << sample.error().text();
    }
    std::printf("[ timing ] outside Direct2D (bitmap lock, %s, buffer, sample): %.2f ms a frame\n",
                nv12 ? "NV12 conversion" : "RGB32 row copy", total.count() / (FRAMES * 3));
  }
}

}  // namespace
