// Runs under Wine (or Windows): the capture on real Media Foundation buffers and on the platform's
// source reader over a stand-in camera. No test reaches the device source: Wine has it only as a
// stub that ends the process.
#include <gtest/gtest.h>

#include <windows.h>

#include <mfapi.h>
#include <mferror.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <expected>
#include <functional>
#include <memory>
#include <mutex>
#include <numeric>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "capture_win.hpp"
#include "fake_camera_win.hpp"
#include "state_file_win.hpp"
#include "media_foundation_win.hpp"
#include "win_error.hpp"

namespace {

using namespace std::chrono_literals;
using capture::LatestFrame;
using capture::StopFlag;
using fake_camera::pack;
using fake_camera::Step;
using shared::win::ComRef;

const auto* const media_foundation =
    ::testing::AddGlobalTestEnvironment(new test_mf::MediaFoundation);

// A top-down picture whose every byte tells its row and column apart from the others (mod 251).
std::vector<std::uint8_t> picture(std::uint32_t width, std::uint32_t height, std::uint8_t seed = 0) {
  std::vector<std::uint8_t> bytes(std::size_t{width} * height * 4);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>((i + seed) % 251);
  return bytes;
}

// The same picture with its rows in the opposite order, as bottom-up memory holds it.
std::vector<std::uint8_t> flipped(const std::vector<std::uint8_t>& rows, std::uint32_t width,
                                  std::uint32_t height) {
  const std::size_t row = std::size_t{width} * 4;
  std::vector<std::uint8_t> out(rows.size());
  for (std::size_t r = 0; r < height; ++r) {
    std::memcpy(out.data() + r * row, rows.data() + (height - 1 - r) * row, row);
  }
  return out;
}

TEST(CopyTopDown, RealBuffersComeOutTopDown) {
  constexpr std::uint32_t W = 7;
  constexpr std::uint32_t H = 5;
  constexpr std::int32_t ROW = W * 4;
  const std::vector<std::uint8_t> top_down = picture(W, H);
  const std::vector<std::uint8_t> black(top_down.size(), 0);
  struct Case {
    const char* name;
    Step buffer;
    std::int32_t stride;
    std::uint32_t height;  // as the run believes it
    std::vector<std::uint8_t> expected;
  };
  const Case cases[] = {
      {"2D, top-down memory", Step::frame_2d(W, H, top_down, false), ROW, H, top_down},
      {"2D, negative pitch: the pitch is followed", Step::frame_2d(W, H, top_down, true), ROW, H,
       top_down},
      {"2D, negative pitch and negative stride alike", Step::frame_2d(W, H, top_down, true), -ROW,
       H, top_down},
      {"contiguous, positive stride", Step::frame(W, H, top_down), ROW, H, top_down},
      {"contiguous, negative stride: rows reversed", Step::frame(W, H, flipped(top_down, W, H)),
       -ROW, H, top_down},
      {"contiguous, one byte short: nothing copied",
       Step::frame(W, H, std::vector<std::uint8_t>(top_down.begin(), top_down.end() - 1)), ROW, H,
       black},
      {"2D buffer smaller than the picture believed: nothing copied",
       Step::frame_2d(W, H - 2, std::vector<std::uint8_t>(top_down.begin(), top_down.end() - 2 * ROW),
                      true),
       ROW, H, black},
  };
  for (const Case& c : cases) {
    const ComRef<IMFMediaBuffer> buffer = fake_camera::buffer(c.buffer);
    ASSERT_TRUE(buffer) << c.name;
    std::vector<std::uint8_t> destination(std::size_t{W} * c.height * 4, 0);
    const shared::Result<void> copied =
        capture::copy_top_down(buffer.get(), W, c.height, c.stride, destination);
    ASSERT_TRUE(copied.has_value()) << c.name << ": " << copied.error().text();
    EXPECT_EQ(destination, c.expected) << c.name;
  }
}

// Reads `script` through the platform's source reader over a stand-in camera with `types`.
struct Reading {
  std::shared_ptr<fake_camera::Journal> journal = std::make_shared<fake_camera::Journal>();
  LatestFrame slot;
  StopFlag stop{false};

