#pragma once
// Test utility: writes a picture as a PNG file through the WIC encoder, so that a person can
// look at what a test drew. COM must be initialised on the calling thread.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "error.hpp"

namespace test_png {

// `pixels` holds `height` whole rows of `stride` bytes, each starting with `width` pixels of four
// bytes: blue, green, red, alpha (straight alpha; premultiplied opaque pixels are the same).
// `path` is UTF-8; an existing file is replaced. Fails with E_INVALIDARG, before the file is
// touched, when the buffer is shorter than height x stride; otherwise with WIC's first failure.
shared::Result<void> write_png(std::string_view path, std::span<const std::uint8_t> pixels,
                               std::uint32_t width, std::uint32_t height, std::uint32_t stride);

}  // namespace test_png
