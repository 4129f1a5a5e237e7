// The AVX2 row functions: 32 pixels per step.
#include "math_nv12.hpp"

#if VT_MATH_X64

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace math::detail {

namespace {

constexpr std::size_t STEP = 32;
static_assert(STEP <= MAX_STEP && FRAME_WIDTH % STEP == 0);

// Four 8-bit weights, one per byte of each 32-bit lane, for _mm256_maddubs_epi16.
constexpr int weight_quad(int first, int second, int third, int fourth) {
  return static_cast<int>(
      (static_cast<unsigned>(first) & 0xFF) | ((static_cast<unsigned>(second) & 0xFF) << 8) |
      ((static_cast<unsigned>(third) & 0xFF) << 16) | (static_cast<unsigned>(fourth) << 24));
}

VT_MATH_TARGET("avx2") inline __m256i load(const std::uint8_t* bytes) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
}

// The packs work within 128-bit halves; this puts their 4-byte groups back in memory order.
VT_MATH_TARGET("avx2") inline __m256i in_order(__m256i packed) {
  return _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

// 128 less than each pixel's byte: the pixels become the signed operand of
// _mm256_maddubs_epi16, and the weights, 129 among them, the unsigned one.
constexpr int LUMA_CENTRE = 128 * (Y_RED + Y_GREEN + Y_BLUE);

// 66 R + 129 G + 25 B - LUMA_CENTRE of 8 pixels as 32-bit lanes: -28,160 to 27,940.
VT_MATH_TARGET("avx2") inline __m256i centred_luma_sums(const std::uint8_t* bgra) {
  const __m256i centred = _mm256_xor_si256(load(bgra), _mm256_set1_epi8(static_cast<char>(0x80)));
  // 25 B + 129 G beside 66 R + 0 A, each within -19,712 to 19,558: nothing saturates.
  const __m256i halves =
      _mm256_maddubs_epi16(_mm256_set1_epi32(weight_quad(Y_BLUE, Y_GREEN, Y_RED, 0)), centred);
  return _mm256_madd_epi16(halves, _mm256_set1_epi16(1));
}

VT_MATH_TARGET("avx2") void y_row(const std::uint8_t* bgra, std::uint8_t* y, std::size_t pixels) {
  // Back from the centre, and the bias: 4,224 to 60,324, which unsigned 16-bit lanes hold.
  const __m256i bias = _mm256_set1_epi16(static_cast<short>(LUMA_CENTRE + Y_BIAS));
  for (std::size_t x = 0; x < pixels; x += STEP) {
    const std::uint8_t* const p = bgra + 4 * x;
    __m256i low = _mm256_packs_epi32(centred_luma_sums(p), centred_luma_sums(p + 32));
    __m256i high = _mm256_packs_epi32(centred_luma_sums(p + 64), centred_luma_sums(p + 96));
    low = _mm256_srli_epi16(_mm256_add_epi16(low, bias), 8);
    high = _mm256_srli_epi16(_mm256_add_epi16(high, bias), 8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(y + x),
                        in_order(_mm256_packus_epi16(low, high)));
  }
}

// Sums over pixel pairs of one row, channel by channel: 16-bit lanes B, G, R, A of the pairs
// (0, 1), (2, 3) in the lower half and (4, 5), (6, 7) in the upper.
VT_MATH_TARGET("avx2") inline __m256i pair_sums(const std::uint8_t* bgra) {
  const __m256i by_channel = _mm256_shuffle_epi8(
      load(bgra), _mm256_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15, 0, 4, 1, 5,
                                   2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15));
  return _mm256_maddubs_epi16(by_channel, _mm256_set1_epi8(1));
}

// Truncated means of the 2 x 2 blocks of 8 columns: B, G, R, A in 16-bit lanes.
VT_MATH_TARGET("avx2")
inline __m256i block_means(const std::uint8_t* upper, const std::uint8_t* lower) {
  return _mm256_srli_epi16(_mm256_add_epi16(pair_sums(upper), pair_sums(lower)), 2);
}

// One weighted chroma sum of each block whose means are the bytes B, G, R, A of a 32-bit lane.
// Neither the halves (B and G, R and A) nor the whole leave -28,560 to 28,560: nothing
// saturates.
VT_MATH_TARGET("avx2") inline __m256i chroma_sums(__m256i means, int blue, int green, int red) {
  return _mm256_madd_epi16(
      _mm256_maddubs_epi16(means, _mm256_set1_epi32(weight_quad(blue, green, red, 0))),
      _mm256_set1_epi16(1));
}

VT_MATH_TARGET("avx2")
void uv_row(const std::uint8_t* upper, const std::uint8_t* lower, std::uint8_t* uv,
            std::size_t pixels) {
  const __m256i bias = _mm256_set1_epi16(static_cast<short>(UV_BIAS));
  for (std::size_t x = 0; x < pixels; x += STEP) {
    const std::uint8_t* const top = upper + 4 * x;
    const std::uint8_t* const bottom = lower + 4 * x;
    // Means as bytes; the packs leave blocks 0-1, 4-5, 2-3, 6-7 (and 8 on likewise).
    const __m256i first =
        _mm256_packus_epi16(block_means(top, bottom), block_means(top + 32, bottom + 32));
    const __m256i second =
        _mm256_packus_epi16(block_means(top + 64, bottom + 64), block_means(top + 96, bottom + 96));
    // Signed 16-bit sums, then biased into unsigned 16-bit lanes whose high byte is the value.
    const __m256i u =
        _mm256_add_epi16(_mm256_packs_epi32(chroma_sums(first, U_BLUE, U_GREEN, U_RED),
                                            chroma_sums(second, U_BLUE, U_GREEN, U_RED)),
                         bias);
    const __m256i v =
        _mm256_add_epi16(_mm256_packs_epi32(chroma_sums(first, V_BLUE, V_GREEN, V_RED),
                                            chroma_sums(second, V_BLUE, V_GREEN, V_RED)),
                         bias);
    // U | V << 8 in each 16-bit lane is U, V in memory.
    const __m256i pairs =
        _mm256_or_si256(_mm256_srli_epi16(u, 8),
                        _mm256_and_si256(v, _mm256_set1_epi16(static_cast<short>(0xFF00))));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(uv + x), in_order(pairs));
  }
}

}  // namespace

extern const Nv12Rows AVX2_ROWS{&y_row, &uv_row, STEP};

}  // namespace math::detail

#endif
