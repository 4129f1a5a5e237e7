#include "badge.hpp"

#include <algorithm>

namespace badge {
namespace {

// Multiples of the unit u.
constexpr float UNIT_PER_WIDTH = 0.04f;
constexpr float FONT_SIZE = 0.36f;
constexpr float LEFT_MARGIN = 0.36f;
constexpr float GAP = 0.34f;
constexpr float RIGHT_MARGIN = 0.36f;
constexpr float MARK_HEIGHT = 0.52f;
constexpr float BAR_WIDTH = 0.06f;
constexpr float TALLEST_BAR = 0.42f;
// The pill's width beyond its content: both margins, the gap and the bar group.
constexpr float PILL_EXTRA = 1.6f;
// The bar group is five bars with one bar width between neighbours.
constexpr float BAR_PITCH = 2.0f;

// Multiples of the frame height.
constexpr float TEXT_BAND = 0.45f;
constexpr float TEXT_BAND_SPARE = 0.02f;
constexpr float PILL_LIFT = 0.005f;
// Frame aspect ratio of the band of height 0.45 x frame width in which the pill sits.
constexpr float BAND_ASPECT = 2.2222223f;

constexpr char fold(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool is_brand(std::string_view label) {
  return label.size() == BRAND_NAME.size() &&
         std::equal(label.begin(), label.end(), BRAND_NAME.begin(),
                    [](char a, char b) { return fold(a) == fold(b); });
}

Lengths lengths(float frame_width) {
  const float u = UNIT_PER_WIDTH * frame_width;
  const float mark_height = MARK_HEIGHT * u;
  const float bar_width = BAR_WIDTH * u;
  return Lengths{
      .unit = u,
      .font_size = FONT_SIZE * u,
      .left_margin = LEFT_MARGIN * u,
      .gap = GAP * u,
      .right_margin = RIGHT_MARGIN * u,
      .mark_height = mark_height,
      .mark_width = mark_height * MARK_BOX_WIDTH / MARK_BOX_HEIGHT,
      .bar_width = bar_width,
      .tallest_bar = TALLEST_BAR * u,
      .pill_height = u,
      .pill_radius = u / 2.0f,
      .bar_radius = bar_width / 2.0f,
  };
}

float max_text_width(float frame_width, float frame_height) {
  const float band = frame_width - 2.0f * ((frame_width - TEXT_BAND * frame_height) / 2.0f);
  return band - 2.0f * (TEXT_BAND_SPARE * frame_height) - PILL_EXTRA * lengths(frame_width).unit;
}

float max_text_height(float frame_width) {
  return lengths(frame_width).pill_height;
}

Geometry geometry(float frame_width, float frame_height, float content_width, double level,
                  double t) {
  const Lengths l = lengths(frame_width);
  // DirectWrite's trimming keeps the text inside the layout; the cap keeps the pill inside its
  // band even where it does not.
  const float cap = std::max(0.0f, max_text_width(frame_width, frame_height));
  const float content = content_width >= 0.0f ? std::min(content_width, cap) : 0.0f;

  const float pill_width = content + PILL_EXTRA * l.unit;
  const float left = (frame_width - pill_width) / 2.0f;
  const float band_margin =
      frame_height * (1.0f - (frame_width / frame_height) / BAND_ASPECT) / 2.0f;
  const float top = frame_height - (PILL_LIFT * frame_height + band_margin) - l.unit;
  const float bottom = top + l.unit;

  Geometry g{};
  g.pill = {{left, top, left + pill_width, bottom}, l.pill_radius};
  g.content_width = content;
  g.content_left = left + l.left_margin;
  g.centre_y = top + l.unit / 2.0f;
  const float mark_scale = l.mark_height / MARK_BOX_HEIGHT;
  g.mark = {mark_scale, g.content_left, g.centre_y - l.mark_height / 2.0f};

  // Not a number counts as silence; outside [0, 1] is clamped.
  const double lvl = level >= 0.0 ? std::min(level, 1.0) : 0.0;
  const float bars_left = g.content_left + content + l.gap;
  for (std::size_t i = 0; i < BAR_COUNT; ++i) {
    const float s = static_cast<float>(math::bar_scale(lvl, t, math::BAR_PARAMS[i]));
    // A time that is not a number gives no scale; the bar then keeps its shortest height.
    const float h = std::max(l.bar_width, l.tallest_bar * s);
    const float x = bars_left + BAR_PITCH * static_cast<float>(i) * l.bar_width;
    const float y = g.centre_y - h / 2.0f;
    g.bars[i] = {{x, y, x + l.bar_width, y + h}, l.bar_radius};
  }
  return g;
}

Point text_origin(const Geometry& geometry, float text_height) {
  return {geometry.content_left, geometry.centre_y - text_height / 2.0f};
}

}  // namespace badge
