#pragma once
// The colours a drawn badge leaves over opaque black, as the frame tests read them back.

#include <cstdlib>
#include <string>

namespace test_pixels {

struct Bgra {
  int b, g, r, a;
};

constexpr Bgra BLACK{0, 0, 0, 255};
// The pill (0.1 grey at 0.76 alpha) over black, a bar (white at 0.95) over the pill, the brand
// mark (opaque).
constexpr Bgra PILL{19, 19, 19, 255};
constexpr Bgra BAR{243, 243, 243, 255};
constexpr Bgra MARK{252, 105, 68, 255};

// Direct2D's antialiasing and blending differ by a step or two between renderers.
constexpr int TOLERANCE = 3;

inline bool close_to(Bgra got, Bgra want, int tolerance = TOLERANCE) {
  return std::abs(got.b - want.b) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
         std::abs(got.r - want.r) <= tolerance && std::abs(got.a - want.a) <= tolerance;
}

inline std::string describe(Bgra p) {
  return std::to_string(p.b) + " " + std::to_string(p.g) + " " + std::to_string(p.r) + " " +
         std::to_string(p.a);
}

}  // namespace test_pixels
