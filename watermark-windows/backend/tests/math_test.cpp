#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "math.hpp"
#include "math_guarded_memory.hpp"
#include "math_nv12.hpp"

namespace {

using math::FRAME_HEIGHT;
using math::FRAME_WIDTH;
using math::NV12_FRAME_BYTES;
using math::RGB32_ROW_BYTES;
using math::detail::Nv12Variant;
using math::detail::Y_PLANE_BYTES;

using Bytes = std::vector<std::uint8_t>;

// No luma or chroma byte is ever 255, so a destination byte still holding it was not written.
constexpr std::uint8_t UNWRITTEN = 0xFF;
constexpr std::size_t DESTINATION_GUARD = 64;

struct Bgr {
  std::uint8_t blue;
  std::uint8_t green;
  std::uint8_t red;
};

// Length of a complete source: the last pixel's alpha byte may be missing.
std::size_t complete_size(std::size_t stride) {
  return (FRAME_HEIGHT - 1) * stride + RGB32_ROW_BYTES - 1;
}

// Source bytes that end right before an inaccessible page.
class GuardedSource {
 public:
  explicit GuardedSource(std::size_t size) : memory_(size), size_(size) {}

  std::span<std::uint8_t> bytes() { return {memory_.begin() + memory_.usable() - size_, size_}; }

  // Makes `length` bytes from byte `offset` of the source on inaccessible; both must fall on page
  // boundaries.
  void deny(std::size_t offset, std::size_t length) {
    const auto start = static_cast<std::size_t>(bytes().data() + offset - memory_.begin());
    ASSERT_EQ(start % math_test::GuardedMemory::page_size(), 0u);
    ASSERT_TRUE(memory_.deny(start, length));
  }

 private:
  math_test::GuardedMemory memory_;
  std::size_t size_;
};

Bytes convert(math::detail::Nv12Function function, std::span<const std::uint8_t> source,
              std::size_t stride) {
  Bytes destination(NV12_FRAME_BYTES + DESTINATION_GUARD, UNWRITTEN);
  function(source, stride, destination.data());
  for (std::size_t i = NV12_FRAME_BYTES; i < destination.size(); ++i) {
    EXPECT_EQ(destination[i], UNWRITTEN) << "written past the frame at " << i;
  }
  destination.resize(NV12_FRAME_BYTES);
  return destination;
}

Bytes reference(std::span<const std::uint8_t> source, std::size_t stride) {
  return convert(&math::detail::bgra_to_nv12_scalar, source, stride);
}

// Where two NV12 frames first differ, by plane, row and column.
testing::AssertionResult same_frame(const Bytes& actual, const Bytes& expected) {
  const auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
  if (a == actual.end() && e == expected.end()) return testing::AssertionSuccess();
  const std::size_t at = static_cast<std::size_t>(a - actual.begin());
  const bool luma = at < Y_PLANE_BYTES;
  const std::size_t plane_offset = luma ? at : at - Y_PLANE_BYTES;
  return testing::AssertionFailure()
         << (luma ? "Y" : (plane_offset % 2 == 0 ? "U" : "V")) << " byte at row "
         << plane_offset / FRAME_WIDTH << ", column " << plane_offset % FRAME_WIDTH << ": "
         << (a == actual.end() ? -1 : int{*a}) << " instead of "
         << (e == expected.end() ? -1 : int{*e});
}

// A frame of one colour, packed at 5,120 bytes a row.
Bytes uniform_source(Bgr colour, std::uint8_t alpha) {
  Bytes source(math::RGB32_FRAME_BYTES);
  for (std::size_t at = 0; at < source.size(); at += 4) {
    source[at] = colour.blue;
    source[at + 1] = colour.green;
    source[at + 2] = colour.red;
    source[at + 3] = alpha;
  }
  return source;
}

// The frame that a uniform colour gives.
Bytes uniform_nv12(std::uint8_t y, std::uint8_t u, std::uint8_t v) {
  Bytes frame(NV12_FRAME_BYTES, y);
  for (std::size_t i = Y_PLANE_BYTES; i < NV12_FRAME_BYTES; i += 2) {
    frame[i] = u;
    frame[i + 1] = v;
  }
  return frame;
}

// Fast enough to fill many frames in a sanitizer build (splitmix64).
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }
  std::size_t below(std::size_t bound) { return static_cast<std::size_t>(next() % bound); }

 private:
  std::uint64_t state_;
};

