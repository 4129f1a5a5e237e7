#pragma once
// Test stand-in for a physical camera: a live media source with one video stream that offers
// the native types it is given and plays a script, one step per sample request. The source
// reader reads it as it would a device source (which Wine only has as a process-ending stub).

#include <windows.h>

#include <mfidl.h>
#include <mfobjects.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "com_win.hpp"

namespace fake_camera {

// One answer to a sample request.
struct Step {
  enum class Kind { frame, tick, end };
  Kind kind = Kind::end;
  // A frame: `memory` is what the buffer holds. For a 2D buffer it is the picture's top-down
  // rows of width x 4 bytes, laid into the buffer by its own pitch; a plain buffer holds the
  // bytes as they are.
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> memory;
  bool two_d = false;
  bool bottom_up = false;  // 2D only
  // Called once the step's event is queued.
  std::function<void()> delivered;

  static Step frame(std::uint32_t width, std::uint32_t height, std::vector<std::uint8_t> memory);
  static Step frame_2d(std::uint32_t width, std::uint32_t height,
                       std::vector<std::uint8_t> rows, bool bottom_up);
  static Step tick() { return with_kind(Kind::tick); }
  static Step end() { return with_kind(Kind::end); }

 private:
  static Step with_kind(Kind kind) {
    Step step;
    step.kind = kind;
    return step;
  }
};

// What the camera saw, for the test to check.
struct Journal {
  std::mutex mutex;
  int starts = 0;
  int shutdowns = 0;
  int requests = 0;
  std::uint64_t started_frame_size = 0;  // MF_MT_FRAME_SIZE of the current type at Start
};

// A media type of RGB32 pictures; each attribute is left out when not given.
shared::win::ComRef<IMFMediaType> rgb32_type(std::optional<std::uint64_t> frame_size,
                                             std::optional<std::uint64_t> frame_rate,
                                             std::optional<std::int32_t> default_stride);

constexpr std::uint64_t pack(std::uint32_t high, std::uint32_t low) {
  return (std::uint64_t{high} << 32) | low;
}

// The buffer of a frame step, as the camera puts it into its sample.
shared::win::ComRef<IMFMediaBuffer> buffer(const Step& frame);

// The camera. A request after the script's last step is not answered: the camera stalls, as
// one behind a privacy shutter or a hung driver does, until it is shut down, which ends the
// waiting read with an error as Windows' source reader does. Scripts that the reader reads to
// the end finish with Step::end().
shared::win::ComRef<IMFMediaSource> create(
    const std::vector<shared::win::ComRef<IMFMediaType>>& native_types, std::vector<Step> script,
    std::shared_ptr<Journal> journal);

}  // namespace fake_camera
