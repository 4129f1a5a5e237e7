#include <gtest/gtest.h>

#include <windows.h>

#include <d2d1.h>
#include <dwrite.h>
#include <wincodec.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "badge.hpp"
#include "badge_win.hpp"
#include "com_win.hpp"
#include "math.hpp"
#include "pixel_colours.hpp"
#include "png_win.hpp"
#include "win_error.hpp"

// d2d1.h declares its methods __declspec(nothrow) through STDMETHOD; the recording render target
// below overrides them as plain methods, which only clang remarks on.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wmicrosoft-exception-spec"
#endif

namespace {

using namespace test_pixels;

using shared::win::ComObject;
using shared::win::ComRef;

constexpr float W = static_cast<float>(math::FRAME_WIDTH);
constexpr float H = static_cast<float>(math::FRAME_HEIGHT);
constexpr int WIDTH = static_cast<int>(math::FRAME_WIDTH);
constexpr int HEIGHT = static_cast<int>(math::FRAME_HEIGHT);

const char* const LONG_LABEL =
    "A rather long participant name that will never fit into the badge at all";

class ComEnvironment : public testing::Environment {
 public:
  void SetUp() override { ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }
  void TearDown() override { CoUninitialize(); }
};
testing::Environment* const com_environment = testing::AddGlobalTestEnvironment(new ComEnvironment);

bool light(Bgra p) {
  return p.b > 160 && p.g > 160 && p.r > 160;
}

// The drawn frame as read back from the WIC bitmap.
struct Picture {
  std::vector<std::uint8_t> bytes;
  UINT stride = 0;

  Bgra at(int x, int y) const {
    const std::uint8_t* p = bytes.data() + std::size_t(y) * stride + std::size_t(x) * 4;
    return {p[0], p[1], p[2], p[3]};
  }
  // The pixel that holds the point.
  Bgra at(badge::Point p) const {
    return at(static_cast<int>(std::floor(p.x)), static_cast<int>(std::floor(p.y)));
  }
};

// One call the badge made on the render target.
struct Call {
  std::string name;
  std::array<float, 6> values{};
};

// A render target that passes the calls a badge makes to a real one and records them (reading
// the transform passes unrecorded). Brush creation fails on request; any other call is recorded
// as unexpected and not passed on.
class RecordingTarget final : public ComObject<ID2D1RenderTarget> {
 public:
  explicit RecordingTarget(ID2D1RenderTarget* real)
      : real_(ComRef<ID2D1RenderTarget>::retain(real)) {}

  std::vector<Call> calls;
  int fail_brush = 0;  // the n-th brush creation (from 1) fails
  HRESULT brush_failure = D2DERR_RECREATE_TARGET;
  std::vector<ComRef<IUnknown>> brushes;  // every brush handed out
  ComRef<IDWriteTextLayout> layout;       // the last one drawn
  mutable std::vector<std::string> unexpected_calls;

