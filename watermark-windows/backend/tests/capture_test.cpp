#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <numeric>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "capture.hpp"
#include "shared_state.hpp"

namespace {

using capture::NativeType;

constexpr std::uint64_t pack(std::uint32_t high, std::uint32_t low) {
  return (std::uint64_t{high} << 32) | low;
}

NativeType type(std::uint32_t width, std::uint32_t height, std::uint32_t numerator,
                std::uint32_t denominator = 1) {
  return {pack(width, height), pack(numerator, denominator)};
}

TEST(NativeTypeScore, DistanceFromTheOutputFrameAndSlowRates) {
  struct Case {
    const char* name;
    NativeType type;
    std::uint64_t score;
  };
  const Case cases[] = {
      {"640x480 at 30", type(640, 480, 30), 8800},
      {"1280x720 at 15", type(1280, 720, 15), 5000},
      {"1024x576 at 30", type(1024, 576, 30), 4000},
      {"960x540 at 30", type(960, 540, 30), 5000},
      {"1920x1080 at 30", type(1920, 1080, 30), 10000},
      {"1280x720 at 30", type(1280, 720, 30), 0},
      {"29.97 is not slow", type(1280, 720, 30000, 1001), 0},
      {"29 is slow", type(1280, 720, 29), 5000},
      {"29.5 is not slow", type(1280, 720, 59, 2), 0},
      {"denominator 0 counts as 1", type(1280, 720, 30, 0), 0},
      {"no rate", {pack(1280, 720), 0}, 5000},
      {"no frame size", {0, pack(30, 1)}, 20000},
      {"neither", {0, 0}, 25000},
      {"far larger than the frame", type(0xFFFFFFFF, 0xFFFFFFFF, 60),
       (std::uint64_t{0xFFFFFFFF - 1280} + (0xFFFFFFFF - 720)) * 10},
  };
  for (const Case& c : cases) EXPECT_EQ(capture::score(c.type), c.score) << c.name;
}

TEST(NativeTypeChoice, LowestScoreFirstAmongEquals) {
  struct Case {
    const char* name;
    std::vector<NativeType> types;
    std::optional<std::size_t> chosen;
  };
  const Case cases[] = {
      {"720p at 15 beats 480p at 30", {type(640, 480, 30), type(1280, 720, 15)}, 1},
      {"1024x576 at 30 beats both",
       {type(640, 480, 30), type(1280, 720, 15), type(1024, 576, 30)}, 2},
      {"equal scores keep the first", {type(960, 540, 30), type(1280, 720, 15)}, 0},
      {"equal scores keep the first, other order", {type(1280, 720, 15), type(960, 540, 30)}, 0},
      {"1080p loses to 720p", {type(1920, 1080, 30), type(1280, 720, 30)}, 1},
      {"a type without size still counts", {{0, 0}}, 0},
      {"no native types", {}, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(capture::best_type(c.types), c.chosen) << c.name;
}

TEST(FrameBytes, FourBytesAPixelWithinThirtyTwoBits) {
  EXPECT_EQ(capture::frame_bytes(1280, 720), 3686400u);
  EXPECT_EQ(capture::frame_bytes(0, 720), 0u);
  EXPECT_EQ(capture::frame_bytes(32768, 32767), 4294836224u);
  // These would wrap to small counts in 32 bits.
  EXPECT_EQ(capture::frame_bytes(65536, 16384), std::nullopt);
  EXPECT_EQ(capture::frame_bytes(0xFFFFFFFF, 0xFFFFFFFF), std::nullopt);
}

// A picture of 3 x 2 pixels whose bytes count up from 1, so every byte tells where it came from.
constexpr std::uint32_t W = 3;
constexpr std::uint32_t H = 2;
constexpr std::size_t ROW = W * 4;

std::vector<std::uint8_t> counting(std::size_t size, std::uint8_t first = 1) {
  std::vector<std::uint8_t> bytes(size);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

std::vector<std::uint8_t> rows(const std::vector<std::uint8_t>& source,
                               std::initializer_list<std::size_t> offsets) {
  std::vector<std::uint8_t> out;
  for (std::size_t offset : offsets) {
    out.insert(out.end(), source.begin() + offset, source.begin() + offset + ROW);
  }
  return out;
}

TEST(CopyPacked, RowOrderFollowsTheStridesSign) {
  const std::vector<std::uint8_t> source = counting(ROW * H);
  const std::vector<std::uint8_t> untouched(ROW * H, 0);
  struct Case {
    const char* name;
    std::size_t source_size;
    std::int32_t stride;
    std::size_t destination_size;
    std::vector<std::uint8_t> expected;
  };
  const Case cases[] = {
      {"positive stride: rows as they are", ROW * H, static_cast<std::int32_t>(ROW), ROW * H,
       source},
      {"zero stride counts as top-down", ROW * H, 0, ROW * H, source},
      {"negative stride: rows reversed", ROW * H, -static_cast<std::int32_t>(ROW), ROW * H,
       rows(source, {ROW, 0})},
      {"only the sign counts", ROW * H, -1, ROW * H, rows(source, {ROW, 0})},
      {"short source copies nothing", ROW * H - 1, static_cast<std::int32_t>(ROW), ROW * H,
       untouched},
      {"short source bottom-up copies nothing", ROW * H - 1, -static_cast<std::int32_t>(ROW),
       ROW * H, untouched},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> destination(c.destination_size, 0);
    capture::copy_packed(std::span(source).first(c.source_size), W, H, c.stride, destination);
    EXPECT_EQ(destination, c.expected) << c.name;
  }
}

TEST(CopyPacked, LongerSourceAndMisfitDestinations) {
  const std::vector<std::uint8_t> source = counting(ROW * H + 40);
  std::vector<std::uint8_t> destination(ROW * H, 0);
  capture::copy_packed(source, W, H, -1, destination);
  EXPECT_EQ(destination, rows(source, {ROW, 0})) << "extra source bytes are left behind";

  // A destination of the wrong size is not written at all, however large the source.
  std::vector<std::uint8_t> small(ROW * H - 4, 0);
  capture::copy_packed(source, W, H, 1, small);
  EXPECT_EQ(small, std::vector<std::uint8_t>(ROW * H - 4, 0));
  std::vector<std::uint8_t> empty;
  capture::copy_packed(source, W, 0, 1, empty);
  capture::copy_packed(source, 0, H, 1, empty);
}

TEST(CopyPitched, FollowsThePitchAndStaysInsideTheBuffer) {
  constexpr std::size_t PITCH = ROW + 4;  // 4 padding bytes a row
  const std::vector<std::uint8_t> buffer = counting(PITCH * H);
  const std::vector<std::uint8_t> untouched(ROW * H, 0);
  struct Case {
    const char* name;
    std::size_t buffer_size;
    std::size_t top_row;
    std::int64_t pitch;
    std::vector<std::uint8_t> expected;
  };
  const Case cases[] = {
      {"positive pitch skips the padding", PITCH * H, 0, PITCH, rows(buffer, {0, PITCH})},
      {"negative pitch: the top row is last in memory", PITCH * H, PITCH, -std::int64_t{PITCH},
       rows(buffer, {PITCH, 0})},
      {"last row's padding may be missing", PITCH * H - 4, 0, PITCH, rows(buffer, {0, PITCH})},
      {"last row cut short", PITCH * H - 5, 0, PITCH, untouched},
      {"top row beyond the end", PITCH * H, PITCH * H, PITCH, untouched},
      {"negative pitch reaching before the start", PITCH * H, PITCH - 1, -std::int64_t{PITCH},
       untouched},
      {"negative pitch leaving the top row cut short", PITCH * H - 5, PITCH,
       -std::int64_t{PITCH}, untouched},
      {"empty buffer", 0, 0, PITCH, untouched},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> destination(ROW * H, 0);
    capture::copy_pitched(std::span(buffer).first(c.buffer_size), c.top_row, c.pitch, W, H,
                          destination);
    EXPECT_EQ(destination, c.expected) << c.name;
  }
}

// Runs the capture cycle with a clock of counted polls: `on_poll` sees each poll's number and
// may raise the stop flag or change the record; it stops everything after `limit` polls.
struct Cycle {
  capture::StopFlag stop{false};
  std::vector<std::string> runs;           // the links, in order
  std::vector<std::size_t> polls_at_run;   // polls done before each run
  std::size_t polls = 0;
  std::function<void(std::size_t poll)> on_poll = [](std::size_t) {};
  std::function<void()> on_run = [] {};

  void serve(const shared::SharedState* state, unsigned slot, std::size_t limit) {
    capture::serve(
        state, slot, stop,
        [&](const std::string& link) {
          runs.push_back(link);
          polls_at_run.push_back(polls);
          on_run();
        },
        [&](std::chrono::milliseconds wait) {
          EXPECT_EQ(wait, capture::STOP_POLL);
          ASSERT_FALSE(stop.load()) << "polled after the stop";
          ++polls;
          on_poll(polls);
          if (polls >= limit) stop.store(true);
        });
  }
};

std::unique_ptr<shared::SharedState> record(std::vector<std::string> slots) {
  auto state = std::make_unique<shared::SharedState>();
  state->write_text("Vantorel", slots);
  return state;
}

TEST(CaptureCycle, WithoutRecordOnlyWaitsForTheStop) {
  Cycle cycle;
  cycle.serve(nullptr, 0, 37);
  EXPECT_EQ(cycle.polls, 37u);
  EXPECT_TRUE(cycle.runs.empty());
}

TEST(CaptureCycle, StopRaisedBeforeTheStartEndsAtOnce) {
  const auto state = record({"link"});
  const shared::SharedState* records[] = {nullptr, state.get()};
  for (const shared::SharedState* s : records) {
    Cycle cycle;
    cycle.stop.store(true);
    cycle.serve(s, 0, 100);
    EXPECT_EQ(cycle.polls, 0u);
    EXPECT_TRUE(cycle.runs.empty());
  }
}

TEST(CaptureCycle, NoLinkMeansNoCameraLookedAtAgainEveryTwoSeconds) {
  const auto state = record({"", "other camera"});
  struct Case {
    const char* name;
    unsigned slot;
  };
  for (const Case& c : {Case{"empty slot text", 0}, Case{"slot beyond the list", 4}}) {
    Cycle cycle;
    // The camera of slot 0 appears after the second cycle.
    cycle.on_poll = [&](std::size_t poll) {
      if (poll == 2 * capture::RETRY_POLLS) state->write_text("Vantorel", std::vector<std::string>{"late camera"});
    };
    cycle.serve(state.get(), c.slot, 3 * capture::RETRY_POLLS + 5);
    if (c.slot == 0) {
      EXPECT_EQ(cycle.runs, (std::vector<std::string>{"late camera", "late camera"})) << c.name;
      EXPECT_EQ(cycle.polls_at_run,
                (std::vector<std::size_t>{2 * capture::RETRY_POLLS, 3 * capture::RETRY_POLLS}))
          << c.name;
    } else {
      EXPECT_TRUE(cycle.runs.empty()) << c.name;
    }
    state->write_text("Vantorel", std::vector<std::string>{"", "other camera"});
  }
}

TEST(CaptureCycle, AVirtualCameraLinkCountsAsNoLink) {
  // Any local process may write the slot texts; a virtual camera there is never opened, in any
  // letter case, and the slot is looked at again every two seconds like an empty one.
  const auto state = record({"\\\\?\\SWD#VCamDevApi#{6b0e52a1}\\global"});
  Cycle cycle;
  cycle.on_poll = [&](std::size_t poll) {
    if (poll == capture::RETRY_POLLS) {
      state->write_text("Vantorel", std::vector<std::string>{"\\\\?\\swd#vcamdevapi#{2}"});
    }
    if (poll == 2 * capture::RETRY_POLLS) {
      state->write_text("Vantorel", std::vector<std::string>{"\\\\?\\usb#vid_1#physical"});
    }
  };
  cycle.serve(state.get(), 0, 3 * capture::RETRY_POLLS + 3);
  EXPECT_EQ(cycle.runs,
            (std::vector<std::string>{"\\\\?\\usb#vid_1#physical", "\\\\?\\usb#vid_1#physical"}));
  EXPECT_EQ(cycle.polls_at_run,
            (std::vector<std::size_t>{2 * capture::RETRY_POLLS, 3 * capture::RETRY_POLLS}));
}

TEST(CaptureCycle, RunsTheLinkReadAfreshBeforeEveryAttempt) {
  const auto state = record({"", "first camera"});
  Cycle cycle;
  cycle.on_poll = [&](std::size_t poll) {
    if (poll == 5) state->write_text("Vantorel", std::vector<std::string>{"", "second camera"});
  };
  cycle.serve(state.get(), 1, 2 * capture::RETRY_POLLS + 3);
  EXPECT_EQ(cycle.runs, (std::vector<std::string>{"first camera", "second camera", "second camera"}));
  EXPECT_EQ(cycle.polls_at_run,
            (std::vector<std::size_t>{0, capture::RETRY_POLLS, 2 * capture::RETRY_POLLS}));
}

TEST(CaptureCycle, StopSeenDuringARunEndsWithoutWaiting) {
  const auto state = record({"camera"});
  Cycle cycle;
  cycle.on_run = [&] { cycle.stop.store(true); };
  cycle.serve(state.get(), 0, 100);
  EXPECT_EQ(cycle.runs.size(), 1u);
  EXPECT_EQ(cycle.polls, 0u);
}

TEST(CaptureCycle, StopDuringTheWaitEndsAtTheNextPoll) {
  const auto state = record({"camera"});
  Cycle cycle;
  cycle.serve(state.get(), 0, 7);
  EXPECT_EQ(cycle.runs.size(), 1u);
  EXPECT_EQ(cycle.polls, 7u);
}

}  // namespace
