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
#include <span>
#include <string>

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

// The handle of one capture thread. Destroying it raises the thread's stop flag and does not
// wait: the thread ends within one stop poll, or after its current frame read returns, and
// releases its own references (the mapping among them) as it ends.
class Capture {
 public:
  // Starts the thread for camera slot `slot`; `mapping` is null when the state file could not
  // be opened, and the thread then never opens a camera. When no thread can be made, the
  // capture simply never delivers a picture.
  static Capture start(std::shared_ptr<const shared::StateMapping> mapping, unsigned slot,
                       OpenSource open = open_device);

  Capture(Capture&& other) noexcept = default;
  Capture& operator=(Capture&& other) noexcept;
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;
  ~Capture();

  // The latest-frame slot, shared with the thread.
  const std::shared_ptr<LatestFrame>& frame() const { return frame_; }

 private:
  Capture(std::shared_ptr<LatestFrame> frame, std::shared_ptr<StopFlag> stop)
      : frame_(std::move(frame)), stop_(std::move(stop)) {}
  void raise_stop();

  std::shared_ptr<LatestFrame> frame_;
  std::shared_ptr<StopFlag> stop_;
};

// Opens the camera of `link` and reads it into `frame` until the stop flag is seen, the stream
// ends or a call fails. The source is shut down on every way out once it was opened.
shared::Result<void> run(const std::string& link, LatestFrame& frame, const StopFlag& stop,
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