  HRESULT STDMETHODCALLTYPE CreateSolidColorBrush(const D2D1_COLOR_F* colour,
                                                  const D2D1_BRUSH_PROPERTIES* properties,
                                                  ID2D1SolidColorBrush** brush) override {
    calls.push_back({"brush", {colour->r, colour->g, colour->b, colour->a}});
    if (++brushes_ == fail_brush) {
      *brush = nullptr;
      return brush_failure;
    }
    const HRESULT hr = real_->CreateSolidColorBrush(colour, properties, brush);
    if (SUCCEEDED(hr)) brushes.push_back(ComRef<IUnknown>::retain(*brush));
    return hr;
  }
  void STDMETHODCALLTYPE FillRoundedRectangle(const D2D1_ROUNDED_RECT* r,
                                              ID2D1Brush* brush) override {
    calls.push_back(
        {"fill_rounded",
         {r->rect.left, r->rect.top, r->rect.right, r->rect.bottom, r->radiusX, r->radiusY}});
    real_->FillRoundedRectangle(r, brush);
  }
  void STDMETHODCALLTYPE FillGeometry(ID2D1Geometry* geometry, ID2D1Brush* brush,
                                      ID2D1Brush* opacity) override {
    calls.push_back({"fill_geometry", {opacity ? 1.0f : 0.0f}});
    real_->FillGeometry(geometry, brush, opacity);
  }
  void STDMETHODCALLTYPE DrawTextLayout(D2D1_POINT_2F origin, IDWriteTextLayout* text,
                                        ID2D1Brush* brush,
                                        D2D1_DRAW_TEXT_OPTIONS options) override {
    calls.push_back({"text", {origin.x, origin.y, static_cast<float>(options)}});
    layout = ComRef<IDWriteTextLayout>::retain(text);
    real_->DrawTextLayout(origin, text, brush, options);
  }
  void STDMETHODCALLTYPE SetTransform(const D2D1_MATRIX_3X2_F* m) override {
    calls.push_back({"transform", {m->_11, m->_12, m->_21, m->_22, m->_31, m->_32}});
    real_->SetTransform(m);
  }
  void STDMETHODCALLTYPE GetTransform(D2D1_MATRIX_3X2_F* m) const override {
    real_->GetTransform(m);
  }

#define VT_UNEXPECTED_HR(name, ...)                      \
  HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { \
    unexpected(#name);                                   \
    return E_NOTIMPL;                                    \
  }
#define VT_UNEXPECTED_CONST(result, name, ...)                \
  result STDMETHODCALLTYPE name(__VA_ARGS__) const override { \
    unexpected(#name);                                        \
    return {};                                                \
  }
#define VT_UNEXPECTED_VOID(name, ...)                 \
  void STDMETHODCALLTYPE name(__VA_ARGS__) override { \
    unexpected(#name);                                \
  }
#define VT_UNEXPECTED_VOID_CONST(name, ...)                 \
  void STDMETHODCALLTYPE name(__VA_ARGS__) const override { \
    unexpected(#name);                                      \
  }

  VT_UNEXPECTED_VOID_CONST(GetFactory, ID2D1Factory**)
  VT_UNEXPECTED_HR(CreateBitmap, D2D1_SIZE_U, const void*, UINT32, const D2D1_BITMAP_PROPERTIES*,
                   ID2D1Bitmap**)
  VT_UNEXPECTED_HR(CreateBitmapFromWicBitmap, IWICBitmapSource*, const D2D1_BITMAP_PROPERTIES*,
                   ID2D1Bitmap**)
  VT_UNEXPECTED_HR(CreateSharedBitmap, REFIID, void*, const D2D1_BITMAP_PROPERTIES*, ID2D1Bitmap**)
  VT_UNEXPECTED_HR(CreateBitmapBrush, ID2D1Bitmap*, const D2D1_BITMAP_BRUSH_PROPERTIES*,
                   const D2D1_BRUSH_PROPERTIES*, ID2D1BitmapBrush**)
  VT_UNEXPECTED_HR(CreateGradientStopCollection, const D2D1_GRADIENT_STOP*, UINT, D2D1_GAMMA,
                   D2D1_EXTEND_MODE, ID2D1GradientStopCollection**)
  VT_UNEXPECTED_HR(CreateLinearGradientBrush, const D2D1_LINEAR_GRADIENT_BRUSH_PROPERTIES*,
                   const D2D1_BRUSH_PROPERTIES*, ID2D1GradientStopCollection*,
                   ID2D1LinearGradientBrush**)
  VT_UNEXPECTED_HR(CreateRadialGradientBrush, const D2D1_RADIAL_GRADIENT_BRUSH_PROPERTIES*,
                   const D2D1_BRUSH_PROPERTIES*, ID2D1GradientStopCollection*,
                   ID2D1RadialGradientBrush**)
  VT_UNEXPECTED_HR(CreateCompatibleRenderTarget, const D2D1_SIZE_F*, const D2D1_SIZE_U*,
                   const D2D1_PIXEL_FORMAT*, D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS,
                   ID2D1BitmapRenderTarget**)
  VT_UNEXPECTED_HR(CreateLayer, const D2D1_SIZE_F*, ID2D1Layer**)
  VT_UNEXPECTED_HR(CreateMesh, ID2D1Mesh**)
  VT_UNEXPECTED_VOID(DrawLine, D2D1_POINT_2F, D2D1_POINT_2F, ID2D1Brush*, FLOAT, ID2D1StrokeStyle*)
  VT_UNEXPECTED_VOID(DrawRectangle, const D2D1_RECT_F*, ID2D1Brush*, FLOAT, ID2D1StrokeStyle*)
  VT_UNEXPECTED_VOID(FillRectangle, const D2D1_RECT_F*, ID2D1Brush*)
  VT_UNEXPECTED_VOID(DrawRoundedRectangle, const D2D1_ROUNDED_RECT*, ID2D1Brush*, FLOAT,
                     ID2D1StrokeStyle*)
  VT_UNEXPECTED_VOID(DrawEllipse, const D2D1_ELLIPSE*, ID2D1Brush*, FLOAT, ID2D1StrokeStyle*)
  VT_UNEXPECTED_VOID(FillEllipse, const D2D1_ELLIPSE*, ID2D1Brush*)
  VT_UNEXPECTED_VOID(DrawGeometry, ID2D1Geometry*, ID2D1Brush*, FLOAT, ID2D1StrokeStyle*)
  VT_UNEXPECTED_VOID(FillMesh, ID2D1Mesh*, ID2D1Brush*)
  VT_UNEXPECTED_VOID(FillOpacityMask, ID2D1Bitmap*, ID2D1Brush*, D2D1_OPACITY_MASK_CONTENT,
                     const D2D1_RECT_F*, const D2D1_RECT_F*)
  VT_UNEXPECTED_VOID(DrawBitmap, ID2D1Bitmap*, const D2D1_RECT_F*, FLOAT,
                     D2D1_BITMAP_INTERPOLATION_MODE, const D2D1_RECT_F*)
  VT_UNEXPECTED_VOID(DrawText, const WCHAR*, UINT, IDWriteTextFormat*, const D2D1_RECT_F*,
                     ID2D1Brush*, D2D1_DRAW_TEXT_OPTIONS, DWRITE_MEASURING_MODE)
  VT_UNEXPECTED_VOID(DrawGlyphRun, D2D1_POINT_2F, const DWRITE_GLYPH_RUN*, ID2D1Brush*,
                     DWRITE_MEASURING_MODE)
  VT_UNEXPECTED_VOID(SetAntialiasMode, D2D1_ANTIALIAS_MODE)
  VT_UNEXPECTED_CONST(D2D1_ANTIALIAS_MODE, GetAntialiasMode)
  VT_UNEXPECTED_VOID(SetTextAntialiasMode, D2D1_TEXT_ANTIALIAS_MODE)
  VT_UNEXPECTED_CONST(D2D1_TEXT_ANTIALIAS_MODE, GetTextAntialiasMode)
  VT_UNEXPECTED_VOID(SetTextRenderingParams, IDWriteRenderingParams*)
  VT_UNEXPECTED_VOID_CONST(GetTextRenderingParams, IDWriteRenderingParams**)
  VT_UNEXPECTED_VOID(SetTags, D2D1_TAG, D2D1_TAG)
  VT_UNEXPECTED_VOID_CONST(GetTags, D2D1_TAG*, D2D1_TAG*)
  VT_UNEXPECTED_VOID(PushLayer, const D2D1_LAYER_PARAMETERS*, ID2D1Layer*)
  VT_UNEXPECTED_VOID(PopLayer)
  VT_UNEXPECTED_HR(Flush, D2D1_TAG*, D2D1_TAG*)
  VT_UNEXPECTED_VOID_CONST(SaveDrawingState, ID2D1DrawingStateBlock*)
  VT_UNEXPECTED_VOID(RestoreDrawingState, ID2D1DrawingStateBlock*)
  VT_UNEXPECTED_VOID(PushAxisAlignedClip, const D2D1_RECT_F*, D2D1_ANTIALIAS_MODE)
  VT_UNEXPECTED_VOID(PopAxisAlignedClip)
  VT_UNEXPECTED_VOID(Clear, const D2D1_COLOR_F*)
  VT_UNEXPECTED_VOID(BeginDraw)
  VT_UNEXPECTED_HR(EndDraw, D2D1_TAG*, D2D1_TAG*)
#ifdef WIDL_EXPLICIT_AGGREGATE_RETURNS
  // mingw-w64 declares the methods that return a structure with an out-parameter.
  VT_UNEXPECTED_CONST(D2D1_PIXEL_FORMAT*, GetPixelFormat, D2D1_PIXEL_FORMAT*)
  VT_UNEXPECTED_CONST(D2D1_SIZE_F*, GetSize, D2D1_SIZE_F*)
  VT_UNEXPECTED_CONST(D2D1_SIZE_U*, GetPixelSize, D2D1_SIZE_U*)
#else
  VT_UNEXPECTED_CONST(D2D1_PIXEL_FORMAT, GetPixelFormat)
  VT_UNEXPECTED_CONST(D2D1_SIZE_F, GetSize)
  VT_UNEXPECTED_CONST(D2D1_SIZE_U, GetPixelSize)
#endif
  VT_UNEXPECTED_VOID(SetDpi, FLOAT, FLOAT)
  VT_UNEXPECTED_VOID_CONST(GetDpi, FLOAT*, FLOAT*)
  VT_UNEXPECTED_CONST(UINT32, GetMaximumBitmapSize)
  VT_UNEXPECTED_CONST(BOOL, IsSupported, const D2D1_RENDER_TARGET_PROPERTIES*)
#undef VT_UNEXPECTED_HR
#undef VT_UNEXPECTED_CONST
#undef VT_UNEXPECTED_VOID
#undef VT_UNEXPECTED_VOID_CONST

 private:
  void unexpected(const char* name) const {
    unexpected_calls.push_back(name);
  }

  ComRef<ID2D1RenderTarget> real_;
  int brushes_ = 0;
};

// A 1280 x 720 software render target on a premultiplied BGRA WIC bitmap, as the compositor
// draws on, and a badge made from the same multithreaded factory. Made once for a suite: under
// Wine the render target takes about a second to set up, and every draw starts from a clear.
struct Canvas {
  ComRef<IWICBitmap> bitmap;
  ComRef<ID2D1Factory> factory;
  ComRef<ID2D1RenderTarget> target;
  std::optional<badge::Badge> badge;
};

std::unique_ptr<Canvas> make_canvas() {
  auto canvas = std::make_unique<Canvas>();
  ComRef<IWICImagingFactory> wic;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(wic.put()));
  if (SUCCEEDED(hr)) {
    hr = wic->CreateBitmap(math::FRAME_WIDTH, math::FRAME_HEIGHT, GUID_WICPixelFormat32bppPBGRA,
                           WICBitmapCacheOnLoad, canvas->bitmap.put());
  }
  if (SUCCEEDED(hr)) {
    hr = D2D1CreateFactory(D2D1_FACTORY_TYPE_MULTI_THREADED, __uuidof(ID2D1Factory), nullptr,
                           reinterpret_cast<void**>(canvas->factory.put()));
  }
  if (SUCCEEDED(hr)) {
    const D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_SOFTWARE,
        D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED));
    hr = canvas->factory->CreateWicBitmapRenderTarget(canvas->bitmap.get(), &properties,
                                                      canvas->target.put());
  }
  if (FAILED(hr)) {
    ADD_FAILURE() << "no render target: " << shared::win::hresult_error(hr).text();
    return nullptr;
  }
  auto made = badge::Badge::create(canvas->factory.get());
  if (!made) {
    ADD_FAILURE() << "no badge: " << made.error().text();
    return nullptr;
  }
  canvas->badge.emplace(std::move(*made));
  return canvas;
}

class BadgeWinTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { canvas_ = make_canvas(); }
  static void TearDownTestSuite() { canvas_.reset(); }
  void SetUp() override { ASSERT_TRUE(canvas_); }

