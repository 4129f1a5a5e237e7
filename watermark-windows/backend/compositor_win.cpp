#include "compositor_win.hpp"

#include <mfapi.h>

#include <cstdint>
#include <expected>
#include <mutex>
#include <span>
#include <utility>

#include "lib.hpp"
#include "math.hpp"
#include "win_error.hpp"

namespace compositor {

namespace {

using shared::win::ComRef;
using shared::win::check;
using shared::win::hresult_error;

// One frame at 30 per second in 100-ns units, rounded down.
constexpr LONGLONG FRAME_DURATION = 333333;
constexpr float CAMERA_DPI = 96.0f;

// Fills the locked sample buffer `out` from the bitmap; the bitmap lock ends on return.
shared::Result<void> fill_from_bitmap(IWICBitmap* bitmap, bool nv12, std::span<std::uint8_t> out) {
  const WICRect whole{0, 0, static_cast<INT>(math::FRAME_WIDTH),
                      static_cast<INT>(math::FRAME_HEIGHT)};
  ComRef<IWICBitmapLock> lock;
  if (auto ok = check(bitmap->Lock(&whole, WICBitmapLockRead, lock.put())); !ok) return ok;
  UINT stride = 0;
  if (auto ok = check(lock->GetStride(&stride)); !ok) return ok;
  UINT size = 0;
  BYTE* data = nullptr;
  if (auto ok = check(lock->GetDataPointer(&size, &data)); !ok) return ok;
  const std::span<const std::uint8_t> pixels(data, size);
  if (nv12) {
    // Straight from the bitmap lock into the sample buffer: no copy in between.
    math::bgra_to_nv12(pixels, stride, out.data());
    return {};
  }
  if (!copy_rgb32_rows(pixels, stride, out)) {
    return std::unexpected(hresult_error(WINCODEC_ERR_INSUFFICIENTBUFFER));
  }
  return {};
}

}  // namespace

shared::Result<Compositor> Compositor::create(unsigned slot) {
  return shared::win::or_out_of_memory([slot] { return make(slot, Inputs{shared::state_path()}); });
}

shared::Result<Compositor> Compositor::create(unsigned slot, Inputs inputs) {
  return shared::win::or_out_of_memory([&] { return make(slot, std::move(inputs)); });
}

shared::Result<Compositor> Compositor::make(unsigned slot, Inputs inputs) {
  // Without the state file the compositor still runs: black frames, no camera, no badge.
  std::shared_ptr<const shared::StateMapping> mapping;
  if (auto opened = shared::StateMapping::open_path(inputs.state_path, false)) {
    mapping = std::make_shared<const shared::StateMapping>(std::move(*opened));
  }
  // The capture starts before any drawing object exists; a failure below destroys it (its
  // thread stops) and then the mapping.
  shared::Result<capture::Capture> capture =
      capture::Capture::start(mapping, slot, std::move(inputs.open_camera));
  if (!capture) return std::unexpected(capture.error());

  ComRef<IWICImagingFactory> wic;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(wic.put()));
  ComRef<IWICBitmap> bitmap;
  if (SUCCEEDED(hr)) {
    hr = wic->CreateBitmap(math::FRAME_WIDTH, math::FRAME_HEIGHT, GUID_WICPixelFormat32bppPBGRA,
                           WICBitmapCacheOnLoad, bitmap.put());
  }
  ComRef<ID2D1Factory> d2d;
  if (SUCCEEDED(hr)) {
    hr = D2D1CreateFactory(D2D1_FACTORY_TYPE_MULTI_THREADED, __uuidof(ID2D1Factory), nullptr,
                           reinterpret_cast<void**>(d2d.put()));
  }
  ComRef<ID2D1RenderTarget> target;
  if (SUCCEEDED(hr)) {
    const D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_SOFTWARE,
        D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), 0.0f, 0.0f,
        D2D1_RENDER_TARGET_USAGE_NONE, D2D1_FEATURE_LEVEL_DEFAULT);
    hr = d2d->CreateWicBitmapRenderTarget(bitmap.get(), properties, target.put());
  }
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  shared::Result<badge::Badge> badge = badge::Badge::create(d2d.get());
  if (!badge) return std::unexpected(badge.error());
  return Compositor(std::move(mapping), std::move(*capture), std::move(bitmap), std::move(target),
                    std::move(*badge));
}

