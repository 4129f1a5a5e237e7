#pragma once
// Pixel and animation arithmetic of the media source: the fixed output frame, the level bars'
// motion and the BGRA to NV12 conversion. Platform-free.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace math {

// Every picture the media source delivers has this size.
inline constexpr std::uint32_t FRAME_WIDTH = 1280;
inline constexpr std::uint32_t FRAME_HEIGHT = 720;
inline constexpr std::size_t RGB32_ROW_BYTES = std::size_t{FRAME_WIDTH} * 4;
inline constexpr std::size_t RGB32_FRAME_BYTES = RGB32_ROW_BYTES * FRAME_HEIGHT;
inline constexpr std::size_t NV12_FRAME_BYTES = std::size_t{FRAME_WIDTH} * FRAME_HEIGHT * 3 / 2;

// One level bar's rhythm: its share of the full height, its frequency (radians per second) and
// its phase (radians).
struct BarParams {
  double weight;
  double frequency;
  double phase;
};

// The five bars from left to right; the middle one is the tallest.
inline constexpr std::array<BarParams, 5> BAR_PARAMS{{
    {0.36, 8.4, 0.4},
    {0.7, 11.2, 1.3},
    {1.0, 13.6, 2.1},
    {0.7, 9.7, 0.8},
    {0.36, 12.4, 1.9},
}};

// Height factor of one bar in [0.12, 1] for a level in [0, 1] at time t (seconds).
double bar_scale(double level, double t, const BarParams& params);

}  // namespace math