  // One frame: opaque black, then the badge, drawn through `through` when given.
  shared::Result<void> draw(std::string_view label, double level, double t,
                            ID2D1RenderTarget* through = nullptr) {
    canvas_->target->BeginDraw();
    canvas_->target->Clear(D2D1::ColorF(0.0f, 0.0f, 0.0f, 1.0f));
    auto drawn =
        canvas_->badge->draw(through ? through : canvas_->target.get(), label, W, H, level, t);
    EXPECT_HRESULT_SUCCEEDED(canvas_->target->EndDraw());
    return drawn;
  }

  Picture read() {
    Picture picture;
    ComRef<IWICBitmapLock> lock;
    const WICRect all{0, 0, WIDTH, HEIGHT};
    EXPECT_HRESULT_SUCCEEDED(canvas_->bitmap->Lock(&all, WICBitmapLockRead, lock.put()));
    if (!lock) return picture;
    UINT size = 0;
    BYTE* data = nullptr;
    EXPECT_HRESULT_SUCCEEDED(lock->GetStride(&picture.stride));
    EXPECT_HRESULT_SUCCEEDED(lock->GetDataPointer(&size, &data));
    picture.bytes.assign(data, data + size);
    return picture;
  }

  bool identity_transform() {
    D2D1_MATRIX_3X2_F m{};
    canvas_->target->GetTransform(&m);
    return m._11 == 1.0f && m._12 == 0.0f && m._21 == 0.0f && m._22 == 1.0f && m._31 == 0.0f &&
           m._32 == 0.0f;
  }

