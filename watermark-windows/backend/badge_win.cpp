#include "badge_win.hpp"

#include <expected>
#include <string>

#include "badge.hpp"
#include "win_error.hpp"

namespace badge {
namespace {

using shared::win::ComRef;
using shared::win::hresult_error;

constexpr wchar_t FONT_FAMILY[] = L"Segoe UI Variable Text";
constexpr wchar_t FONT_LOCALE[] = L"en-us";

D2D1_POINT_2F point(Point p) {
  return D2D1::Point2F(p.x, p.y);
}

D2D1_COLOR_F colour(const Colour& c) {
  return D2D1::ColorF(c.r, c.g, c.b, c.a);
}

D2D1_ROUNDED_RECT rounded(const RoundedRect& r) {
  return D2D1::RoundedRect(D2D1::RectF(r.rect.left, r.rect.top, r.rect.right, r.rect.bottom),
                           r.radius, r.radius);
}

shared::Result<ComRef<ID2D1SolidColorBrush>> brush(ID2D1RenderTarget* target, const Colour& c) {
  ComRef<ID2D1SolidColorBrush> made;
  const HRESULT hr = target->CreateSolidColorBrush(colour(c), made.put());
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  return made;
}

// The label laid out on one line, cut with an ellipsis at a character where it is too wide.
struct Text {
  ComRef<IDWriteTextLayout> layout;
  float width = 0.0f;  // without trailing white space
  float height = 0.0f;
};

shared::Result<Text> lay_out(IDWriteFactory* dwrite, std::string_view label, float font_size,
                             float max_width, float max_height) {
  ComRef<IDWriteTextFormat> format;
  HRESULT hr = dwrite->CreateTextFormat(FONT_FAMILY, nullptr, DWRITE_FONT_WEIGHT_MEDIUM,
                                        DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL,
                                        font_size, FONT_LOCALE, format.put());
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  hr = format->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP);
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));

  ComRef<IDWriteInlineObject> ellipsis;
  hr = dwrite->CreateEllipsisTrimmingSign(format.get(), ellipsis.put());
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  const DWRITE_TRIMMING trimming{DWRITE_TRIMMING_GRANULARITY_CHARACTER, 0, 0};
  hr = format->SetTrimming(&trimming, ellipsis.get());
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));

  const std::wstring units = shared::win::wide(label);
  Text text;
  hr = dwrite->CreateTextLayout(units.data(), static_cast<UINT32>(units.size()), format.get(),
                                max_width, max_height, text.layout.put());
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  DWRITE_TEXT_METRICS metrics{};
  hr = text.layout->GetMetrics(&metrics);
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  text.width = metrics.width;
  text.height = metrics.height;
  return text;
}

}  // namespace

shared::Result<Badge> Badge::create(ID2D1Factory* factory) {
  if (!factory) return std::unexpected(hresult_error(E_POINTER));
  ComRef<ID2D1PathGeometry> logo;
  HRESULT hr = factory->CreatePathGeometry(logo.put());
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  ComRef<ID2D1GeometrySink> sink;
  hr = logo->Open(sink.put());
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));

  sink->BeginFigure(point(MARK_START), D2D1_FIGURE_BEGIN_FILLED);
  for (const MarkSegment& segment : MARK_SEGMENTS) {
    if (segment.kind == MarkSegment::Kind::line) {
      sink->AddLine(point(segment.end));
    } else {
      sink->AddBezier(D2D1::BezierSegment(point(segment.control1), point(segment.control2),
                                          point(segment.end)));
    }
  }
  sink->EndFigure(D2D1_FIGURE_END_CLOSED);
  hr = sink->Close();
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));

  ComRef<IDWriteFactory> dwrite;
  hr = DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                           reinterpret_cast<IUnknown**>(dwrite.put()));
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  return Badge(std::move(logo), std::move(dwrite));
}

shared::Result<void> Badge::draw(ID2D1RenderTarget* target, std::string_view label, float width,
                                 float height, double level, double t) const {
  if (!target) return std::unexpected(hresult_error(E_POINTER));
  const Lengths l = lengths(width);
  const bool brand = is_brand(label);
  Text text;
  if (!brand) {
    auto laid_out = lay_out(dwrite_.get(), label, l.font_size, max_text_width(width, height),
                            max_text_height(width));
    if (!laid_out) return std::unexpected(std::move(laid_out.error()));
    text = std::move(*laid_out);
  }
  const Geometry g = geometry(width, height, brand ? l.mark_width : text.width, level, t);

  {
    auto pill = brush(target, PILL_COLOUR);
    if (!pill) return std::unexpected(std::move(pill.error()));
    target->FillRoundedRectangle(rounded(g.pill), pill->get());
  }

  if (brand) {
    const D2D1_MATRIX_3X2_F mark = D2D1::Matrix3x2F::Scale(g.mark.scale, g.mark.scale) *
                                   D2D1::Matrix3x2F::Translation(g.mark.dx, g.mark.dy);
    target->SetTransform(mark);
    auto fill = brush(target, MARK_COLOUR);
    if (!fill) {
      // Whatever the caller draws next must not come out scaled.
      target->SetTransform(D2D1::Matrix3x2F::Identity());
      return std::unexpected(std::move(fill.error()));
    }
    target->FillGeometry(logo_.get(), fill->get());
    target->SetTransform(D2D1::Matrix3x2F::Identity());
  } else {
    auto ink = brush(target, TEXT_COLOUR);
    if (!ink) return std::unexpected(std::move(ink.error()));
    target->DrawTextLayout(point(text_origin(g, text.height)), text.layout.get(), ink->get(),
                           D2D1_DRAW_TEXT_OPTIONS_NONE);
  }

  auto bars = brush(target, BAR_COLOUR);
  if (!bars) return std::unexpected(std::move(bars.error()));
  for (const RoundedRect& bar : g.bars) target->FillRoundedRectangle(rounded(bar), bars->get());
  return {};
}

}  // namespace badge