  shared::Result<void> read(const std::vector<ComRef<IMFMediaType>>& types, std::vector<Step> script) {
    ComRef<IMFMediaSource> camera = fake_camera::create(types, std::move(script), journal);
    if (!camera) return std::unexpected(shared::Error::own("no stand-in camera"));
    shared::Result<void> result = capture::read_source(camera.get(), slot, stop);
    camera->Shutdown();
    return result;
  }
};

ComRef<IMFMediaType> rgb32(std::uint32_t width, std::uint32_t height, std::uint32_t fps,
                           std::optional<std::int32_t> stride) {
  return fake_camera::rgb32_type(pack(width, height), pack(fps, 1), stride);
}

TEST(ReadSource, ChoosesTheNativeTypeAndStoresFramesUntilTheEnd) {
  Reading reading;
  const std::vector<std::uint8_t> first = picture(1280, 720, 1);
  const std::vector<std::uint8_t> second = picture(1280, 720, 2);
  const auto before = capture::Clock::now();
  const shared::Result<void> result = reading.read(
      {rgb32(640, 480, 30, 2560), rgb32(1280, 720, 15, 5120), rgb32(960, 540, 30, 3840)},
      {Step::frame(1280, 720, first), Step::tick(), Step::frame(1280, 720, second), Step::end()});
  ASSERT_TRUE(result.has_value()) << result.error().text();

  // 1280 x 720 at 15 (5000) beats 640 x 480 at 30 (8800) and, listed first, 960 x 540 at 30.
  EXPECT_EQ(reading.journal->started_frame_size, pack(1280, 720));
  ASSERT_TRUE(reading.slot.frame.has_value());
  const capture::Frame& stored = *reading.slot.frame;
  EXPECT_EQ(stored.width, 1280u);
  EXPECT_EQ(stored.height, 720u);
  // The newest frame replaces the first; the tick between them did not end the run.
  EXPECT_TRUE(stored.pixels == second);
  EXPECT_GE(stored.captured, before);
  EXPECT_LT(capture::Clock::now() - stored.captured, 1s);
}

TEST(ReadSource, RowOrderOfContiguousAnd2DBuffers) {
  constexpr std::uint32_t W = 320;
  constexpr std::uint32_t H = 240;
  const std::vector<std::uint8_t> top_down = picture(W, H, 3);
  struct Case {
    const char* name;
    std::optional<std::int32_t> stride;
    Step frame;
  };
  const Case cases[] = {
      {"no default stride: a contiguous picture counts as bottom-up", std::nullopt,
       Step::frame(W, H, flipped(top_down, W, H))},
      {"positive default stride: contiguous rows as they are", W * 4, Step::frame(W, H, top_down)},
      {"negative default stride", -static_cast<std::int32_t>(W * 4),
       Step::frame(W, H, flipped(top_down, W, H))},
      {"2D bottom-up buffer follows its pitch, whatever the stride", W * 4,
       Step::frame_2d(W, H, top_down, true)},
      {"2D buffer without default stride", std::nullopt, Step::frame_2d(W, H, top_down, false)},
  };
  for (const Case& c : cases) {
    Reading reading;
    const shared::Result<void> result =
        reading.read({fake_camera::rgb32_type(pack(W, H), pack(30, 1), c.stride)}, {c.frame, Step::end()});
    ASSERT_TRUE(result.has_value()) << c.name << ": " << result.error().text();
    ASSERT_TRUE(reading.slot.frame.has_value()) << c.name;
    EXPECT_TRUE(reading.slot.frame->pixels == top_down) << c.name;
  }
}

TEST(ReadSource, BuffersThatDoNotHoldThePictureGiveAFreshBlackFrame) {
  constexpr std::uint32_t W = 320;
  constexpr std::uint32_t H = 240;
  const std::vector<std::uint8_t> black(std::size_t{W} * H * 4, 0);
  struct Case {
    const char* name;
    Step frame;
  };
  const Case cases[] = {
      {"contiguous, one row short", Step::frame(W, H - 1, picture(W, H - 1))},
      {"empty buffer", Step::frame(W, H, {})},
      // The reader does not check sizes: a smaller picture than the type says must not be read
      // beyond its buffer.
      {"2D buffer of a smaller picture", Step::frame_2d(160, 120, picture(160, 120), true)},
  };
  for (const Case& c : cases) {
    Reading reading;
    const auto before = capture::Clock::now();
    const shared::Result<void> result =
        reading.read({rgb32(W, H, 30, W * 4)}, {c.frame, Step::end()});
    ASSERT_TRUE(result.has_value()) << c.name << ": " << result.error().text();
    ASSERT_TRUE(reading.slot.frame.has_value()) << c.name;
    EXPECT_EQ(reading.slot.frame->width, W) << c.name;
    EXPECT_TRUE(reading.slot.frame->pixels == black) << c.name;
    EXPECT_GE(reading.slot.frame->captured, before) << c.name;
  }
}

TEST(ReadSource, StopIsSeenAfterTheReadThatReturns) {
  Reading reading;
  Step first = Step::frame(64, 48, picture(64, 48, 5));
  first.delivered = [&] { reading.stop.store(true); };
  // No end in the script: only the stop flag can end this run.
  const shared::Result<void> result = reading.read(
      {rgb32(64, 48, 30, 256)}, {first, Step::frame(64, 48, picture(64, 48, 6)), Step::tick()});
  ASSERT_TRUE(result.has_value()) << result.error().text();
  ASSERT_TRUE(reading.slot.frame.has_value());
  EXPECT_TRUE(reading.slot.frame->pixels == picture(64, 48, 5));
}

TEST(ReadSource, StopRaisedBeforeReadingReadsNothing) {
  Reading reading;
  reading.stop.store(true);
  const shared::Result<void> result = reading.read({rgb32(64, 48, 30, 256)}, {});
  ASSERT_TRUE(result.has_value()) << result.error().text();
  EXPECT_FALSE(reading.slot.frame.has_value());
  EXPECT_EQ(reading.journal->requests, 0);
}

TEST(ReadSource, ATypeWithoutFrameSizeFailsTheRun) {
  Reading reading;
  const shared::Result<void> result = reading.read(
      {fake_camera::rgb32_type(std::nullopt, pack(30, 1), 256)}, {Step::end()});
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(static_cast<std::uint32_t>(result.error().code()),
            static_cast<std::uint32_t>(MF_E_ATTRIBUTENOTFOUND));
}

TEST(Run, ShutsTheCameraDownOnEveryWayOut) {
  struct Case {
    const char* name;
    ComRef<IMFMediaType> type;
    bool ok;
  };
  const Case cases[] = {
      {"end of stream", rgb32(64, 48, 30, 256), true},
      {"type without frame size", fake_camera::rgb32_type(std::nullopt, pack(30, 1), 256), false},
  };
  for (const Case& c : cases) {
    auto journal = std::make_shared<fake_camera::Journal>();
    std::vector<std::string> links;
    LatestFrame slot;
    capture::CameraHold hold;
    const capture::OpenSource open = [&](const std::string& link) -> shared::Result<ComRef<IMFMediaSource>> {
      links.push_back(link);
      return fake_camera::create({c.type}, {Step::frame(64, 48, picture(64, 48)), Step::end()}, journal);
    };
    const shared::Result<void> result =
        capture::run("\\\\?\\usb#vid_1234&pid_5678#cam", slot, hold, open);
    EXPECT_EQ(result.has_value(), c.ok) << c.name;
    EXPECT_EQ(links, std::vector<std::string>{"\\\\?\\usb#vid_1234&pid_5678#cam"}) << c.name;
    EXPECT_GE(journal->shutdowns, 1) << c.name;
  }

  // A camera that does not open returns its error; there is nothing to shut down.
  LatestFrame slot;
  capture::CameraHold hold;
  const shared::Result<void> missing = capture::run("gone", slot, hold, [](const std::string&) {
    return shared::Result<ComRef<IMFMediaSource>>(
        std::unexpected(shared::win::hresult_error(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))));
  });
  ASSERT_FALSE(missing.has_value());
  EXPECT_EQ(static_cast<std::uint32_t>(missing.error().code()), 0x80070002u);