  static inline std::unique_ptr<Canvas> canvas_;
};

// Left and right pill edges as drawn on the pill's centre row: the first and the last pixel that
// is not black.
std::pair<int, int> pill_span(const Picture& picture, int row) {
  int first = -1, last = -1;
  for (int x = 0; x < WIDTH; ++x) {
    if (!close_to(picture.at(x, row), BLACK)) {
      if (first < 0) first = x;
      last = x;
    }
  }
  return {first, last};
}

struct PixelCase {
  const char* name;  // of the picture written to the build folder
  const char* label;
  double level;
  double t;
  bool brand;
  bool cut;  // the label is too long and must end at the text layout's width
};

class BadgePixels : public BadgeWinTest, public testing::WithParamInterface<PixelCase> {};

TEST_P(BadgePixels, DrawnWhereTheGeometrySays) {
  const PixelCase& c = GetParam();
  auto drawn = draw(c.label, c.level, c.t);
  ASSERT_TRUE(drawn) << drawn.error().text();
  EXPECT_TRUE(identity_transform());
  const Picture picture = read();
  ASSERT_FALSE(picture.bytes.empty());
  const std::string file = std::string("badge_") + c.name + ".png";
  auto written = test_png::write_png(file, picture.bytes, math::FRAME_WIDTH, math::FRAME_HEIGHT,
                                     picture.stride);
  EXPECT_TRUE(written) << written.error().text();

  // Where the pill stands tells the content width the text measured; in brand mode it is known.
  const badge::Lengths l = badge::lengths(W);
  const badge::Geometry brand_geometry = badge::geometry(W, H, l.mark_width, c.level, c.t);
  const int row = static_cast<int>(std::floor(brand_geometry.centre_y));
  const auto [first, last] = pill_span(picture, row);
  ASSERT_GE(first, 0) << "no pill";
  const float drawn_width = static_cast<float>(last + 1 - first);
  const badge::Geometry g =
      c.brand ? brand_geometry : badge::geometry(W, H, drawn_width - (l.unit * 1.6f), c.level, c.t);
  const badge::Rect& pill = g.pill.rect;
  EXPECT_NEAR(first, pill.left, 1.0f);
  EXPECT_NEAR(last + 1, pill.right, 1.0f);
  if (c.cut) {
    // Cut at a character boundary within the layout's 213.28: at most 295.2 wide, short of it
    // by less than about a character and the ellipsis.
    EXPECT_LE(drawn_width, 295.2f + 1.0f);
    EXPECT_GT(drawn_width, 295.2f - 2.0f * l.font_size);
  } else if (!c.brand) {
    EXPECT_LT(drawn_width, 295.2f - 20.0f);
  }

  // Nothing outside the pill (one pixel of edge smoothing allowed).
  int outside = 0;
  for (int y = 0; y < HEIGHT; ++y) {
    for (int x = 0; x < WIDTH; ++x) {
      const bool in = x + 1 >= pill.left - 1 && x <= pill.right + 1 && y + 1 >= pill.top - 1 &&
                      y <= pill.bottom + 1;
      if (!in && !close_to(picture.at(x, y), BLACK)) ++outside;
    }
  }
  EXPECT_EQ(outside, 0);

  // Pill colour where neither content nor bars are: the left end, the right end, above the
  // content.
  const float cy = g.centre_y;
  for (badge::Point p : {badge::Point{pill.left + 6.0f, cy}, badge::Point{pill.right - 7.0f, cy},
                         badge::Point{g.content_left + 4.0f, pill.top + 4.0f},
                         badge::Point{g.bars[0].rect.left - 3.0f, pill.bottom - 5.0f}}) {
    EXPECT_TRUE(close_to(picture.at(p), PILL))
        << p.x << "," << p.y << ": " << describe(picture.at(p));
  }

  // Five white bars of the heights the geometry gives, with pill between them.
  for (std::size_t i = 0; i < badge::BAR_COUNT; ++i) {
    const badge::Rect& r = g.bars[i].rect;
    const float cx = (r.left + r.right) / 2.0f;
    SCOPED_TRACE(testing::Message() << "bar " << i << " height " << r.bottom - r.top);
    EXPECT_TRUE(close_to(picture.at({cx, cy}), BAR)) << describe(picture.at({cx, cy}));
    EXPECT_TRUE(close_to(picture.at({r.right + 1.5f, cy}), PILL));
    EXPECT_TRUE(close_to(picture.at({cx, r.top - 1.2f}), PILL))
        << describe(picture.at({cx, r.top - 1.2f}));
    EXPECT_TRUE(close_to(picture.at({cx, r.bottom + 1.2f}), PILL));
    if (r.bottom - r.top >= 6.0f) {
      EXPECT_TRUE(close_to(picture.at({cx, r.top + 1.6f}), BAR))
          << describe(picture.at({cx, r.top + 1.6f}));
      EXPECT_TRUE(close_to(picture.at({cx, r.bottom - 1.6f}), BAR));
    }
  }

  // The content: light text pixels only within the content width, or the mark and no text.
  int text_pixels = 0, beyond = 0;
  for (int y = static_cast<int>(pill.top); y < static_cast<int>(pill.bottom); ++y) {
    for (int x = static_cast<int>(pill.left); x < static_cast<int>(g.bars[0].rect.left) - 1; ++x) {
      if (!light(picture.at(x, y))) continue;
      if (x + 1 < g.content_left - 1.0f || x > g.content_left + g.content_width + 1.0f) {
        ++beyond;
      } else {
        ++text_pixels;
      }
    }
  }
  EXPECT_EQ(beyond, 0);
  if (c.brand) {
    EXPECT_EQ(text_pixels, 0);
    // Inside both arms and the foot of the V, and in the opening between the arms.
    for (badge::Point p :
         {badge::Point{48.5f, 120.0f}, badge::Point{119.5f, 120.0f}, badge::Point{84.0f, 230.0f}}) {
      const badge::Point at = g.mark.apply(p);
      EXPECT_TRUE(close_to(picture.at(at), MARK))
          << p.x << "," << p.y << ": " << describe(picture.at(at));
    }
    const badge::Point opening = g.mark.apply({84.0f, 20.0f});
    EXPECT_TRUE(close_to(picture.at(opening), PILL)) << describe(picture.at(opening));
  } else {
    EXPECT_GT(text_pixels, 40);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Labels, BadgePixels,
    testing::Values(PixelCase{"brand", "Vantorel", 0.6, 1.3, true, false},
                    PixelCase{"brand_capitals_quiet", "VANTOREL", 0.0, 0.0, true, false},
                    PixelCase{"text", "Acme Studio", 0.8, 2.0, false, false},
                    PixelCase{"text_long_cut", LONG_LABEL, 1.0, 0.5, false, true}),
    [](const testing::TestParamInfo<PixelCase>& info) { return std::string(info.param.name); });

// Trailing blanks do not widen the pill.
TEST_F(BadgeWinTest, TrailingBlanksAreNotMeasured) {
  auto pill_width = [&](const char* label) {
    EXPECT_TRUE(draw(label, 0.5, 0.0));
    const Picture picture = read();
    const auto [first, last] = pill_span(picture, 618);
    return last - first;
  };
  EXPECT_EQ(pill_width("Acme   "), pill_width("Acme"));
}

struct FailureCase {
  const char* name;
  const char* label;
  int fail_brush;  // 0: none
  std::vector<std::string> calls;
};

class BadgeCalls : public BadgeWinTest, public testing::WithParamInterface<FailureCase> {};

// The order of the calls, what each is given, the first failure returned at once, the transform
// put back and every brush and text object released before draw returns.
TEST_P(BadgeCalls, OrderArgumentsAndFailures) {
  const FailureCase& c = GetParam();
  const double level = 0.7, t = 0.9;
  ComRef<RecordingTarget> recorder(new RecordingTarget(canvas_->target.get()));
  recorder->fail_brush = c.fail_brush;

  auto drawn = draw(c.label, level, t, recorder.get());
  if (c.fail_brush == 0) {
    EXPECT_TRUE(drawn) << drawn.error().text();
  } else {
    ASSERT_FALSE(drawn);
    EXPECT_EQ(drawn.error().code(), recorder->brush_failure);
  }
  EXPECT_TRUE(identity_transform());
  EXPECT_EQ(recorder->unexpected_calls, std::vector<std::string>{});

  std::vector<std::string> names;
  for (const Call& call : recorder->calls) names.push_back(call.name);
  EXPECT_EQ(names, c.calls);

  for (const ComRef<IUnknown>& brush : recorder->brushes) {
    brush->AddRef();
    EXPECT_EQ(brush->Release(), 1u) << "brush still held by the badge";
  }
  if (recorder->layout) {
    recorder->layout->AddRef();
    EXPECT_EQ(recorder->layout->Release(), 1u) << "text layout still held by the badge";
  }
  // Where the text failed before it was drawn, its width is not known here.
  const bool brand = badge::is_brand(c.label);
  if (!brand && !recorder->layout) return;

  // The arguments, against the portable geometry for the width that was drawn.
  const badge::Lengths l = badge::lengths(W);
  float content = l.mark_width;
  float text_height = 0.0f;
  if (recorder->layout) {
    IDWriteTextLayout* layout = recorder->layout.get();
    IDWriteTextFormat* format = layout;
    DWRITE_TEXT_METRICS metrics{};
    ASSERT_HRESULT_SUCCEEDED(layout->GetMetrics(&metrics));
    content = metrics.width;
    text_height = metrics.height;
    EXPECT_FLOAT_EQ(layout->GetMaxWidth(), badge::max_text_width(W, H));
    EXPECT_FLOAT_EQ(layout->GetMaxHeight(), l.unit);
    EXPECT_EQ(format->GetWordWrapping(), DWRITE_WORD_WRAPPING_NO_WRAP);
    DWRITE_TRIMMING trimming{};
    ComRef<IDWriteInlineObject> sign;
    ASSERT_HRESULT_SUCCEEDED(format->GetTrimming(&trimming, sign.put()));
    EXPECT_EQ(trimming.granularity, DWRITE_TRIMMING_GRANULARITY_CHARACTER);
    EXPECT_EQ(trimming.delimiter, 0u);
    EXPECT_EQ(trimming.delimiterCount, 0u);
    EXPECT_TRUE(sign);
    WCHAR name[64] = {};
    ASSERT_HRESULT_SUCCEEDED(format->GetFontFamilyName(name, 64));
    EXPECT_EQ(std::wstring(name), L"Segoe UI Variable Text");
    ASSERT_HRESULT_SUCCEEDED(format->GetLocaleName(name, 64));
    EXPECT_EQ(std::wstring(name), L"en-us");
    EXPECT_EQ(format->GetFontWeight(), DWRITE_FONT_WEIGHT_MEDIUM);
    EXPECT_EQ(format->GetFontStyle(), DWRITE_FONT_STYLE_NORMAL);
    EXPECT_EQ(format->GetFontStretch(), DWRITE_FONT_STRETCH_NORMAL);
    EXPECT_FLOAT_EQ(format->GetFontSize(), l.font_size);
  }
  const badge::Geometry g = badge::geometry(W, H, content, level, t);
  const std::array<float, 4> colours[] = {
      {badge::PILL_COLOUR.r, badge::PILL_COLOUR.g, badge::PILL_COLOUR.b, badge::PILL_COLOUR.a},
      {badge::MARK_COLOUR.r, badge::MARK_COLOUR.g, badge::MARK_COLOUR.b, badge::MARK_COLOUR.a},
      {badge::TEXT_COLOUR.r, badge::TEXT_COLOUR.g, badge::TEXT_COLOUR.b, badge::TEXT_COLOUR.a},
      {badge::BAR_COLOUR.r, badge::BAR_COLOUR.g, badge::BAR_COLOUR.b, badge::BAR_COLOUR.a},
  };
  auto rounded = [](const badge::RoundedRect& r) {
    return std::array<float, 6>{r.rect.left,   r.rect.top, r.rect.right,
                                r.rect.bottom, r.radius,   r.radius};
  };
  int brushes = 0, rects = 0, transforms = 0;
  for (const Call& call : recorder->calls) {
    SCOPED_TRACE(call.name);
    if (call.name == "brush") {
      // Pill, then the content's own colour, then the bars.
      const int which = brushes == 0 ? 0 : brushes == 2 ? 3 : brand ? 1 : 2;
      for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(call.values[k], colours[which][k]);
      ++brushes;
    } else if (call.name == "fill_rounded") {
      const std::array<float, 6> want = rects == 0 ? rounded(g.pill) : rounded(g.bars[rects - 1]);
      for (int k = 0; k < 6; ++k) EXPECT_FLOAT_EQ(call.values[k], want[k]) << rects << " " << k;
      ++rects;
    } else if (call.name == "transform") {
      const std::array<float, 6> want =
          transforms == 0
              ? std::array<float, 6>{g.mark.scale, 0, 0, g.mark.scale, g.mark.dx, g.mark.dy}
              : std::array<float, 6>{1, 0, 0, 1, 0, 0};
      for (int k = 0; k < 6; ++k) EXPECT_FLOAT_EQ(call.values[k], want[k]) << k;
      ++transforms;
    } else if (call.name == "fill_geometry") {
      EXPECT_EQ(call.values[0], 0.0f) << "no opacity brush";
    } else if (call.name == "text") {
      const badge::Point origin = badge::text_origin(g, text_height);
      EXPECT_FLOAT_EQ(call.values[0], origin.x);
      EXPECT_FLOAT_EQ(call.values[1], origin.y);
      EXPECT_EQ(call.values[2], static_cast<float>(D2D1_DRAW_TEXT_OPTIONS_NONE));
    }
  }
}

const std::vector<std::string> BARS{"fill_rounded", "fill_rounded", "fill_rounded", "fill_rounded",
                                    "fill_rounded"};

std::vector<std::string> with_bars(std::vector<std::string> calls) {
  calls.insert(calls.end(), BARS.begin(), BARS.end());
  return calls;
}

const FailureCase FAILURE_CASES[] = {
    {"brand", "Vantorel", 0,
     with_bars(
         {"brush", "fill_rounded", "transform", "brush", "fill_geometry", "transform", "brush"})},
    {"brand_pill_brush_fails", "vantorel", 1, {"brush"}},
    // The transform is set back before the mark's failure is returned.
    {"brand_mark_brush_fails",
     "Vantorel",
     2,
     {"brush", "fill_rounded", "transform", "brush", "transform"}},
    {"brand_bar_brush_fails",
     "Vantorel",
     3,
     {"brush", "fill_rounded", "transform", "brush", "fill_geometry", "transform", "brush"}},
    {"text", "Acme Studio", 0, with_bars({"brush", "fill_rounded", "brush", "text", "brush"})},
    {"text_pill_brush_fails", "Acme Studio", 1, {"brush"}},
    {"text_brush_fails", "Acme Studio", 2, {"brush", "fill_rounded", "brush"}},
    {"text_bar_brush_fails", "Acme Studio", 3, {"brush", "fill_rounded", "brush", "text", "brush"}},
    {"long_text", LONG_LABEL, 0, with_bars({"brush", "fill_rounded", "brush", "text", "brush"})},
};

INSTANTIATE_TEST_SUITE_P(Calls, BadgeCalls, testing::ValuesIn(FAILURE_CASES),
                         [](const testing::TestParamInfo<FailureCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(BadgeWinTest, NullFactoryOrTargetIsAnError) {
  auto made = badge::Badge::create(nullptr);
  ASSERT_FALSE(made);
  EXPECT_EQ(made.error().code(), E_POINTER);
  auto drawn = canvas_->badge->draw(nullptr, "Vantorel", W, H, 0.0, 0.0);
  ASSERT_FALSE(drawn);
  EXPECT_EQ(drawn.error().code(), E_POINTER);
}

// The picture writer the backend tests share: what it writes reads back the same, stride
// padding left out.
TEST(PngWriter, WritesWhatReadsBack) {
  constexpr UINT width = 3, height = 2, stride = 16;
  std::vector<std::uint8_t> pixels(stride * height, 0xEE);  // padding poisoned
  for (UINT y = 0; y < height; ++y) {
    for (UINT x = 0; x < width; ++x) {
      std::uint8_t* p = pixels.data() + y * stride + x * 4;
      p[0] = static_cast<std::uint8_t>(10 * x);
      p[1] = static_cast<std::uint8_t>(100 + y);
      p[2] = static_cast<std::uint8_t>(200 + x + y);
      p[3] = 255;
    }
  }
  ASSERT_TRUE(test_png::write_png("png_round_trip.png", pixels, width, height, stride));

  ComRef<IWICImagingFactory> wic;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_PPV_ARGS(wic.put())));
  ComRef<IWICBitmapDecoder> decoder;
  ASSERT_HRESULT_SUCCEEDED(wic->CreateDecoderFromFilename(
      L"png_round_trip.png", nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand, decoder.put()));
  ComRef<IWICBitmapFrameDecode> frame;
  ASSERT_HRESULT_SUCCEEDED(decoder->GetFrame(0, frame.put()));
  UINT w = 0, h = 0;
  ASSERT_HRESULT_SUCCEEDED(frame->GetSize(&w, &h));
  EXPECT_EQ(w, width);
  EXPECT_EQ(h, height);
  WICPixelFormatGUID format{};
  ASSERT_HRESULT_SUCCEEDED(frame->GetPixelFormat(&format));
  EXPECT_TRUE(format == GUID_WICPixelFormat32bppBGRA);
  std::vector<std::uint8_t> back(width * 4 * height);
  ASSERT_HRESULT_SUCCEEDED(
      frame->CopyPixels(nullptr, width * 4, static_cast<UINT>(back.size()), back.data()));
  for (UINT y = 0; y < height; ++y) {
    EXPECT_TRUE(std::equal(back.begin() + y * width * 4, back.begin() + (y + 1) * width * 4,
                           pixels.begin() + y * stride))
        << "row " << y;
  }
}

TEST(PngWriter, ReportsFailure) {
  std::vector<std::uint8_t> pixels(4 * 4 * 4, 0);
  struct Case {
    const char* path;
    std::size_t bytes;
    UINT stride;
  };
  const Case cases[] = {
      {"no such folder\\picture.png", pixels.size(), 16},
      {"short.png", pixels.size() - 1, 16},  // one byte short of the last row's stride
      {"narrow.png", pixels.size(), 12},     // stride below four bytes a pixel
  };
  for (const Case& c : cases) {
    auto written = test_png::write_png(c.path, std::span(pixels.data(), c.bytes), 4, 4, c.stride);
    EXPECT_FALSE(written) << c.path;
  }
  EXPECT_EQ(GetFileAttributesW(L"short.png"), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
