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

// Converts one FRAME_WIDTH x FRAME_HEIGHT frame of BGRA pixels (B, G, R, A bytes; alpha never
// counts, colours are taken as stored) into NV12 with BT.601 studio-range integer arithmetic: a Y
// plane of FRAME_WIDTH x FRAME_HEIGHT bytes, then the interleaved U, V plane with one pair per
// 2 x 2 block from the block's truncated channel averages; both planes have a pitch of
// FRAME_WIDTH and `destination` must hold NV12_FRAME_BYTES bytes, which must not overlap the
// source.
//
// Row r of the source starts at r x `stride`; only its first RGB32_ROW_BYTES bytes are pixels,
// and the bytes after them are never read. A complete source holds
// (FRAME_HEIGHT - 1) x stride + RGB32_ROW_BYTES - 1 bytes (the last pixel's alpha may be
// missing). Nothing outside `source` is ever read: a shorter source converts as if it were
// followed by zero bytes, so the part of the frame it lacks comes out black (Y 16, U and V 128),
// and every destination byte is still written exactly once. Allocates nothing; uses the fastest
// vector form the processor offers, and every form gives the same bytes.
void bgra_to_nv12(std::span<const std::uint8_t> source, std::size_t stride,
                  std::uint8_t* destination);

}  // namespace math
