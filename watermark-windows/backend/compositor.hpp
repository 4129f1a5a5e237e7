#pragma once
// The compositor's decisions without the platform: when the camera picture and the badge are
// drawn, where the picture goes, how the level bars follow the audio level, which label the
// badge shows, and how an RGB32 sample is filled from the composed frame.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "capture.hpp"
#include "math.hpp"
#include "shared_state.hpp"

namespace compositor {

using Clock = capture::Clock;

// The output frame's size as Direct2D and the badge take it.
inline constexpr float FRAME_W = static_cast<float>(math::FRAME_WIDTH);
inline constexpr float FRAME_H = static_cast<float>(math::FRAME_HEIGHT);

// A camera picture this old or older is not drawn.
inline constexpr std::chrono::seconds PICTURE_MAX_AGE{1};

// The meter's start and its constants.
inline constexpr double METER_START_PEAK = 0.2;
inline constexpr double METER_START_LEVEL = 0.0;
// A pause between frames counts at most this long (seconds).
inline constexpr double METER_MAX_STEP = 0.05;

// A duration in seconds, double precision, as the meter and the badge's animation count time.
double seconds(Clock::duration d);

// Where a camera picture of width x height is drawn so that it covers the whole output frame,
// keeping its aspect ratio, centred; what sticks out is cut equally on both sides.
struct Rect {
  float left, top, right, bottom;
  friend bool operator==(const Rect&, const Rect&) = default;
};
Rect cover_rect(std::uint32_t width, std::uint32_t height);

// A picture stored at `captured` is drawn at `now` while it is less than PICTURE_MAX_AGE old.
bool picture_fresh(Clock::time_point captured, Clock::time_point now);

// The helper is alive while its heartbeat is less than HEARTBEAT_TIMEOUT_MS old by the wall
// clock; a heartbeat from the future counts as fresh.
bool heartbeat_fresh(std::uint64_t now_ms, std::uint64_t heartbeat_ms);

// The badge is drawn while the helper asks for it (any non-zero flag) and is alive.
bool badge_wanted(const shared::SharedState& state, std::uint64_t now_ms);

// The badge's label: the title text, or the brand name when the title is empty.
std::string label(std::string title);

// The smoothed level that the badge's bars show: a decaying peak normalises the audio level,
// and the shown level follows fast upwards and slowly downwards.
class Meter {
 public:
  explicit Meter(Clock::time_point created) : last_tick_(created) {}

  // One step at `now` with audio level `audio`; returns the shown level.
  double update(double audio, Clock::time_point now);

  double peak() const { return peak_; }
  double level() const { return level_; }

 private:
  double peak_ = METER_START_PEAK;
  double level_ = METER_START_LEVEL;
  Clock::time_point last_tick_;
};

// Where the shown level heads for the audio level `audio` under the peak `peak`.
double meter_goal(double audio, double peak);

// The composed frame as an RGB32 sample: FRAME_HEIGHT rows of RGB32_ROW_BYTES from `bitmap`
// (rows `stride` bytes apart) into `destination` (RGB32_FRAME_BYTES), top-down. False, with
// nothing written, when a row would lie beyond the bitmap or the destination has another size.
bool copy_rgb32_rows(std::span<const std::uint8_t> bitmap, std::size_t stride,
                     std::span<std::uint8_t> destination);

}  // namespace compositor
