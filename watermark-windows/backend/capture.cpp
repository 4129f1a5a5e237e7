#include "capture.hpp"

#include <cstring>
#include <limits>
#include <utility>

#include "lib.hpp"
#include "math.hpp"

namespace capture {

namespace {

constexpr std::uint64_t SCORE_PER_PIXEL = 10;
constexpr std::uint64_t SLOW_RATE_PENALTY = 5000;
constexpr double MIN_FRAMES_PER_SECOND = 30.0;
// 29.97 (the NTSC rate) still counts as 30.
constexpr double RATE_TOLERANCE = 0.5;
constexpr std::size_t BYTES_PER_PIXEL = 4;

std::uint32_t high_half(std::uint64_t packed) { return static_cast<std::uint32_t>(packed >> 32); }
std::uint32_t low_half(std::uint64_t packed) { return static_cast<std::uint32_t>(packed); }

std::uint64_t distance(std::uint32_t value, std::uint32_t target) {
  return value > target ? value - target : target - value;
}

}  // namespace

void LatestFrame::store(Frame next) {
  std::optional<Frame> previous;
  {
    std::lock_guard lock(mutex);
    previous = std::exchange(frame, std::move(next));
  }
  // `previous` and its pixels are freed here, outside the lock.
}

std::uint64_t score(const NativeType& type) {
  const std::uint64_t size_score =
      (distance(high_half(type.frame_size), math::FRAME_WIDTH) +
       distance(low_half(type.frame_size), math::FRAME_HEIGHT)) *
      SCORE_PER_PIXEL;
  const std::uint32_t denominator = low_half(type.frame_rate);
  const double frames_per_second =
      static_cast<double>(high_half(type.frame_rate)) / (denominator > 1 ? denominator : 1);
  const bool slow = frames_per_second + RATE_TOLERANCE < MIN_FRAMES_PER_SECOND;
  return size_score + (slow ? SLOW_RATE_PENALTY : 0);
}

std::optional<std::size_t> best_type(std::span<const NativeType> types) {
  std::optional<std::size_t> best;
  std::uint64_t best_score = 0;
  for (std::size_t i = 0; i < types.size(); ++i) {
    const std::uint64_t s = score(types[i]);
    if (!best || s < best_score) {
      best = i;
      best_score = s;
    }
  }
  return best;
}

std::optional<std::size_t> frame_bytes(std::uint32_t width, std::uint32_t height) {
  const std::uint64_t bytes = std::uint64_t{width} * height * BYTES_PER_PIXEL;
  if (bytes > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  return static_cast<std::size_t>(bytes);
}

void copy_packed(std::span<const std::uint8_t> source, std::uint32_t width, std::uint32_t height,
                 std::int32_t stride, std::span<std::uint8_t> destination) {
  const std::optional<std::size_t> bytes = frame_bytes(width, height);
  if (!bytes || *bytes == 0 || destination.size() != *bytes || source.size() < *bytes) return;
  const std::size_t row = std::size_t{width} * BYTES_PER_PIXEL;
  for (std::size_t r = 0; r < height; ++r) {
    const std::size_t from = stride >= 0 ? r : height - 1 - r;
    std::memcpy(destination.data() + r * row, source.data() + from * row, row);
  }
}

void copy_pitched(std::span<const std::uint8_t> buffer, std::size_t top_row, std::int64_t pitch,
                  std::uint32_t width, std::uint32_t height, std::span<std::uint8_t> destination) {
  const std::optional<std::size_t> bytes = frame_bytes(width, height);
  if (!bytes || *bytes == 0 || destination.size() != *bytes) return;
  const std::int64_t row = std::int64_t{width} * BYTES_PER_PIXEL;
  const std::int64_t length = static_cast<std::int64_t>(buffer.size());
  const std::int64_t first = static_cast<std::int64_t>(top_row);
  const std::int64_t last = first + (std::int64_t{height} - 1) * pitch;
  // Rows start evenly spaced, so the first and the last are the extremes.
  for (const std::int64_t start : {first, last}) {
    if (start < 0 || start > length || length - start < row) return;
  }
  for (std::int64_t r = 0; r < height; ++r) {
    std::memcpy(destination.data() + r * row, buffer.data() + first + r * pitch,
                static_cast<std::size_t>(row));
  }
}

void serve(const shared::SharedState* state, unsigned slot, const StopFlag& stop,
           const std::function<void(const std::string& link)>& run,
           const std::function<void(std::chrono::milliseconds)>& sleep) {
  const auto stopped = [&] { return stop.load(std::memory_order_relaxed); };
  if (stopped()) return;
  if (state == nullptr) {
    // Without the shared record there is no camera to open: only wait to be stopped.
    while (!stopped()) sleep(STOP_POLL);
    return;
  }
  for (;;) {
    const shared::Texts texts = state->read_text();
    // A virtual camera counts as no link: the slot texts are writable by any local process, and
    // a camera served by the frame server would feed on itself.
    if (slot < texts.slots.size() && !texts.slots[slot].empty() &&
        !shared::is_virtual_camera(texts.slots[slot])) {
      run(texts.slots[slot]);
    }
    for (int poll = 0; poll < RETRY_POLLS && !stopped(); ++poll) sleep(STOP_POLL);
    if (stopped()) return;
  }
}

}  // namespace capture
