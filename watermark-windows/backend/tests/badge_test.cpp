#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "badge.hpp"

namespace {

using badge::Geometry;
using badge::MarkSegment;
using badge::Point;

constexpr float W = 1280.0f;
constexpr float H = 720.0f;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();
// The figures below are given to two decimals or so; the arithmetic is single precision.
constexpr float TOL = 0.006f;

TEST(BadgeLengths, AtFullHd720) {
  const badge::Lengths l = badge::lengths(W);
  struct Case {
    const char* name;
    float got;
    float want;
  };
  const Case cases[] = {
      {"unit", l.unit, 51.2f},
      {"font size", l.font_size, 18.432f},
      {"left margin", l.left_margin, 18.432f},
      {"gap", l.gap, 17.408f},
      {"right margin", l.right_margin, 18.432f},
      {"mark height", l.mark_height, 26.624f},
      {"mark width", l.mark_width, 16.147f},
      {"bar width", l.bar_width, 3.072f},
      {"tallest bar", l.tallest_bar, 21.504f},
      {"pill height", l.pill_height, 51.2f},
      {"pill radius", l.pill_radius, 25.6f},
      {"bar radius", l.bar_radius, 1.536f},
      {"text width", badge::max_text_width(W, H), 213.28f},
      {"text height", badge::max_text_height(W), 51.2f},
  };
  for (const Case& c : cases) EXPECT_NEAR(c.got, c.want, 0.001f) << c.name;
}

TEST(BadgeGeometry, BrandModeAtFullHd720) {
  const badge::Lengths l = badge::lengths(W);
  const Geometry g = badge::geometry(W, H, l.mark_width, 0.5, 1.0);

  EXPECT_NEAR(g.pill.rect.left, 590.97f, TOL);
  EXPECT_NEAR(g.pill.rect.right, 689.03f, TOL);
  EXPECT_NEAR(g.pill.rect.top, 593.2f, 0.001f);
  EXPECT_NEAR(g.pill.rect.bottom, 644.4f, 0.001f);
  EXPECT_NEAR(g.pill.radius, 25.6f, 0.001f);
  EXPECT_NEAR(g.centre_y, 618.8f, 0.001f);
  EXPECT_NEAR(g.content_left, 609.40f, TOL);

  // The mark box lands on the content place: 26.624 high, centred on the pill.
  const Point top_left = g.mark.apply({0.0f, 0.0f});
  const Point bottom_right = g.mark.apply({badge::MARK_BOX_WIDTH, badge::MARK_BOX_HEIGHT});
  EXPECT_NEAR(top_left.x, 609.40f, TOL);
  EXPECT_NEAR(bottom_right.y - top_left.y, 26.624f, 0.001f);
  EXPECT_NEAR(bottom_right.x - top_left.x, l.mark_width, 0.001f);
  EXPECT_NEAR((top_left.y + bottom_right.y) / 2.0f, g.centre_y, 0.001f);

  // Five bars, one bar width apart, the last one a right margin from the pill's end.
  EXPECT_NEAR(g.bars[0].rect.left, 642.95f, TOL);
  for (std::size_t i = 0; i < badge::BAR_COUNT; ++i) {
    const badge::Rect& r = g.bars[i].rect;
    EXPECT_NEAR(r.left, 642.95f + 6.144f * static_cast<float>(i), TOL) << i;
    EXPECT_NEAR(r.right - r.left, 3.072f, 0.001f) << i;
    EXPECT_NEAR((r.top + r.bottom) / 2.0f, g.centre_y, 0.001f) << i;
    EXPECT_NEAR(g.bars[i].radius, 1.536f, 0.001f) << i;
  }
  EXPECT_NEAR(g.pill.rect.right - g.bars[4].rect.right, l.right_margin, 0.001f);
}

// Text mode: the pill follows the measured width, up to the text layout's width.
TEST(BadgeGeometry, TextModePillFollowsContentUpToItsCap) {
  struct Case {
    float content;
    float pill_width;
    float left;
  };
  const Case cases[] = {
      {0.0f, 81.92f, 599.04f},        // empty label
      {49.464f, 131.384f, 574.308f},  // "Short"
      {213.28f, 295.2f, 492.4f},     {213.3f, 295.2f, 492.4f},
      {550.368f, 295.2f, 492.4f},  // a layout that was not cut
      {-4.0f, 81.92f, 599.04f},      {std::numeric_limits<float>::quiet_NaN(), 81.92f, 599.04f},
  };
  for (const Case& c : cases) {
    const Geometry g = badge::geometry(W, H, c.content, 0.3, 0.0);
    SCOPED_TRACE(c.content);
    EXPECT_NEAR(g.pill.rect.right - g.pill.rect.left, c.pill_width, 0.002f);
    EXPECT_NEAR(g.pill.rect.left, c.left, 0.002f);
    EXPECT_NEAR(g.bars[0].rect.left - g.content_left, g.content_width + 17.408f, 0.002f);
    // Inside the band of 0.45 H centred in the frame, with 0.02 H to spare on each side.
    EXPECT_GE(g.pill.rect.left, 492.4f - 0.002f);
    EXPECT_LE(g.pill.rect.right, 787.6f + 0.002f);
  }
  const badge::Point origin = badge::text_origin(badge::geometry(W, H, 100.0f, 0.0, 0.0), 21.456f);
  EXPECT_NEAR(origin.x, 640.0f - 90.96f + 18.432f, 0.002f);
  EXPECT_NEAR(origin.y, 618.8f - 10.728f, 0.002f);
}

float bar_height(const Geometry& g, std::size_t i) {
  return g.bars[i].rect.bottom - g.bars[i].rect.top;
}

TEST(BadgeGeometry, BarHeightsStayBetweenBarWidthAndTallestBar) {
  const double levels[] = {-3.0, -0.01, 0.0, 0.25, 0.5, 0.99, 1.0, 1.01, 7.0, NaN, INF, -INF};
  const double times[] = {0.0, 0.037, 0.5, 1.9, 12.5, 3600.25, NaN, INF};
  for (double level : levels) {
    for (double t : times) {
      const Geometry g = badge::geometry(W, H, 16.147f, level, t);
      for (std::size_t i = 0; i < badge::BAR_COUNT; ++i) {
        SCOPED_TRACE(testing::Message() << "level " << level << " t " << t << " bar " << i);
        EXPECT_GE(bar_height(g, i), 3.072f - 0.0005f);
        EXPECT_LE(bar_height(g, i), 21.504f + 0.0005f);
        EXPECT_NEAR((g.bars[i].rect.top + g.bars[i].rect.bottom) / 2.0f, g.centre_y, 0.001f);
      }
    }
  }
}

TEST(BadgeGeometry, LevelIsClampedBeforeTheBarsAreScaled) {
  struct Case {
    double level;
    double same_as;
  };
  const Case cases[] = {{-0.5, 0.0}, {1.5, 1.0}, {INF, 1.0}, {-INF, 0.0}, {NaN, 0.0}};
  for (const Case& c : cases) {
    for (double t : {0.0, 0.8, 2.45}) {
      const Geometry got = badge::geometry(W, H, 50.0f, c.level, t);
      const Geometry want = badge::geometry(W, H, 50.0f, c.same_as, t);
      EXPECT_EQ(got.bars, want.bars) << "level " << c.level << " t " << t;
    }
  }
}

TEST(BadgeGeometry, BarHeightsAtTimeZero) {
  // Heights are 21.504 x bar_scale, but never below the bar width: at level 0 the outer bars
  // (0.1294 and 0.1394 of 21.504) are held at 3.072; at level 1 the middle bar is at its top.
  struct Case {
    double level;
    float heights[badge::BAR_COUNT];
  };
  const Case cases[] = {
      {0.0, {3.072f, 0.2717f * 21.504f, 0.3832f * 21.504f, 0.2631f * 21.504f, 3.072f}},
      {0.5,
       {0.2741f * 21.504f, 0.6155f * 21.504f, 0.8222f * 21.504f, 0.5843f * 21.504f,
        0.3060f * 21.504f}},
      {1.0, {0.4189f * 21.504f, 0.9593f * 21.504f, 21.504f, 0.9055f * 21.504f, 0.4726f * 21.504f}},
  };
  for (const Case& c : cases) {
    const Geometry g = badge::geometry(W, H, 16.147f, c.level, 0.0);
    for (std::size_t i = 0; i < badge::BAR_COUNT; ++i) {
      EXPECT_NEAR(bar_height(g, i), c.heights[i], 0.0025f) << "level " << c.level << " bar " << i;
    }
  }
}

TEST(BadgeBrand, OnlyTheBrandNameInAnyAsciiCase) {
  struct Case {
    std::string label;
    bool brand;
  };
  const Case cases[] = {
      {"Vantorel", true},
      {"VANTOREL", true},
      {"vantorel", true},
      {"vAnToReL", true},
      {"Vantorel ", false},  // 9 bytes
      {" Vantorel", false},
      {"Vantore", false},
      {"", false},
      {"Vantorem", false},
      {"Vant\xC3\xB6rel", false},  // o replaced by a non-ASCII letter (UTF-8)
      {"Vant\xF6rel", false},      // the same in one byte: 8 bytes, still not the name
      {"V\xC1ntorel", false},      // a byte that folds onto 'a' only with the high bit dropped
      {std::string("Vantorel\0", 9), false},
      {"V@NTOREL", false},  // '@' | 0x20 is '`', not 'a'
  };
  for (const Case& c : cases) EXPECT_EQ(badge::is_brand(c.label), c.brand) << c.label;
}

// The outline as a polygon, each Bézier cut into short chords.
std::vector<Point> flattened_mark() {
  std::vector<Point> points{badge::MARK_START};
  for (const MarkSegment& s : badge::MARK_SEGMENTS) {
    const Point p0 = points.back();
    if (s.kind == MarkSegment::Kind::line) {
      points.push_back(s.end);
      continue;
    }
    constexpr int STEPS = 16;
    for (int k = 1; k <= STEPS; ++k) {
      const float t = static_cast<float>(k) / STEPS;
      const float a = (1 - t) * (1 - t) * (1 - t), b = 3 * (1 - t) * (1 - t) * t,
                  c = 3 * (1 - t) * t * t, d = t * t * t;
      points.push_back({a * p0.x + b * s.control1.x + c * s.control2.x + d * s.end.x,
                        a * p0.y + b * s.control1.y + c * s.control2.y + d * s.end.y});
    }
  }
  return points;
}

float cross(Point o, Point a, Point b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

bool chords_cross(Point a, Point b, Point c, Point d) {
  const float d1 = cross(c, d, a), d2 = cross(c, d, b), d3 = cross(a, b, c), d4 = cross(a, b, d);
  return ((d1 > 0) != (d2 > 0)) && ((d3 > 0) != (d4 > 0)) && d1 != 0 && d2 != 0 && d3 != 0 &&
         d4 != 0;
}

TEST(BadgeMark, SevenLinesAndSixBeziersClosedInsideTheBox) {
  int lines = 0, beziers = 0;
  float min_x = badge::MARK_START.x, max_x = min_x, min_y = badge::MARK_START.y, max_y = min_y;
  auto inside = [&](Point p) {
    min_x = std::min(min_x, p.x), max_x = std::max(max_x, p.x);
    min_y = std::min(min_y, p.y), max_y = std::max(max_y, p.y);
  };
  for (const MarkSegment& s : badge::MARK_SEGMENTS) {
    if (s.kind == MarkSegment::Kind::line) {
      ++lines;
    } else {
      ++beziers;
      inside(s.control1);
      inside(s.control2);
    }
    inside(s.end);
  }
  EXPECT_EQ(lines, 7);
  EXPECT_EQ(beziers, 6);
  EXPECT_EQ(badge::MARK_SEGMENTS.back().end, badge::MARK_START);
  // Control points included, so the curves cannot leave the box either; and the mark spans
  // it, so that the width reserved for it is the width it takes.
  EXPECT_EQ(min_x, 0.0f);
  EXPECT_EQ(max_x, badge::MARK_BOX_WIDTH);
  EXPECT_EQ(min_y, 0.0f);
  EXPECT_EQ(max_y, badge::MARK_BOX_HEIGHT);
}

TEST(BadgeMark, OutlineDoesNotCrossItself) {
  const std::vector<Point> p = flattened_mark();
  const std::size_t n = p.size() - 1;  // chords; the last point is the first again
  ASSERT_EQ(p.back(), p.front());
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 2; j < n; ++j) {
      if (i == 0 && j == n - 1) continue;  // neighbours across the start
      EXPECT_FALSE(chords_cross(p[i], p[i + 1], p[j], p[j + 1])) << i << " " << j;
    }
  }
  // Shoelace area: a solid figure of a fair share of the box, not a sliver.
  double area = 0.0;
  for (std::size_t i = 0; i < n; ++i)
    area += double{p[i].x} * p[i + 1].y - double{p[i + 1].x} * p[i].y;
  EXPECT_GT(std::abs(area) / 2.0, 0.4 * badge::MARK_BOX_WIDTH * badge::MARK_BOX_HEIGHT);
}

}  // namespace
