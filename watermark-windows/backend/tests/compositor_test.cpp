#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "compositor.hpp"
#include "math.hpp"
#include "shared_state.hpp"

namespace {

using namespace std::chrono_literals;
using compositor::Clock;
using compositor::Meter;

TEST(CoverRect, FillsTheFrameKeepingTheAspectCentred) {
  struct Case {
    std::uint32_t width, height;
    compositor::Rect expected;
  };
  const Case cases[] = {
      // Scale 2: 60 camera rows fall off above and below.
      {640, 480, {0.0f, -120.0f, 1280.0f, 840.0f}},
      // Scale 2/3: exactly the frame.
      {1920, 1080, {0.0f, 0.0f, 1280.0f, 720.0f}},
      // Portrait: scale 1280/720, a horizontal strip of the middle shows.
      {720, 1280, {0.0f, -777.7778f, 1280.0f, 1497.7778f}},
      {1280, 720, {0.0f, 0.0f, 1280.0f, 720.0f}},
      // Wider than the frame: cut left and right.
      {1440, 720, {-80.0f, 0.0f, 1360.0f, 720.0f}},
  };
  for (const Case& c : cases) {
    const compositor::Rect r = compositor::cover_rect(c.width, c.height);
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    EXPECT_NEAR(r.left, c.expected.left, 1e-3);
    EXPECT_NEAR(r.top, c.expected.top, 1e-3);
    EXPECT_NEAR(r.right, c.expected.right, 1e-3);
    EXPECT_NEAR(r.bottom, c.expected.bottom, 1e-3);
  }
}

TEST(PictureAge, YoungerThanOneSecondIsDrawn) {
  const Clock::time_point now = Clock::now();
  EXPECT_TRUE(compositor::picture_fresh(now, now));
  EXPECT_TRUE(compositor::picture_fresh(now - 999ms, now));
  EXPECT_TRUE(compositor::picture_fresh(now - 1s + 1ns, now));
  EXPECT_FALSE(compositor::picture_fresh(now - 1000ms, now));
  EXPECT_FALSE(compositor::picture_fresh(now - 5s, now));
}

TEST(Heartbeat, FreshBelowFiveSecondsAndFromTheFuture) {
  constexpr std::uint64_t NOW = 1'700'000'000'000;
  struct Case {
    std::uint64_t heartbeat;
    bool fresh;
  };
  const Case cases[] = {
      {NOW, true},
      {NOW - 4999, true},
      {NOW - 4992, true},
      {NOW - 5000, false},
      {NOW - 5007, false},
      {NOW - 60'000, false},
      {NOW + 1000, true},
      {std::numeric_limits<std::uint64_t>::max(), true},
      {0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(compositor::heartbeat_fresh(NOW, c.heartbeat), c.fresh) << NOW - c.heartbeat;
  }
}

TEST(BadgeWanted, AnyNonZeroFlagWhileTheHelperIsAlive) {
  constexpr std::uint64_t NOW = 1'700'000'000'000;
  struct Case {
    std::uint32_t flag;
    std::uint64_t heartbeat;
    bool wanted;
  };
  const Case cases[] = {
      {1, NOW - 100, true},
      {2, NOW - 100, true},
      {0xFFFFFFFF, NOW, true},
      {0, NOW - 100, false},
      {1, NOW - 5000, false},
      {1, NOW + 1000, true},
  };
  auto state = std::make_unique<shared::SharedState>();
  for (const Case& c : cases) {
    state->badge_on.store(c.flag);
    state->heartbeat_ms.store(c.heartbeat);
    EXPECT_EQ(compositor::badge_wanted(*state, NOW), c.wanted) << c.flag << " " << NOW - c.heartbeat;
  }
}

TEST(Label, TheTitleOrTheBrandName) {
  EXPECT_EQ(compositor::label(""), "Vantorel");
  EXPECT_EQ(compositor::label("Acme"), "Acme");
  EXPECT_EQ(compositor::label(" "), " ");
  EXPECT_EQ(compositor::label("vantorel"), "vantorel");
}

TEST(MeterGoal, NormalisedByThePeakWithAFloor) {
  EXPECT_NEAR(compositor::meter_goal(0.05, 0.2), 0.4475, 1e-4);
  EXPECT_NEAR(compositor::meter_goal(0.05, 0.14), 0.5504, 1e-4);
  EXPECT_NEAR(compositor::meter_goal(0.05, 0.05), 0.5504, 1e-4);
  EXPECT_DOUBLE_EQ(compositor::meter_goal(0.3, 0.2), 1.0);
  EXPECT_DOUBLE_EQ(compositor::meter_goal(0.0, 0.2), 0.0);
  EXPECT_DOUBLE_EQ(compositor::meter_goal(-0.5, 0.2), 0.0);
}

constexpr auto FRAME = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / 30));

TEST(Meter, SteadyQuietLevelSettlesAtItsNormalisedGoal) {
  Clock::time_point t = Clock::now();
  Meter meter(t);
  EXPECT_DOUBLE_EQ(meter.peak(), 0.2);
  EXPECT_DOUBLE_EQ(meter.level(), 0.0);
  EXPECT_NEAR(compositor::meter_goal(0.05, meter.peak()), 0.4475, 1e-4);

  double previous = 0.0;
  int frames_to_floor = 0;
  for (int i = 1; i <= 90; ++i) {
    t += FRAME;
    const double shown = meter.update(0.05, t);
    EXPECT_EQ(shown, meter.level());
    EXPECT_GE(shown, previous) << "the level only rises towards its goal, frame " << i;
    previous = shown;
    if (frames_to_floor == 0 && meter.peak() <= 0.14) frames_to_floor = i;
  }
  // 0.2 decays to 0.14 after about 0.2 s of updates; from then on the goal is 0.5504.
  EXPECT_EQ(frames_to_floor, 6);
  EXPECT_NEAR(meter.level(), 0.5504, 1e-4);
  // After 3 s the peak has decayed all the way to the level itself.
  EXPECT_DOUBLE_EQ(meter.peak(), 0.05);
}

TEST(Meter, LoudLevelDrivesTheBarsTowardsFull) {
  Clock::time_point t = Clock::now();
  Meter meter(t);
  for (int i = 0; i < 60; ++i) meter.update(0.3, t += FRAME);
  EXPECT_NEAR(meter.level(), 1.0, 1e-6);
}

TEST(Meter, APauseCountsOneShortStep) {
  const Clock::time_point t0 = Clock::now();
  Meter after_pause(t0);
  Meter after_step(t0);
  after_pause.update(1.0, t0 + 2s);
  after_step.update(1.0, t0 + 50ms);
  EXPECT_DOUBLE_EQ(after_pause.level(), after_step.level());
  EXPECT_NEAR(after_pause.level(), 1.0 - std::exp(-0.05 / 0.04), 1e-12);

  // The peak also decays by one capped step only.
  Meter quiet(t0);
  quiet.update(0.0, t0 + 10s);
  EXPECT_NEAR(quiet.peak(), 0.2 * std::exp(-0.05 / 0.55), 1e-12);
}

TEST(Meter, SilenceFallsWithTheSlowTimeConstant) {
  Clock::time_point t = Clock::now();
  Meter meter(t);
  for (int i = 0; i < 30; ++i) meter.update(0.5, t += FRAME);
  const double loud = meter.level();
  ASSERT_GT(loud, 0.99);
  meter.update(0.0, t += FRAME);
  const double dt = std::chrono::duration<double>(FRAME).count();
  EXPECT_NEAR(meter.level(), loud * std::exp(-dt / 0.12), 1e-12);
}

TEST(Meter, ALevelThatIsNotANumberCountsAsSilence) {
  for (double bad : {std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity()}) {
    Clock::time_point t = Clock::now();
    Meter meter(t);
    meter.update(bad, t += FRAME);
    EXPECT_TRUE(std::isfinite(meter.peak()));
    EXPECT_DOUBLE_EQ(meter.level(), 0.0);
    // The meter goes on working once the level is sane again.
    for (int i = 0; i < 60; ++i) meter.update(0.3, t += FRAME);
    EXPECT_NEAR(meter.level(), 1.0, 1e-6);
  }
}

TEST(Rgb32Rows, TopDownRowsOfTheBitmap) {
  constexpr std::size_t ROW = math::RGB32_ROW_BYTES;
  constexpr std::size_t ROWS = math::FRAME_HEIGHT;
  struct Case {
    const char* name;
    std::size_t stride;
    std::size_t bitmap_size;
    bool copied;
  };
  const Case cases[] = {
      {"packed", ROW, ROW * ROWS, true},
      {"padded rows", ROW + 64, (ROW + 64) * ROWS, true},
      {"padding of the last row missing", ROW + 64, (ROW + 64) * (ROWS - 1) + ROW, true},
      {"last row one byte short", ROW + 64, (ROW + 64) * (ROWS - 1) + ROW - 1, false},
      {"packed, one byte short", ROW, ROW * ROWS - 1, false},
      {"huge stride", std::numeric_limits<std::size_t>::max() / 2, ROW * ROWS, false},
      {"empty bitmap", ROW, 0, false},
  };
  for (const Case& c : cases) {
    // Each row of the bitmap carries its own number in every byte; padding is 0xEE.
    std::vector<std::uint8_t> bitmap(c.bitmap_size, 0xEE);
    for (std::size_t r = 0; r < ROWS && c.stride <= c.bitmap_size; ++r) {
      for (std::size_t i = 0; i < ROW && r * c.stride + i < bitmap.size(); ++i) {
        bitmap[r * c.stride + i] = static_cast<std::uint8_t>(r);
      }
    }
    std::vector<std::uint8_t> out(math::RGB32_FRAME_BYTES, 0x55);
    EXPECT_EQ(compositor::copy_rgb32_rows(bitmap, c.stride, out), c.copied) << c.name;
    if (c.copied) {
      for (std::size_t r = 0; r < ROWS; ++r) {
        ASSERT_EQ(out[r * ROW], static_cast<std::uint8_t>(r)) << c.name << " row " << r;
        ASSERT_EQ(out[r * ROW + ROW - 1], static_cast<std::uint8_t>(r)) << c.name << " row " << r;
      }
    } else {
      EXPECT_EQ(out, std::vector<std::uint8_t>(math::RGB32_FRAME_BYTES, 0x55)) << c.name;
    }
  }
  std::vector<std::uint8_t> bitmap(ROW * ROWS);
  std::vector<std::uint8_t> short_out(math::RGB32_FRAME_BYTES - 1);
  EXPECT_FALSE(compositor::copy_rgb32_rows(bitmap, ROW, short_out));
}

}  // namespace
