#pragma once
// The camera side of the media source without the platform: the picture the capture thread
// hands to the compositor, the slot it hands it through, which of the camera's native types is
// read, how rows come out top-down, and the thread's cycle of reading the slot text, running
// the camera and waiting.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "shared_state.hpp"

namespace capture {

using Clock = std::chrono::steady_clock;

// One camera picture: top-down BGRA rows of width x 4 bytes, back to back. The fourth byte is
// whatever the camera delivered; nothing reads it as alpha.
struct Frame {
  std::vector<std::uint8_t> pixels;
  Clock::time_point captured;  // when it was stored, after the copy
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// The newest picture of one camera, shared by the capture thread and the compositor. The mutex
// is the innermost lock of the media source: the thread holds it only to swap a picture in, the
// compositor from the age test through drawing; nothing else is locked while it is held.
struct LatestFrame {
  std::mutex mutex;
  std::optional<Frame> frame;

  // Replaces the picture whole; the previous one is released after the lock is let go.
  void store(Frame next);
};

// Raised once when the capture is destroyed, never reset; relaxed, since no data travels with it.
using StopFlag = std::atomic<bool>;

// The thread looks at the stop flag this often while it waits.
inline constexpr std::chrono::milliseconds STOP_POLL{100};
// After a camera run ends, fails or has no link: 20 polls, 2 s, before the next attempt.
inline constexpr int RETRY_POLLS = 20;

// What a native media type tells about size and rate: MF_MT_FRAME_SIZE (width in the high 32
// bits) and MF_MT_FRAME_RATE (numerator in the high 32 bits), 0 when the type lacks them.
struct NativeType {
  std::uint64_t frame_size = 0;
  std::uint64_t frame_rate = 0;
};

// Lower is better: 10 per pixel of width and height away from the output frame, and 5000 for
// fewer than 29.5 frames per second (or no rate at all).
std::uint64_t score(const NativeType& type);

// Index of the lowest score, the first of equal ones; none for an empty list.
std::optional<std::size_t> best_type(std::span<const NativeType> types);

// Bytes of a width x height picture at 4 bytes a pixel; none when it does not fit in 32 bits
// (no camera delivers such a picture, and the count must not wrap).
std::optional<std::size_t> frame_bytes(std::uint32_t width, std::uint32_t height);

// A packed picture (rows of width x 4 bytes back to back) into the top-down destination of
// frame_bytes(width, height) bytes: with a negative stride the source rows are taken bottom-up.
// Only the stride's sign counts. Copies nothing, leaving the destination as it is, when the
// source is shorter than the destination or the destination has the wrong size.
void copy_packed(std::span<const std::uint8_t> source, std::uint32_t width, std::uint32_t height,
                 std::int32_t stride, std::span<std::uint8_t> destination);

// A picture in a locked 2D buffer: `buffer` is all of its memory, the top row starts at offset
// `top_row` and each next row `pitch` bytes further (negative for bottom-up memory). Copies
// nothing when a row would lie outside the buffer or the destination has the wrong size.
void copy_pitched(std::span<const std::uint8_t> buffer, std::size_t top_row, std::int64_t pitch,
                  std::uint32_t width, std::uint32_t height, std::span<std::uint8_t> destination);

// The capture thread between its platform start-up and shut-down. Without a record it only
// waits for the stop flag. With one it reads slot text `slot` before every attempt, calls `run`
// with it when it is neither empty nor a virtual camera's link, then waits RETRY_POLLS polls;
// the stop flag ends it before any poll and after the last. `sleep` waits one poll (tests count
// instead).
void serve(const shared::SharedState* state, unsigned slot, const StopFlag& stop,
           const std::function<void(const std::string& link)>& run,
           const std::function<void(std::chrono::milliseconds)>& sleep);

}  // namespace capture
