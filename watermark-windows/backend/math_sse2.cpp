// The SSE2 row functions, for x64 processors without AVX2: 16 pixels per step.
#include "math_nv12.hpp"

#if VT_MATH_X64

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

namespace math::detail {

namespace {

constexpr std::size_t STEP = 16;
static_assert(STEP <= MAX_STEP && FRAME_WIDTH % STEP == 0);

// Four 16-bit weights for the lanes B, G, R, A of one pixel, twice, for _mm_madd_epi16.
__m128i weights(int blue, int green, int red) {
  return _mm_setr_epi16(static_cast<short>(blue), static_cast<short>(green),
                        static_cast<short>(red), 0, static_cast<short>(blue),
                        static_cast<short>(green), static_cast<short>(red), 0);
}

// (66 R + 129 G + 25 B + bias) >> 8 of 4 pixels as 32-bit lanes.
inline __m128i luma(const std::uint8_t* bgra) {
  const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgra));
  // 16-bit lanes B, R, B, R, ... and G, A, G, A, ...
  const __m128i blue_red = _mm_and_si128(pixels, _mm_set1_epi32(0x00FF00FF));
  const __m128i green_alpha = _mm_srli_epi16(pixels, 8);
  const __m128i sums = _mm_add_epi32(
      _mm_madd_epi16(blue_red,
                     _mm_setr_epi16(Y_BLUE, Y_RED, Y_BLUE, Y_RED, Y_BLUE, Y_RED, Y_BLUE, Y_RED)),
      _mm_madd_epi16(green_alpha, _mm_setr_epi16(Y_GREEN, 0, Y_GREEN, 0, Y_GREEN, 0, Y_GREEN, 0)));
  return _mm_srli_epi32(_mm_add_epi32(sums, _mm_set1_epi32(Y_BIAS)), 8);
}

void y_row(const std::uint8_t* bgra, std::uint8_t* y, std::size_t pixels) {
  for (std::size_t x = 0; x < pixels; x += STEP) {
    const std::uint8_t* const p = bgra + 4 * x;
    // Every luma value is at most 235, so the signed packs keep it.
    const __m128i low = _mm_packs_epi32(luma(p), luma(p + 16));
    const __m128i high = _mm_packs_epi32(luma(p + 32), luma(p + 48));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(y + x), _mm_packus_epi16(low, high));
  }
}

// Truncated means of the two 2 x 2 blocks of 4 columns: B, G, R, A of each in 16-bit lanes.
inline __m128i block_means(const std::uint8_t* upper, const std::uint8_t* lower) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i top = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper));
  const __m128i bottom = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lower));
  // Column sums: pixels 0, 1 and pixels 2, 3.
  const __m128i left = _mm_add_epi16(_mm_unpacklo_epi8(top, zero), _mm_unpacklo_epi8(bottom, zero));
  const __m128i right =
      _mm_add_epi16(_mm_unpackhi_epi8(top, zero), _mm_unpackhi_epi8(bottom, zero));
  // Pixels 0, 2 plus pixels 1, 3.
  const __m128i sums =
      _mm_add_epi16(_mm_unpacklo_epi64(left, right), _mm_unpackhi_epi64(left, right));
  return _mm_srli_epi16(sums, 2);
}

// Adds neighbouring 32-bit lanes of a and b: a0 + a1, a2 + a3, b0 + b1, b2 + b3.
inline __m128i add_neighbours(__m128i a, __m128i b) {
  const __m128 fa = _mm_castsi128_ps(a);
  const __m128 fb = _mm_castsi128_ps(b);
  return _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(fa, fb, _MM_SHUFFLE(2, 0, 2, 0))),
                       _mm_castps_si128(_mm_shuffle_ps(fa, fb, _MM_SHUFFLE(3, 1, 3, 1))));
}

// One chroma value (U or V by the weights) of 4 blocks of 8 columns as 32-bit lanes.
inline __m128i chroma(__m128i means_first, __m128i means_second, __m128i weights) {
  // The sums lie in -28,560 to 28,560; the bias makes them positive.
  const __m128i sums =
      add_neighbours(_mm_madd_epi16(means_first, weights), _mm_madd_epi16(means_second, weights));
  return _mm_srli_epi32(_mm_add_epi32(sums, _mm_set1_epi32(UV_BIAS)), 8);
}

void uv_row(const std::uint8_t* upper, const std::uint8_t* lower, std::uint8_t* uv,
            std::size_t pixels) {
  const __m128i u_weights = weights(U_BLUE, U_GREEN, U_RED);
  const __m128i v_weights = weights(V_BLUE, V_GREEN, V_RED);
  for (std::size_t x = 0; x < pixels; x += STEP) {
    const std::size_t offset = 4 * x;
    const __m128i m0 = block_means(upper + offset, lower + offset);
    const __m128i m1 = block_means(upper + offset + 16, lower + offset + 16);
    const __m128i m2 = block_means(upper + offset + 32, lower + offset + 32);
    const __m128i m3 = block_means(upper + offset + 48, lower + offset + 48);
    const __m128i u = _mm_packs_epi32(chroma(m0, m1, u_weights), chroma(m2, m3, u_weights));
    const __m128i v = _mm_packs_epi32(chroma(m0, m1, v_weights), chroma(m2, m3, v_weights));
    // U | V << 8 in each 16-bit lane is U, V in memory.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(uv + x), _mm_or_si128(u, _mm_slli_epi16(v, 8)));
  }
}

}  // namespace

extern const Nv12Rows SSE2_ROWS{&y_row, &uv_row, STEP};

}  // namespace math::detail

#endif
