#include "compositor.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "badge.hpp"
#include "math.hpp"

namespace compositor {

namespace {

// The peak decays with this time constant (seconds) while the level stays below it, and never
// counts as less than the floor, so that near silence is not blown up to a full meter.
constexpr double PEAK_DECAY = 0.55;
constexpr double PEAK_FLOOR = 0.14;
// Lifts quiet levels so that speech moves the bars visibly.
constexpr double GOAL_EXPONENT = 0.58;
// The shown level rises with the first time constant and falls with the second (seconds).
constexpr double RISE_TIME = 0.04;
constexpr double FALL_TIME = 0.12;

}  // namespace

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

Rect cover_rect(std::uint32_t width, std::uint32_t height) {
  const float w = static_cast<float>(width);
  const float h = static_cast<float>(height);
  const float scale = std::max(FRAME_W / w, FRAME_H / h);
  const float drawn_w = w * scale;
  const float drawn_h = h * scale;
  const float left = (FRAME_W - drawn_w) * 0.5f;
  const float top = (FRAME_H - drawn_h) * 0.5f;
  return {left, top, left + drawn_w, top + drawn_h};
}

bool picture_fresh(Clock::time_point captured, Clock::time_point now) {
  return now - captured < PICTURE_MAX_AGE;
}

bool heartbeat_fresh(std::uint64_t now_ms, std::uint64_t heartbeat_ms) {
  const std::uint64_t age = now_ms > heartbeat_ms ? now_ms - heartbeat_ms : 0;
  return age < shared::HEARTBEAT_TIMEOUT_MS;
}

bool badge_wanted(const shared::SharedState& state, std::uint64_t now_ms) {
  return heartbeat_fresh(now_ms, state.heartbeat_ms.load(std::memory_order_relaxed)) &&
         state.badge_on.load(std::memory_order_relaxed) != 0;
}

std::string label(std::string title) {
  if (title.empty()) return std::string(badge::BRAND_NAME);
  return title;
}

double meter_goal(double audio, double peak) {
  const double x = std::clamp(audio / std::max(peak, PEAK_FLOOR), 0.0, 1.0);
  return std::pow(x, GOAL_EXPONENT);
}

double Meter::update(double audio, Clock::time_point now) {
  // Any bits may stand in the shared record: a level that is not a number (or infinite) would
  // stick in the peak for the compositor's whole life, so it counts as silence.
  if (!std::isfinite(audio)) audio = 0.0;
  const double dt = std::min(seconds(now - last_tick_), METER_MAX_STEP);
  last_tick_ = now;
  peak_ = std::max(audio, peak_ * std::exp(dt / -PEAK_DECAY));
  const double goal = meter_goal(audio, peak_);
  const double tau = goal > level_ ? RISE_TIME : FALL_TIME;
  level_ += (goal - level_) * (1.0 - std::exp(-dt / tau));
  return level_;
}

bool copy_rgb32_rows(std::span<const std::uint8_t> bitmap, std::size_t stride,
                     std::span<std::uint8_t> destination) {
  constexpr std::size_t ROW = math::RGB32_ROW_BYTES;
  constexpr std::size_t LAST = math::FRAME_HEIGHT - 1;
  if (destination.size() != math::RGB32_FRAME_BYTES || bitmap.size() < ROW) return false;
  // The last row starts at LAST x stride and must end inside the bitmap.
  if (stride != 0 && (bitmap.size() - ROW) / stride < LAST) return false;
  for (std::size_t r = 0; r <= LAST; ++r) {
    std::memcpy(destination.data() + r * ROW, bitmap.data() + r * stride, ROW);
  }
  return true;
}

}  // namespace compositor
