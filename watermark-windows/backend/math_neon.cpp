// The NEON row functions (every ARM64 processor has NEON): 16 pixels per step.
#include "math_nv12.hpp"

#if VT_MATH_NEON

#include <arm_neon.h>

#include <cstddef>
#include <cstdint>

namespace math::detail {

namespace {

constexpr std::size_t STEP = 16;
static_assert(STEP <= MAX_STEP && FRAME_WIDTH % STEP == 0);

// 66 R + 129 G + 25 B + bias of 8 pixels; below 60,325, so unsigned 16-bit lanes hold it.
inline uint16x8_t luma_sums(uint8x8_t blue, uint8x8_t green, uint8x8_t red) {
  uint16x8_t sums = vmlal_u8(vdupq_n_u16(Y_BIAS), red, vdup_n_u8(Y_RED));
  sums = vmlal_u8(sums, green, vdup_n_u8(Y_GREEN));
  return vmlal_u8(sums, blue, vdup_n_u8(Y_BLUE));
}

void y_row(const std::uint8_t* bgra, std::uint8_t* y, std::size_t pixels) {
  for (std::size_t x = 0; x < pixels; x += STEP) {
    // val[0] to val[3]: the B, G, R and A bytes of 16 pixels.
    const uint8x16x4_t p = vld4q_u8(bgra + 4 * x);
    const uint16x8_t low =
        luma_sums(vget_low_u8(p.val[0]), vget_low_u8(p.val[1]), vget_low_u8(p.val[2]));
    const uint16x8_t high =
        luma_sums(vget_high_u8(p.val[0]), vget_high_u8(p.val[1]), vget_high_u8(p.val[2]));
    vst1q_u8(y + x, vcombine_u8(vshrn_n_u16(low, 8), vshrn_n_u16(high, 8)));
  }
}

// Truncated means of one channel over the 8 blocks of 16 columns.
inline uint16x8_t block_means(uint8x16_t upper, uint8x16_t lower) {
  return vshrq_n_u16(vpadalq_u8(vpaddlq_u8(upper), lower), 2);
}

// bias + red x R + green x G + blue x B in unsigned 16-bit lanes. The true sum lies in 4,336 to
// 61,456, so arithmetic modulo 65,536 (negative weights as their two's complement) gives it
// exactly.
inline uint8x8_t chroma(uint16x8_t blue, uint16x8_t green, uint16x8_t red, int blue_weight,
                        int green_weight, int red_weight) {
  uint16x8_t sums = vmlaq_n_u16(vdupq_n_u16(UV_BIAS), red, static_cast<std::uint16_t>(red_weight));
  sums = vmlaq_n_u16(sums, green, static_cast<std::uint16_t>(green_weight));
  sums = vmlaq_n_u16(sums, blue, static_cast<std::uint16_t>(blue_weight));
  return vshrn_n_u16(sums, 8);
}

void uv_row(const std::uint8_t* upper, const std::uint8_t* lower, std::uint8_t* uv,
            std::size_t pixels) {
  for (std::size_t x = 0; x < pixels; x += STEP) {
    const uint8x16x4_t top = vld4q_u8(upper + 4 * x);
    const uint8x16x4_t bottom = vld4q_u8(lower + 4 * x);
    const uint16x8_t blue = block_means(top.val[0], bottom.val[0]);
    const uint16x8_t green = block_means(top.val[1], bottom.val[1]);
    const uint16x8_t red = block_means(top.val[2], bottom.val[2]);
    uint8x8x2_t pairs;
    pairs.val[0] = chroma(blue, green, red, U_BLUE, U_GREEN, U_RED);
    pairs.val[1] = chroma(blue, green, red, V_BLUE, V_GREEN, V_RED);
    vst2_u8(uv + x, pairs);
  }
}

}  // namespace

extern const Nv12Rows NEON_ROWS{&y_row, &uv_row, STEP};

}  // namespace math::detail

#endif
