#pragma once
// The pictures of one running virtual camera stream: each request draws the newest camera
// picture of the slot, scaled to cover the 1280 x 720 frame, and the badge while the helper
// asks for it, on a software Direct2D target, and returns it as a new NV12 or RGB32 sample.
//
// Threads: one request at a time, from whatever thread calls the stream (under its state lock);
// the only lock taken here is the capture's latest-frame mutex, innermost.

#include <windows.h>

#include <d2d1.h>
#include <mfobjects.h>
#include <wincodec.h>

#include <memory>
#include <string>

#include "badge_win.hpp"
#include "capture_win.hpp"
#include "com_win.hpp"
#include "compositor.hpp"
#include "error.hpp"
#include "state_mapping.hpp"

namespace compositor {

class Compositor {
 public:
  // Where the compositor's inputs come from. The product reads the installed state file and
  // opens the device of the slot's link; tests point both elsewhere.
  struct Inputs {
    std::string state_path;
    capture::OpenSource open_camera = capture::open_device;
  };

  // Opens the state file read-only (a failure only leaves it out), starts the slot's capture,
  // then makes the drawing objects; their failure stops the capture again and is returned, and
  // so is E_OUTOFMEMORY for memory that runs out.
  static shared::Result<Compositor> create(unsigned slot);
  static shared::Result<Compositor> create(unsigned slot, Inputs inputs);

  Compositor(Compositor&&) noexcept = default;
  Compositor& operator=(Compositor&&) noexcept = default;
  Compositor(const Compositor&) = delete;
  Compositor& operator=(const Compositor&) = delete;
  ~Compositor() = default;

  // One composed frame as a new sample holding one buffer of the whole picture: NV12 when `nv12`,
  // RGB32 (top-down) otherwise; sample time from MFGetSystemTime, duration one frame at 30 per
  // second. A failure delivers nothing and leaves the compositor usable.
  shared::Result<shared::win::ComRef<IMFSample>> next_sample(bool nv12);

  // The slot's capture (tests put pictures into its latest-frame slot).
  const capture::Capture& capture() const { return capture_; }

 private:
  Compositor(std::shared_ptr<const shared::StateMapping> mapping, capture::Capture capture,
             shared::win::ComRef<IWICBitmap> bitmap, shared::win::ComRef<ID2D1RenderTarget> target,
             badge::Badge badge);

  // create's work; create turns a failed allocation in it into E_OUTOFMEMORY.
  static shared::Result<Compositor> make(unsigned slot, Inputs inputs);

  // Steps of one frame: the drawing (the first failure of the picture or the badge wins over
  // the one of EndDraw), and the sample from the finished bitmap.
  shared::Result<void> draw();
  shared::Result<void> draw_picture();
  shared::Result<void> draw_badge();

  // Members are destroyed bottom-up, so the objects go in the order the design fixes: the
  // mapping reference, the capture (raising its stop flag), the bitmap, the target, the badge.
  Meter meter_;                // its last tick is taken first at creation,
  Clock::time_point started_;  // then the animation's time base
  badge::Badge badge_;
  shared::win::ComRef<ID2D1RenderTarget> target_;
  shared::win::ComRef<IWICBitmap> bitmap_;
  capture::Capture capture_;
  std::shared_ptr<const shared::StateMapping> mapping_;
};

// The output sample of a finished 1280 x 720 bitmap: NV12 through bgra_to_nv12 straight from
// the bitmap lock, or its rows copied as RGB32. Split out of next_sample to time it alone.
shared::Result<shared::win::ComRef<IMFSample>> sample_from_bitmap(IWICBitmap* bitmap, bool nv12);

}  // namespace compositor