  // Stopped while the camera was opening: it is shut down unread.
  auto journal = std::make_shared<fake_camera::Journal>();
  capture::CameraHold stopped;
  const shared::Result<void> unread = capture::run("late", slot, stopped, [&](const std::string&) {
    stopped.stop();
    return shared::Result<ComRef<IMFMediaSource>>(fake_camera::create(
        {rgb32(64, 48, 30, 256)}, {Step::frame(64, 48, picture(64, 48)), Step::end()}, journal));
  });
  EXPECT_TRUE(unread.has_value());
  EXPECT_EQ(journal->starts, 0);
  EXPECT_EQ(journal->shutdowns, 1);
}

// The capture thread: what it opens, and how soon it ends once the capture is destroyed. The
// thread's end shows as its references to the latest-frame slot going away.
struct Opened {
  std::mutex mutex;
  std::vector<std::string> links;
  std::size_t count() {
    std::lock_guard lock(mutex);
    return links.size();
  }
};

capture::OpenSource recording(std::shared_ptr<Opened> opened, std::function<std::vector<Step>()> script) {
  return [opened, script](const std::string& link) -> shared::Result<ComRef<IMFMediaSource>> {
    {
      std::lock_guard lock(opened->mutex);
      opened->links.push_back(link);
    }
    return fake_camera::create({rgb32(64, 48, 30, 256)}, script(),
                               std::make_shared<fake_camera::Journal>());
  };
}

