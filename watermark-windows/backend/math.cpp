#include "math.hpp"

#include <algorithm>
#include <cmath>

namespace math {

namespace {
constexpr double BAR_MIN = 0.12;
constexpr double BAR_MAX = 1.0;
}  // namespace

double bar_scale(double level, double t, const BarParams& params) {
  const double wave = 0.62 * std::sin(params.frequency * t + params.phase) +
                      0.38 * std::sin(1.67 * (params.frequency * t) + 1.3 * params.phase);
  // Quiet bars drift slowly around a third of their weight; loud ones swing with the wave.
  const double v = params.weight * ((1.0 - level) * (0.05 * std::sin(2.3 * t + params.phase)) +
                                    0.34 + level * (0.38 * wave + 0.66));
  return std::clamp(v, BAR_MIN, BAR_MAX);
}

}  // namespace math