// Random bytes, half the time drawn only from the extremes that drive the sums to their limits.
Bytes random_bytes(std::size_t size, Random& random) {
  constexpr std::uint8_t EXTREMES[8] = {0, 1, 2, 127, 128, 253, 254, 255};
  const bool extremes = random.next() % 2 == 0;
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; i += 8) {
    std::uint64_t bits = random.next();
    for (std::size_t j = i; j < std::min(size, i + 8); ++j, bits >>= 8) {
      bytes[j] = extremes ? EXTREMES[bits & 7] : static_cast<std::uint8_t>(bits);
    }
  }
  return bytes;
}

}  // namespace

// GoogleTest names a failing form by this.
namespace math::detail {
void PrintTo(const Nv12Variant& form, std::ostream* out) {
  *out << form.name;
}
}  // namespace math::detail

namespace {

class Nv12Test : public testing::TestWithParam<Nv12Variant> {
 protected:
  void SetUp() override {
    if (!GetParam().supported) GTEST_SKIP() << "this processor lacks " << GetParam().name;
  }
  Bytes run(std::span<const std::uint8_t> source, std::size_t stride) {
    return convert(GetParam().function, source, stride);
  }
};

TEST_P(Nv12Test, UniformColoursGiveTheirYuv) {
  struct Case {
    Bgr colour;
    std::uint8_t y, u, v;
  };
  constexpr Case CASES[] = {
      {{255, 255, 255}, 235, 128, 128},  // white
      {{0, 0, 0}, 16, 128, 128},         // black
      {{128, 128, 128}, 126, 128, 128},  // grey
      {{0, 0, 255}, 82, 90, 240},        // red
      {{0, 255, 0}, 144, 54, 34},        // green
      {{255, 0, 0}, 41, 240, 110},       // blue
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(testing::Message() << "B, G, R " << int{c.colour.blue} << ", "
                                    << int{c.colour.green} << ", " << int{c.colour.red});
    EXPECT_TRUE(same_frame(run(uniform_source(c.colour, 0x80), RGB32_ROW_BYTES),
                           uniform_nv12(c.y, c.u, c.v)));
  }
}

// One 2 x 2 block in a black frame changes its four luma bytes and its one U, V pair (U at the
// even offset of the UV row, V at the odd one) and nothing else, wherever it stands.
TEST_P(Nv12Test, BlockAveragesTruncateAndShiftsRoundDown) {
  struct Case {
    const char* name;
    Bgr top_left, top_right, bottom_left, bottom_right;
    std::array<std::uint8_t, 4> y;  // top left, top right, bottom left, bottom right
    std::uint8_t u, v;
  };
  constexpr Bgr RED{0, 0, 255};
  constexpr Bgr BLACK{0, 0, 0};
  const Case cases[] = {
      // R averages 510 >> 2 = 127; U's sum -4,698 shifts to -19, not -18.
      {"red over black", RED, RED, BLACK, BLACK, {82, 82, 16, 16}, 109, 184},
      {"greys 0, 1, 2, 2", {0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {2, 2, 2}, {16, 17, 18, 18}, 128, 128},
      // B averages 1,019 >> 2 = 254; a rounded 255 would give U 240 and V 109.
      {"blues 255, 255, 255, 254",
       {255, 0, 0},
       {255, 0, 0},
       {255, 0, 0},
       {254, 0, 0},
       {41, 41, 41, 41},
       239,
       110},
  };
  struct Place {
    std::size_t row, column;  // of the block's top-left pixel
  };
  constexpr Place PLACES[] = {{0, 0}, {2, 34}, {358, 638}, {718, 1278}};

  Bytes source = uniform_source(BLACK, 0xFF);
  const auto put = [&](std::size_t r, std::size_t x, Bgr p) {
    const std::size_t at = r * RGB32_ROW_BYTES + 4 * x;
    source[at] = p.blue;
    source[at + 1] = p.green;
    source[at + 2] = p.red;
  };
  for (const Case& c : cases) {
    for (const Place& place : PLACES) {
      SCOPED_TRACE(testing::Message()
                   << c.name << " at row " << place.row << ", column " << place.column);
      put(place.row, place.column, c.top_left);
      put(place.row, place.column + 1, c.top_right);
      put(place.row + 1, place.column, c.bottom_left);
      put(place.row + 1, place.column + 1, c.bottom_right);
      const Bytes actual = run(source, RGB32_ROW_BYTES);
      for (std::size_t dr = 0; dr < 2; ++dr) {
        for (std::size_t dx = 0; dx < 2; ++dx) put(place.row + dr, place.column + dx, BLACK);
      }

      Bytes expected = uniform_nv12(16, 128, 128);
      const std::size_t top = place.row * FRAME_WIDTH + place.column;
      expected[top] = c.y[0];
      expected[top + 1] = c.y[1];
      expected[top + FRAME_WIDTH] = c.y[2];
      expected[top + FRAME_WIDTH + 1] = c.y[3];
      const std::size_t pair = Y_PLANE_BYTES + place.row / 2 * FRAME_WIDTH + place.column;
      expected[pair] = c.u;
      expected[pair + 1] = c.v;
      EXPECT_TRUE(same_frame(actual, expected));
    }
  }
}

TEST_P(Nv12Test, AlphaHasNoEffect) {
  Random random(7);
  const Bytes colours = random_bytes(math::RGB32_FRAME_BYTES, random);
  const auto with_alpha = [&](auto alpha) {
    Bytes source = colours;
    for (std::size_t i = 3; i < source.size(); i += 4) source[i] = alpha(i);
    return run(source, RGB32_ROW_BYTES);
  };
  const Bytes opaque = with_alpha([](std::size_t) { return std::uint8_t{255}; });
  EXPECT_TRUE(same_frame(with_alpha([](std::size_t) { return std::uint8_t{0}; }), opaque));
  EXPECT_TRUE(same_frame(
      with_alpha([&](std::size_t) { return static_cast<std::uint8_t>(random.next()); }), opaque));
}

// The bytes after column 1279 of each row never count: a source with wider rows and random
// padding converts like the same pixels packed at 5,120 bytes a row.
TEST_P(Nv12Test, RowPaddingNeverCounts) {
  Random random(11);
  const Bytes packed = random_bytes(math::RGB32_FRAME_BYTES, random);
  const Bytes expected = reference(packed, RGB32_ROW_BYTES);
  for (const std::size_t stride : {5121u, 5124u, 5127u, 8192u}) {
    SCOPED_TRACE(testing::Message() << "stride " << stride);
    Bytes source = random_bytes(complete_size(stride) + 1, random);
    for (std::size_t r = 0; r < FRAME_HEIGHT; ++r) {
      std::memcpy(source.data() + r * stride, packed.data() + r * RGB32_ROW_BYTES, RGB32_ROW_BYTES);
    }
    EXPECT_TRUE(same_frame(run(source, stride), expected));
  }
}

// An inaccessible page right after every row's pixels: reading one byte of padding would end
// the test.
TEST_P(Nv12Test, RowPaddingIsNeverRead) {
  const std::size_t page = math_test::GuardedMemory::page_size();
  // A whole page of padding after each row, and rows that end on page boundaries.
  const std::size_t stride = (RGB32_ROW_BYTES + page - 1) / page * page + page;
  GuardedSource guarded(complete_size(stride) + 1);
  Random random(13);
  const Bytes packed = random_bytes(math::RGB32_FRAME_BYTES, random);
  auto source = guarded.bytes();
  for (std::size_t r = 0; r < FRAME_HEIGHT; ++r) {
    std::memcpy(source.data() + r * stride, packed.data() + r * RGB32_ROW_BYTES, RGB32_ROW_BYTES);
  }
  for (std::size_t r = 0; r + 1 < FRAME_HEIGHT; ++r)
    guarded.deny(r * stride + RGB32_ROW_BYTES, page);
  EXPECT_TRUE(same_frame(run(source, stride), reference(packed, RGB32_ROW_BYTES)));
}

// A source of 719 x stride + 5,119 bytes, ending at an inaccessible page, converts completely.
TEST_P(Nv12Test, CompleteSourceWithoutTheLastAlphaConverts) {
  Random random(17);
  for (const std::size_t stride : {5120u, 5121u, 5124u, 6000u}) {
    SCOPED_TRACE(testing::Message() << "stride " << stride);
    const Bytes full = random_bytes(complete_size(stride) + 1, random);
    GuardedSource guarded(complete_size(stride));
    std::memcpy(guarded.bytes().data(), full.data(), guarded.bytes().size());
    EXPECT_TRUE(same_frame(run(guarded.bytes(), stride), reference(full, stride)));
  }
}

// A short source reads nothing past its end (an inaccessible page follows it) and converts as
// if zero bytes followed it: what it lacks comes out black, and every byte is written.
TEST_P(Nv12Test, ShortSourceConvertsAsZeroPadded) {
  Random random(19);
  struct Case {
    std::size_t stride;
    std::size_t size;
  };
  const Case cases[] = {
      {5120, 0},
      {5120, 1},
      {5120, 2},                            // a lone blue byte
      {5120, 5119},                         // row 0 only
      {5120, 5120 + 4 * 37 + 2},            // row 1 ends inside pixel 37
      {5124, 2 * 5124 + 1000},              // ends inside a chroma pair's lower row
      {6000, 300 * 6000 + 5120},            // ends in the padding
      {5121, complete_size(5121) - 1},      // the last pixel lacks its red byte
      {5120, complete_size(5120) - 4 * 9},  // nine pixels short
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "stride " << c.stride << ", " << c.size << " bytes");
    GuardedSource guarded(c.size);
    const Bytes data = random_bytes(c.size, random);
    std::copy(data.begin(), data.end(), guarded.bytes().begin());
    Bytes padded(complete_size(c.stride) + 1, 0);
    std::copy(data.begin(), data.end(), padded.begin());
    EXPECT_TRUE(same_frame(run(guarded.bytes(), c.stride), reference(padded, c.stride)));
  }
}

// Row starts past the end of the address space are past the end of the source too, not
// wrapped around to its start.
TEST_P(Nv12Test, HugeStrideReadsOnlyTheFirstRow) {
  Random random(23);
  const Bytes row = random_bytes(RGB32_ROW_BYTES, random);
  Bytes expected_source(math::RGB32_FRAME_BYTES, 0);
  std::copy(row.begin(), row.end(), expected_source.begin());
  const Bytes expected = reference(expected_source, RGB32_ROW_BYTES);
  constexpr std::size_t MAX = std::numeric_limits<std::size_t>::max();
  for (const std::size_t stride : {MAX, MAX / 2 + 1, MAX / 3 + 1}) {
    SCOPED_TRACE(testing::Message() << "stride " << stride);
    EXPECT_TRUE(same_frame(run(row, stride), expected));
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, Nv12Test, testing::ValuesIn(math::detail::nv12_variants()),
                         [](const testing::TestParamInfo<Nv12Variant>& info) {
                           return std::string(info.param.name);
                         });

// Every vector form gives the scalar form's bytes on many frames: odd strides, strides below a
// row, short sources, random and extreme pixel values.
TEST(Nv12Forms, VectorFormsEqualScalarOnRandomFrames) {
  Random random(29);
  constexpr std::size_t STRIDES[] = {5120, 5120, 5121, 5122, 5123, 5125, 5127, 5136,
                                     5152, 5177, 6144, 8191, 0,    4,    5116, 5119};
  for (int frame = 0; frame < 24; ++frame) {
    const std::size_t stride = STRIDES[random.below(std::size(STRIDES))];
    const std::size_t complete = std::max(complete_size(stride), RGB32_ROW_BYTES - 1);
    // Mostly complete sources, some longer, some cut anywhere.
    const std::size_t kind = random.below(4);
    const std::size_t size = kind == 0   ? complete + 1 + random.below(64)
                             : kind == 1 ? random.below(complete)
                                         : complete;
    SCOPED_TRACE(testing::Message()
                 << "frame " << frame << ": stride " << stride << ", " << size << " bytes");
    const Bytes source = random_bytes(size, random);
    const Bytes expected = reference(source, stride);
    for (const Nv12Variant& form : math::detail::nv12_variants()) {
      if (!form.supported || form.function == &math::detail::bgra_to_nv12_scalar) continue;
      EXPECT_TRUE(same_frame(convert(form.function, source, stride), expected)) << form.name;
    }
    EXPECT_TRUE(same_frame(convert(&math::bgra_to_nv12, source, stride), expected))
        << "bgra_to_nv12";
  }
}

// Every vector form gives the scalar form's bytes for every B, G, R: as a lone pixel (luma) and as
// a uniform 2 x 2 block (chroma). Too slow without optimisation, so only optimised builds run it.
TEST(Nv12Forms, VectorFormsEqualScalarOnEveryColour) {
#ifndef NDEBUG
  GTEST_SKIP() << "an unoptimised build";
#endif
  constexpr std::uint32_t COLOURS = 1u << 24;
  Bytes source(math::RGB32_FRAME_BYTES);
  for (const bool blocks : {false, true}) {
    const std::uint32_t per_frame = blocks ? Y_PLANE_BYTES / 4 : Y_PLANE_BYTES;
    for (std::uint32_t first = 0; first < COLOURS; first += per_frame) {
      for (std::size_t r = 0; r < FRAME_HEIGHT; ++r) {
        for (std::size_t x = 0; x < FRAME_WIDTH; ++x) {
          const std::size_t index =
              blocks ? r / 2 * (FRAME_WIDTH / 2) + x / 2 : r * FRAME_WIDTH + x;
          const std::uint32_t colour = (first + static_cast<std::uint32_t>(index)) % COLOURS;
          std::uint8_t* const pixel = source.data() + r * RGB32_ROW_BYTES + 4 * x;
          pixel[0] = static_cast<std::uint8_t>(colour);
          pixel[1] = static_cast<std::uint8_t>(colour >> 8);
          pixel[2] = static_cast<std::uint8_t>(colour >> 16);
          pixel[3] = static_cast<std::uint8_t>(index);
        }
      }
      const Bytes expected = reference(source, RGB32_ROW_BYTES);
      for (const Nv12Variant& form : math::detail::nv12_variants()) {
        if (!form.supported || form.function == &math::detail::bgra_to_nv12_scalar) continue;
        ASSERT_TRUE(same_frame(convert(form.function, source, RGB32_ROW_BYTES), expected))
            << form.name << (blocks ? ", blocks" : ", pixels") << " from colour " << first;
      }
    }
  }
}

// NEON and SSE2 are part of their architectures; only AVX2 depends on the processor.
TEST(Nv12Forms, ArchitectureHasItsForms) {
  std::vector<std::string> names;
  for (const Nv12Variant& form : math::detail::nv12_variants()) {
    names.emplace_back(form.name);
    if (form.name != "avx2") {
      EXPECT_TRUE(form.supported) << form.name;
    }
  }
#if VT_MATH_X64
  EXPECT_EQ(names, (std::vector<std::string>{"scalar", "sse2", "avx2"}));
#elif VT_MATH_NEON
  EXPECT_EQ(names, (std::vector<std::string>{"scalar", "neon"}));
#else
  EXPECT_EQ(names, (std::vector<std::string>{"scalar"}));
#endif
}

TEST(BarScale, AtTimeZeroMatchesTheLevelTable) {
  struct Case {
    double level;
    std::array<double, 5> scales;  // bars 0 to 4, rounded to 4 places
  };
  constexpr Case CASES[] = {
      {0.0, {0.1294, 0.2717, 0.3832, 0.2631, 0.1394}},
      {0.5, {0.2741, 0.6155, 0.8222, 0.5843, 0.3060}},
      {1.0, {0.4189, 0.9593, 1.0, 0.9055, 0.4726}},  // the middle bar clamped
  };
  for (const Case& c : CASES) {
    for (std::size_t bar = 0; bar < math::BAR_PARAMS.size(); ++bar) {
      EXPECT_NEAR(math::bar_scale(c.level, 0.0, math::BAR_PARAMS[bar]), c.scales[bar], 0.5e-4)
          << "level " << c.level << ", bar " << bar;
    }
  }
}

}  // namespace
