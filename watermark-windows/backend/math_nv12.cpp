#include <algorithm>
#include <array>
#include <cstring>

#include "math_nv12.hpp"

#if VT_MATH_X64
#include <immintrin.h>
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#else
#include <cpuid.h>
#endif
#endif

namespace math {

namespace detail {

namespace {

constexpr std::size_t BYTES_PER_PIXEL = 4;

// One step of pixels that the source holds only in part, completed with zero bytes.
using PaddedStep = std::array<std::uint8_t, MAX_STEP * BYTES_PER_PIXEL>;

// A byte of a source row; bytes past a short source's end read as zero.
std::uint32_t byte_at(std::span<const std::uint8_t> row, std::size_t index) {
  return index < row.size() ? row[index] : 0;
}

// Copies what the source holds of `pixels` pixels from pixel `first` on into `padded`, whose
// other bytes are zero.
void copy_padded(std::span<const std::uint8_t> row, std::size_t first, std::size_t pixels,
                 PaddedStep& padded) {
  padded.fill(0);
  const std::size_t begin = std::min(first * BYTES_PER_PIXEL, row.size());
  const std::size_t end = std::min((first + pixels) * BYTES_PER_PIXEL, row.size());
  if (end > begin) std::memcpy(padded.data(), row.data() + begin, end - begin);
}

// Pixels at the start of a row whose 4 bytes all lie in the source, in whole steps.
std::size_t whole_pixels(std::span<const std::uint8_t> row, std::size_t step) {
  return row.size() / BYTES_PER_PIXEL / step * step;
}

void luma_row(const Nv12Rows& rows, std::span<const std::uint8_t> row, std::uint8_t* y) {
  std::size_t x = whole_pixels(row, rows.step);
  if (x != 0) rows.y_row(row.data(), y, x);
  PaddedStep padded;
  for (; x < FRAME_WIDTH; x += rows.step) {
    copy_padded(row, x, rows.step, padded);
    rows.y_row(padded.data(), y + x, rows.step);
  }
}

void chroma_row(const Nv12Rows& rows, std::span<const std::uint8_t> upper,
                std::span<const std::uint8_t> lower, std::uint8_t* uv) {
  // A UV row holds one byte per pixel of the rows it comes from.
  std::size_t x = std::min(whole_pixels(upper, rows.step), whole_pixels(lower, rows.step));
  if (x != 0) rows.uv_row(upper.data(), lower.data(), uv, x);
  PaddedStep padded_upper;
  PaddedStep padded_lower;
  for (; x < FRAME_WIDTH; x += rows.step) {
    copy_padded(upper, x, rows.step, padded_upper);
    copy_padded(lower, x, rows.step, padded_lower);
    rows.uv_row(padded_upper.data(), padded_lower.data(), uv + x, rows.step);
  }
}

// A vector form, called like bgra_to_nv12.
template <const Nv12Rows& ROWS>
void convert_with(std::span<const std::uint8_t> source, std::size_t stride,
                  std::uint8_t* destination) {
  convert_rows(ROWS, source, stride, destination);
}

#if VT_MATH_X64

struct CpuidRegisters {
  std::uint32_t eax;
  std::uint32_t ebx;
  std::uint32_t ecx;
  std::uint32_t edx;
};

CpuidRegisters cpuid(std::uint32_t leaf, std::uint32_t subleaf) {
  CpuidRegisters r{};
#if defined(_MSC_VER) && !defined(__clang__)
  int registers[4];
  __cpuidex(registers, static_cast<int>(leaf), static_cast<int>(subleaf));
  std::memcpy(&r, registers, sizeof r);
#else
  __cpuid_count(leaf, subleaf, r.eax, r.ebx, r.ecx, r.edx);
#endif
  return r;
}

// The register state the operating system saves on a thread switch (XCR0).
VT_MATH_TARGET("xsave") std::uint64_t saved_register_state() {
  return _xgetbv(0);
}

#endif

}  // namespace

std::span<const std::uint8_t> source_row(std::span<const std::uint8_t> source, std::size_t stride,
                                         std::size_t row) {
  // row x stride > size, tested without forming a product that could wrap around.
  if (row != 0 && stride > source.size() / row) return {};
  const std::size_t start = row * stride;
  if (start >= source.size()) return {};
  return source.subspan(start, std::min(RGB32_ROW_BYTES, source.size() - start));
}

void bgra_to_nv12_scalar(std::span<const std::uint8_t> source, std::size_t stride,
                         std::uint8_t* destination) {
  for (std::size_t r = 0; r < FRAME_HEIGHT; ++r) {
    const auto row = source_row(source, stride, r);
    std::uint8_t* const y = destination + r * FRAME_WIDTH;
    for (std::size_t x = 0; x < FRAME_WIDTH; ++x) {
      const std::uint32_t blue = byte_at(row, BYTES_PER_PIXEL * x);
      const std::uint32_t green = byte_at(row, BYTES_PER_PIXEL * x + 1);
      const std::uint32_t red = byte_at(row, BYTES_PER_PIXEL * x + 2);
      y[x] = static_cast<std::uint8_t>(
          ((Y_RED * red + Y_GREEN * green + Y_BLUE * blue + ROUNDING) >> 8) + Y_OFFSET);
    }
  }

  std::uint8_t* const uv_plane = destination + Y_PLANE_BYTES;
  for (std::size_t j = 0; j < FRAME_HEIGHT / 2; ++j) {
    const auto upper = source_row(source, stride, 2 * j);
    const auto lower = source_row(source, stride, 2 * j + 1);
    std::uint8_t* const uv = uv_plane + j * FRAME_WIDTH;
    for (std::size_t k = 0; k < FRAME_WIDTH / 2; ++k) {
      // Truncated mean of the 2 x 2 block, one channel at a time.
      const auto mean = [&](std::size_t channel) {
        const std::size_t left = 2 * k * BYTES_PER_PIXEL + channel;
        const std::size_t right = left + BYTES_PER_PIXEL;
        return static_cast<int>((byte_at(upper, left) + byte_at(upper, right) +
                                 byte_at(lower, left) + byte_at(lower, right)) >>
                                2);
      };
      const int blue = mean(0);
      const int green = mean(1);
      const int red = mean(2);
      // Arithmetic shifts: negative sums round toward minus infinity.
      uv[2 * k] = static_cast<std::uint8_t>(
          ((U_RED * red + U_GREEN * green + U_BLUE * blue + ROUNDING) >> 8) + UV_OFFSET);
      uv[2 * k + 1] = static_cast<std::uint8_t>(
          ((V_RED * red + V_GREEN * green + V_BLUE * blue + ROUNDING) >> 8) + UV_OFFSET);
    }
  }
}

void convert_rows(const Nv12Rows& rows, std::span<const std::uint8_t> source, std::size_t stride,
                  std::uint8_t* destination) {
  std::uint8_t* const uv_plane = destination + Y_PLANE_BYTES;
  for (std::size_t j = 0; j < FRAME_HEIGHT / 2; ++j) {
    const auto upper = source_row(source, stride, 2 * j);
    const auto lower = source_row(source, stride, 2 * j + 1);
    luma_row(rows, upper, destination + 2 * j * FRAME_WIDTH);
    luma_row(rows, lower, destination + (2 * j + 1) * FRAME_WIDTH);
    chroma_row(rows, upper, lower, uv_plane + j * FRAME_WIDTH);
  }
}

#if VT_MATH_X64
bool cpu_has_avx2() {
  constexpr std::uint32_t LEAF_FEATURES = 1;
  constexpr std::uint32_t LEAF_EXTENDED_FEATURES = 7;
  constexpr std::uint32_t ECX_OSXSAVE = 1u << 27;
  constexpr std::uint32_t ECX_AVX = 1u << 28;
  constexpr std::uint32_t EBX_AVX2 = 1u << 5;
  constexpr std::uint64_t XMM_AND_YMM_STATE = 0x6;

  if (cpuid(0, 0).eax < LEAF_EXTENDED_FEATURES) return false;
  const std::uint32_t features = cpuid(LEAF_FEATURES, 0).ecx;
  if ((features & (ECX_OSXSAVE | ECX_AVX)) != (ECX_OSXSAVE | ECX_AVX)) return false;
  if ((saved_register_state() & XMM_AND_YMM_STATE) != XMM_AND_YMM_STATE) return false;
  return (cpuid(LEAF_EXTENDED_FEATURES, 0).ebx & EBX_AVX2) != 0;
}
#endif

std::span<const Nv12Variant> nv12_variants() {
  static const Nv12Variant variants[] = {
    {"scalar", &bgra_to_nv12_scalar, true},
#if VT_MATH_X64
    // Every x64 processor has SSE2.
    {"sse2", &convert_with<SSE2_ROWS>, true},
    {"avx2", &convert_with<AVX2_ROWS>, cpu_has_avx2()},
#endif
#if VT_MATH_NEON
    // Every ARM64 processor has NEON.
    {"neon", &convert_with<NEON_ROWS>, true},
#endif
  };
  return variants;
}

}  // namespace detail

void bgra_to_nv12(std::span<const std::uint8_t> source, std::size_t stride,
                  std::uint8_t* destination) {
  // Chosen once, at the first frame.
  static const detail::Nv12Function chosen = [] {
    const auto variants = detail::nv12_variants();
    return std::find_if(variants.rbegin(), variants.rend(),
                        [](const detail::Nv12Variant& v) { return v.supported; })
        ->function;
  }();
  chosen(source, stride, destination);
}

}  // namespace math