Compositor::Compositor(std::shared_ptr<const shared::StateMapping> mapping,
                       capture::Capture capture, ComRef<IWICBitmap> bitmap,
                       ComRef<ID2D1RenderTarget> target, badge::Badge badge)
    : meter_(Clock::now()),
      started_(Clock::now()),
      badge_(std::move(badge)),
      target_(std::move(target)),
      bitmap_(std::move(bitmap)),
      capture_(std::move(capture)),
      mapping_(std::move(mapping)) {}

shared::Result<ComRef<IMFSample>> Compositor::next_sample(bool nv12) {
  if (auto drawn = draw(); !drawn) return std::unexpected(drawn.error());
  return sample_from_bitmap(bitmap_.get(), nv12);
}

shared::Result<void> Compositor::draw() {
  target_->BeginDraw();
  target_->Clear(D2D1::ColorF(0.0f, 0.0f, 0.0f, 1.0f));
  // A failed picture leaves the badge out of this frame.
  shared::Result<void> drawn = draw_picture();
  // The label is made anew for every frame; without memory for it the frame fails, and the
  // drawing still ends.
  if (drawn) drawn = shared::win::or_out_of_memory([this] { return draw_badge(); });
  const HRESULT ended = target_->EndDraw(nullptr, nullptr);
  if (!drawn) return drawn;
  return check(ended);
}

shared::Result<void> Compositor::draw_picture() {
  capture::LatestFrame& slot = *capture_.frame();
  // Held from the age test through DrawBitmap; the capture thread waits only to store a frame.
  std::lock_guard lock(slot.mutex);
  if (!slot.frame || !picture_fresh(slot.frame->captured, Clock::now())) return {};
  const capture::Frame& frame = *slot.frame;
  const D2D1_BITMAP_PROPERTIES properties = D2D1::BitmapProperties(
      D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_IGNORE), CAMERA_DPI,
      CAMERA_DPI);
  ComRef<ID2D1Bitmap> picture;
  if (auto ok = check(target_->CreateBitmap(D2D1::SizeU(frame.width, frame.height),
                                            frame.pixels.data(), frame.width * 4, properties,
                                            picture.put()));
      !ok) {
    return ok;
  }
  const Rect cover = cover_rect(frame.width, frame.height);
  target_->DrawBitmap(picture.get(), D2D1::RectF(cover.left, cover.top, cover.right, cover.bottom),
                      1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
  return {};
}

shared::Result<void> Compositor::draw_badge() {
  if (!mapping_) return {};
  const shared::SharedState& state = mapping_->state();
  if (!badge_wanted(state, shared::unix_ms())) return {};
  // The meter moves only while the badge shows; after a pause it counts one short step.
  const double level = meter_.update(state.audio_level(), Clock::now());
  const std::string text = label(state.read_text().title);
  const double t = seconds(Clock::now() - started_);
  return badge_.draw(target_.get(), text, FRAME_W, FRAME_H, level, t);
}

shared::Result<ComRef<IMFSample>> sample_from_bitmap(IWICBitmap* bitmap, bool nv12) {
  const DWORD size = static_cast<DWORD>(nv12 ? math::NV12_FRAME_BYTES : math::RGB32_FRAME_BYTES);
  ComRef<IMFMediaBuffer> buffer;
  if (auto ok = check(MFCreateMemoryBuffer(size, buffer.put())); !ok) {
    return std::unexpected(ok.error());
  }
  BYTE* out = nullptr;
  if (auto ok = check(buffer->Lock(&out, nullptr, nullptr)); !ok) {
    return std::unexpected(ok.error());
  }
  const shared::Result<void> filled = fill_from_bitmap(bitmap, nv12, {out, size});
  const HRESULT unlocked = buffer->Unlock();
  if (!filled) return std::unexpected(filled.error());
  HRESULT hr = unlocked;
  if (SUCCEEDED(hr)) hr = buffer->SetCurrentLength(size);
  ComRef<IMFSample> sample;
  if (SUCCEEDED(hr)) hr = MFCreateSample(sample.put());
  if (SUCCEEDED(hr)) hr = sample->AddBuffer(buffer.get());
  if (SUCCEEDED(hr)) hr = sample->SetSampleTime(MFGetSystemTime());
  if (SUCCEEDED(hr)) hr = sample->SetSampleDuration(FRAME_DURATION);
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  return sample;
}

}  // namespace compositor
