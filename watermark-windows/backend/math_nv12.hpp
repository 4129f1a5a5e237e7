#pragma once
// Inside bgra_to_nv12: the plain scalar form, the row functions of the vector forms with the
// loop that feeds them, and the list of forms that the tests and the benchmark run one by one.
// Platform-free.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "math.hpp"

// Each architecture's vector code compiles to nothing on the others.
#if (defined(__x86_64__) || defined(_M_X64)) && !defined(_M_ARM64EC)
#define VT_MATH_X64 1
#elif defined(__aarch64__) || defined(_M_ARM64)
#define VT_MATH_NEON 1
#endif

// GCC and clang compile a function for a wider instruction set than the rest of the file when
// asked per function; MSVC takes any intrinsic anywhere.
#if defined(_MSC_VER) && !defined(__clang__)
#define VT_MATH_TARGET(isa)
#else
#define VT_MATH_TARGET(isa) __attribute__((target(isa)))
#endif

namespace math::detail {

inline constexpr std::size_t Y_PLANE_BYTES = std::size_t{FRAME_WIDTH} * FRAME_HEIGHT;

// BT.601 studio range in 8-bit fixed point: weights scaled by 256, rounded by adding half of
// 256 before the shift, then lifted by the offset.
inline constexpr int Y_RED = 66;
inline constexpr int Y_GREEN = 129;
inline constexpr int Y_BLUE = 25;
inline constexpr int U_RED = -38;
inline constexpr int U_GREEN = -74;
inline constexpr int U_BLUE = 112;
inline constexpr int V_RED = 112;
inline constexpr int V_GREEN = -94;
inline constexpr int V_BLUE = -18;
inline constexpr int ROUNDING = 128;
inline constexpr int Y_OFFSET = 16;
inline constexpr int UV_OFFSET = 128;
// Rounding and offset folded into one addend before the shift: (s + 128 + 16 x 256) >> 8 is
// ((s + 128) >> 8) + 16 for every s >= 0. For chroma the offset 128 x 256 also makes every
// weighted sum (-28,560 to 28,560) positive, so an unsigned 16-bit lane holds it exactly and a
// logical shift gives the arithmetic one's result.
inline constexpr int Y_BIAS = ROUNDING + (Y_OFFSET << 8);
inline constexpr int UV_BIAS = ROUNDING + (UV_OFFSET << 8);

// One way to convert a frame, called like bgra_to_nv12.
using Nv12Function = void (*)(std::span<const std::uint8_t> source, std::size_t stride,
                              std::uint8_t* destination);

struct Nv12Variant {
  std::string_view name;
  Nv12Function function;
  bool supported;  // this processor runs it
};

// The forms built for this architecture: the scalar reference first, then from slowest to
// fastest. bgra_to_nv12 runs the last supported one.
std::span<const Nv12Variant> nv12_variants();

// The formulas byte by byte, one pass for luma and one for chroma: the reference that every
// vector form must equal, and the form used where there is no vector one.
void bgra_to_nv12_scalar(std::span<const std::uint8_t> source, std::size_t stride,
                         std::uint8_t* destination);

// The bytes of pixel row `row` that lie inside the source: at most RGB32_ROW_BYTES, fewer at a
// short end, none when the row starts past the end (row x stride may exceed size_t).
std::span<const std::uint8_t> source_row(std::span<const std::uint8_t> source, std::size_t stride,
                                         std::size_t row);

// The row functions of one vector form. They read all 4 bytes of each pixel (whole vectors) and
// convert `pixels` pixels, a multiple of `step`.
struct Nv12Rows {
  // Luma of one pixel row.
  void (*y_row)(const std::uint8_t* bgra, std::uint8_t* y, std::size_t pixels);
  // One row of U, V pairs from two pixel rows: pixels / 2 pairs.
  void (*uv_row)(const std::uint8_t* upper, const std::uint8_t* lower, std::uint8_t* uv,
                 std::size_t pixels);
  std::size_t step;
};

// The widest step a form may have; FRAME_WIDTH is a multiple of every step.
inline constexpr std::size_t MAX_STEP = 64;

// Feeds the row functions two pixel rows at a time (luma of both, then their chroma row, while
// the rows are still in cache). Pixels that the source holds only in part (a short source) go
// through a zero-padded copy on the stack, so the row functions never read outside the source.
void convert_rows(const Nv12Rows& rows, std::span<const std::uint8_t> source, std::size_t stride,
                  std::uint8_t* destination);

#if VT_MATH_X64
extern const Nv12Rows SSE2_ROWS;
extern const Nv12Rows AVX2_ROWS;
// AVX2 present and its registers saved by the operating system.
bool cpu_has_avx2();
#endif

#if VT_MATH_NEON
extern const Nv12Rows NEON_ROWS;
#endif

}  // namespace math::detail
