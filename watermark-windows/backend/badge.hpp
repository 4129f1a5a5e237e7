#pragma once
// The watermark badge as numbers: a dark translucent pill near the bottom of the frame holding
// the brand mark or the brand text on its left and five level bars on its right. Everything the
// Direct2D side draws, and where, is decided here from the frame size, the content's width, the
// level and the time; the badge keeps no state between frames. Platform-free.

#include <array>
#include <cstddef>
#include <string_view>

#include "lib.hpp"
#include "math.hpp"

namespace badge {

using shared::BRAND_NAME;

// True when `label` is BRAND_NAME with ASCII letters compared without regard to case, byte for
// byte (so neither a trailing blank nor a non-ASCII letter matches).
bool is_brand(std::string_view label);

// Straight (not premultiplied) red, green, blue, alpha.
struct Colour {
  float r, g, b, a;
};
inline constexpr Colour PILL_COLOUR{0.1f, 0.1f, 0.1f, 0.76f};
inline constexpr Colour TEXT_COLOUR{1.0f, 1.0f, 1.0f, 1.0f};
inline constexpr Colour MARK_COLOUR{68.0f / 255.0f, 105.0f / 255.0f, 252.0f / 255.0f, 1.0f};
inline constexpr Colour BAR_COLOUR{1.0f, 1.0f, 1.0f, 0.95f};

struct Point {
  float x, y;
  friend bool operator==(const Point&, const Point&) = default;
};

// The brand mark: one closed, filled outline in a box of MARK_BOX_WIDTH x MARK_BOX_HEIGHT units
// (x to the right, y downward, origin at the box's top-left). A bold V with soft outer corners
// and a crisp inner point. Each segment starts where the previous one ended; the last one ends
// at MARK_START.
inline constexpr float MARK_BOX_WIDTH = 168.0f;
inline constexpr float MARK_BOX_HEIGHT = 277.0f;

struct MarkSegment {
  enum class Kind { line, bezier };
  Kind kind;
  Point control1;  // Béziers only
  Point control2;  // Béziers only
  Point end;

  static constexpr MarkSegment line(Point end) { return {Kind::line, {}, {}, end}; }
  static constexpr MarkSegment bezier(Point c1, Point c2, Point end) {
    return {Kind::bezier, c1, c2, end};
  }
};

inline constexpr Point MARK_START{0.0f, 24.0f};

inline constexpr std::array<MarkSegment, 13> MARK_SEGMENTS{
    // Left arm: rounded outer corner, flat top, rounded inner corner, inner edge.
    MarkSegment::bezier({0.0f, 10.75f}, {10.75f, 0.0f}, {24.0f, 0.0f}),
    MarkSegment::line({44.0f, 0.0f}),
    MarkSegment::bezier({51.0f, 0.0f}, {57.0f, 6.0f}, {58.0f, 12.0f}),
    MarkSegment::line({84.0f, 170.0f}),
    // Right arm, mirrored.
    MarkSegment::line({110.0f, 12.0f}),
    MarkSegment::bezier({111.0f, 6.0f}, {117.0f, 0.0f}, {124.0f, 0.0f}),
    MarkSegment::line({144.0f, 0.0f}),
    MarkSegment::bezier({157.25f, 0.0f}, {168.0f, 10.75f}, {168.0f, 24.0f}),
    // Outer edges down to a flat foot with rounded corners.
    MarkSegment::line({115.0f, 263.5f}),
    MarkSegment::bezier({113.4f, 270.8f}, {105.7f, 277.0f}, {98.0f, 277.0f}),
    MarkSegment::line({70.0f, 277.0f}),
    MarkSegment::bezier({62.3f, 277.0f}, {54.6f, 270.8f}, {53.0f, 263.5f}),
    MarkSegment::line(MARK_START),
};

// The lengths of one frame size, all multiples of the unit u = 0.04 x frame width.
struct Lengths {
  float unit;
  float font_size;
  float left_margin;   // pill edge to content
  float gap;           // content to the first bar
  float right_margin;  // last bar to pill edge
  float mark_height;
  float mark_width;
  float bar_width;  // also the gap between bars and the shortest bar
  float tallest_bar;
  float pill_height;
  float pill_radius;
  float bar_radius;
};
Lengths lengths(float frame_width);

// The largest text layout for the label: its width keeps the pill inside a band of 0.45 x frame
// height centred in the frame, with 0.02 x frame height to spare on each side.
float max_text_width(float frame_width, float frame_height);
float max_text_height(float frame_width);

struct Rect {
  float left, top, right, bottom;
  friend bool operator==(const Rect&, const Rect&) = default;
};
// Rounded on both axes with the same radius.
struct RoundedRect {
  Rect rect;
  float radius;
  friend bool operator==(const RoundedRect&, const RoundedRect&) = default;
};

// Uniform scale, then translation: maps a mark box point p to (p x scale + dx, p y scale + dy).
struct Transform {
  float scale;
  float dx, dy;
  Point apply(Point p) const { return {p.x * scale + dx, p.y * scale + dy}; }
};

inline constexpr std::size_t BAR_COUNT = math::BAR_PARAMS.size();

struct Geometry {
  RoundedRect pill;
  float content_width;  // as used: at most max_text_width
  float content_left;
  float centre_y;                           // of the pill, the content and the bars
  Transform mark;                           // puts the mark box onto the content place
  std::array<RoundedRect, BAR_COUNT> bars;  // left to right
};

// The badge for a frame of `frame_width` x `frame_height` whose content (the mark width, or the
// measured text width) is `content_width` wide. `level` is clamped to [0, 1] (not a number counts
// as 0); `t` is the animation time in seconds.
Geometry geometry(float frame_width, float frame_height, float content_width, double level,
                  double t);

// Where a text layout `text_height` high is drawn so that it is centred on the pill.
Point text_origin(const Geometry& geometry, float text_height);

}  // namespace badge