// Destroys the capture and waits for its thread to let go; returns how long that took.
std::chrono::milliseconds stop_and_wait(std::optional<capture::Capture>& capture) {
  std::weak_ptr<LatestFrame> slot = capture->frame();
  const auto raised = std::chrono::steady_clock::now();
  capture.reset();
  while (!slot.expired() && std::chrono::steady_clock::now() - raised < 5s) {
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_TRUE(slot.expired()) << "the thread did not end";
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - raised);
}

// Stopping takes one 100 ms poll plus the thread's Media Foundation and COM shut-down; Wine's
// scheduling adds some.
constexpr auto STOP_LIMIT = 400ms;

TEST(CaptureThread, WithoutMappingOrLinkNeverOpensACameraAndStopsWithinAPoll) {
  test_state::StateFile file("capture_idle");
  file.state().write_text("Vantorel", std::vector<std::string>{"", "", "", "camera of slot 3"});
  auto mapping = std::make_shared<const shared::StateMapping>(
      std::move(*shared::StateMapping::open_path(file.path(), false)));
  struct Case {
    const char* name;
    std::shared_ptr<const shared::StateMapping> mapping;
    unsigned slot;
  };
  const Case cases[] = {
      {"no mapping", nullptr, 3},
      {"empty slot text", mapping, 0},
      {"slot beyond the texts", mapping, 4},
  };
  for (const Case& c : cases) {
    auto opened = std::make_shared<Opened>();
    std::optional<capture::Capture> capture =
        capture::Capture::start(c.mapping, c.slot,
                                recording(opened, [] { return std::vector<Step>{}; }))
            .value();
    std::this_thread::sleep_for(300ms);
    const auto took = stop_and_wait(capture);
    EXPECT_LT(took, STOP_LIMIT) << c.name;
    EXPECT_EQ(opened->count(), 0u) << c.name;
    std::printf("[ capture ] %s: thread ended %lld ms after the stop\n", c.name,
                static_cast<long long>(took.count()));
  }
}

