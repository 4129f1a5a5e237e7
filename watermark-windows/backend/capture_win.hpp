#pragma once
// The capture thread on Media Foundation: one detached thread per compositor that reads the
// physical camera of its slot through a source reader and keeps only the newest picture.
//
// Opening the camera and reading from it are separate steps, so that the read loop also runs
// over a media source that is not a device (the tests' stand-in camera).

#include <windows.h>

#include <mfidl.h>
#include <mfobjects.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <utility>

#include "capture.hpp"
#include "com_win.hpp"
#include "error.hpp"
#include "state_mapping.hpp"

namespace capture {

// Opens the camera that a symbolic link names.
using OpenSource =
    std::function<shared::Result<shared::win::ComRef<IMFMediaSource>>(const std::string& link)>;

// The device source of the video capture device with that symbolic link.
shared::Result<shared::win::ComRef<IMFMediaSource>> open_device(const std::string& link);

// The stop flag of one capture thread and the camera it has open, shared by the `Capture` and
// the thread. Stopping raises the flag and shuts that camera down, so that a read which a
// stalled camera (a privacy shutter, a driver stall) never answers returns, the thread ends and
// the camera is let go. The mutex guards only the flag's raising and the camera's coming and
// going; Shutdown is called outside it.
class CameraHold {
 public:
  const StopFlag& stop_flag() const { return stop_; }

  // Raises the stop flag and shuts the held camera down, if there is one.
  void stop();

  // Holds `source` while the thread reads it; false, holding nothing, once stopped.
  bool keep(const shared::win::ComRef<IMFMediaSource>& source);
  // Lets go of the held camera (the thread shuts it down itself).
  void let_go();

 private:
  std::mutex mutex_;
  StopFlag stop_{false};
  shared::win::ComRef<IMFMediaSource> source_;
};

// The handle of one capture thread. Destroying it stops its `CameraHold` and does not wait: the
// thread ends within one stop poll, or once its current frame read returns, which the camera's
// shut-down brings about; it releases its own references (the mapping among them) as it ends.
class Capture {
 public:
  // Starts the thread for camera slot `slot`; `mapping` is null when the state file could not
  // be opened, and the thread then never opens a camera. When the system has no thread to
  // spare, the capture simply never delivers a picture; without memory for the capture's
  // state, the result is E_OUTOFMEMORY.
  static shared::Result<Capture> start(std::shared_ptr<const shared::StateMapping> mapping,
                                       unsigned slot, OpenSource open = open_device);

  Capture(Capture&& other) noexcept = default;
  Capture& operator=(Capture&& other) noexcept;
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;
  ~Capture();

  // The latest-frame slot, shared with the thread.
  const std::shared_ptr<LatestFrame>& frame() const { return frame_; }

 private:
  Capture(std::shared_ptr<LatestFrame> frame, std::shared_ptr<CameraHold> hold)
      : frame_(std::move(frame)), hold_(std::move(hold)) {}
  void stop();

  std::shared_ptr<LatestFrame> frame_;
  std::shared_ptr<CameraHold> hold_;
};

// Opens the camera of `link` and reads it into `frame` until the stop flag of `hold` is seen,
// the stream ends or a call fails; `hold` keeps the camera meanwhile. The source is shut down on
// every way out once it was opened.
shared::Result<void> run(const std::string& link, LatestFrame& frame, CameraHold& hold,
                         const OpenSource& open = open_device);

// The reading half of run: a source reader over `source`, the native type closest to the output
// frame, RGB32 out, then synchronous reads. Releases the reader before it returns; shutting the
// source down is the caller's.
shared::Result<void> read_source(IMFMediaSource* source, LatestFrame& frame, const StopFlag& stop);

// One picture of a sample's buffer into `destination` (frame_bytes(width, height) bytes) as
// top-down rows. A 2D buffer is followed by its own pitch; a plain buffer is taken as packed
// rows, bottom-up when `stride` is negative. A buffer too short for the picture leaves the
// destination as it is.
shared::Result<void> copy_top_down(IMFMediaBuffer* buffer, std::uint32_t width,
                                   std::uint32_t height, std::int32_t stride,
                                   std::span<std::uint8_t> destination);

}  // namespace capture
