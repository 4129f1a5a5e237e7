#include "source.hpp"

#include "math.hpp"

namespace source {

Layout layout(bool nv12) {
  if (nv12) return {math::FRAME_WIDTH, static_cast<std::uint32_t>(math::NV12_FRAME_BYTES)};
  return {static_cast<std::uint32_t>(math::RGB32_ROW_BYTES),
          static_cast<std::uint32_t>(math::RGB32_FRAME_BYTES)};
}

StreamChange state_change(std::uint32_t current, std::uint32_t next) {
  if (next == current) return StreamChange::none;
  return next == STREAM_RUNNING ? StreamChange::started : StreamChange::stopped;
}

}  // namespace source