TEST(CaptureThread, DestroyingEndsAReadThatAStalledCameraNeverAnswers) {
  test_state::StateFile file("capture_stalled");
  file.state().write_text("Vantorel", std::vector<std::string>{"stalled camera"});
  auto mapping = std::make_shared<const shared::StateMapping>(
      std::move(*shared::StateMapping::open_path(file.path(), false)));
  auto journal = std::make_shared<fake_camera::Journal>();
  auto opened = std::make_shared<Opened>();
  // One frame, then nothing: the thread's next read waits on the camera.
  std::optional<capture::Capture> capture =
      capture::Capture::start(
          mapping, 0,
          [opened, journal](const std::string& link) -> shared::Result<ComRef<IMFMediaSource>> {
            {
              std::lock_guard lock(opened->mutex);
              opened->links.push_back(link);
            }
            return fake_camera::create({rgb32(64, 48, 30, 256)},
                                       {Step::frame(64, 48, picture(64, 48, 3))}, journal);
          })
          .value();
  const auto started = std::chrono::steady_clock::now();
  const auto requests = [&] {
    std::lock_guard lock(journal->mutex);
    return journal->requests;
  };
  while (requests() < 2 && std::chrono::steady_clock::now() - started < 3s)
    std::this_thread::sleep_for(5ms);
  ASSERT_GE(requests(), 2) << "the thread never asked for a second frame";
  std::this_thread::sleep_for(200ms);
  {
    std::lock_guard lock(capture->frame()->mutex);
    ASSERT_TRUE(capture->frame()->frame.has_value());
  }

  const auto took = stop_and_wait(capture);
  EXPECT_LT(took, STOP_LIMIT);
  EXPECT_EQ(opened->count(), 1u);
  {
    std::lock_guard lock(journal->mutex);
    EXPECT_GE(journal->shutdowns, 1);
  }
  std::printf("[ capture ] stalled camera: thread ended %lld ms after the stop\n",
              static_cast<long long>(took.count()));
}

TEST(CaptureThread, ReadsTheSlotsCameraAndTriesAgainWithTheLinkReadAfresh) {
  test_state::StateFile file("capture_cycle");
  file.state().write_text("Vantorel", std::vector<std::string>{"", "", "first camera"});
  auto mapping = std::make_shared<const shared::StateMapping>(
      std::move(*shared::StateMapping::open_path(file.path(), false)));
  auto opened = std::make_shared<Opened>();
  std::optional<capture::Capture> capture =
      capture::Capture::start(
          mapping, 2,
          recording(
              opened,
              [] {
                return std::vector<Step>{Step::frame(64, 48, picture(64, 48, 9)), Step::end()};
              }))
          .value();
  mapping.reset();  // the thread keeps its own reference

  const auto started = std::chrono::steady_clock::now();
  while (opened->count() < 1 && std::chrono::steady_clock::now() - started < 3s) std::this_thread::sleep_for(5ms);
  // The camera's frame lands in the slot.
  std::optional<capture::Frame> frame;
  while (!frame && std::chrono::steady_clock::now() - started < 3s) {
    std::this_thread::sleep_for(5ms);
    std::lock_guard lock(capture->frame()->mutex);
    frame = capture->frame()->frame;
  }
  ASSERT_TRUE(frame.has_value());
  EXPECT_TRUE(frame->pixels == picture(64, 48, 9));

  // The helper names another camera; after the end of the stream the thread waits 2 s and opens
  // the new link.
  file.state().write_text("Vantorel", std::vector<std::string>{"", "", "second camera"});
  while (opened->count() < 2 && std::chrono::steady_clock::now() - started < 5s) std::this_thread::sleep_for(5ms);
  const auto retried_after = std::chrono::steady_clock::now() - started;
  EXPECT_GE(retried_after, 1900ms);
  EXPECT_LT(retried_after, 3500ms);
  {
    std::lock_guard lock(opened->mutex);
    EXPECT_EQ(opened->links, (std::vector<std::string>{"first camera", "second camera"}));
  }
  const auto took = stop_and_wait(capture);
  EXPECT_LT(took, STOP_LIMIT);
  std::printf("[ capture ] retried after %lld ms; thread ended %lld ms after the stop\n",
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(retried_after).count()),
              static_cast<long long>(took.count()));
}

}  // namespace
