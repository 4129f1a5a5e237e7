#pragma once
// The media source's decisions that need no platform: what its one stream declares and how the
// stream's state moves. The COM objects that act on them are in source_win.hpp.

#include <cstddef>
#include <cstdint>

namespace source {

// The stream is declared at this rate; nothing paces the samples to it.
inline constexpr std::uint32_t FRAMES_PER_SECOND = 30;

// Stream state values as the pipeline sets them; any other value is stored as given.
inline constexpr std::uint32_t STREAM_STOPPED = 0;
inline constexpr std::uint32_t STREAM_PAUSED = 1;
inline constexpr std::uint32_t STREAM_RUNNING = 2;

// Row stride and whole-sample size of one output picture.
struct Layout {
  std::uint32_t stride;
  std::uint32_t sample_size;
};
Layout layout(bool nv12);

// What a change of the stream state from `current` to `next` announces: nothing when the value
// stays, the start of the stream when it becomes running, its stop for any other new value
// (which also drops the stream's compositor).
enum class StreamChange { none, started, stopped };
StreamChange state_change(std::uint32_t current, std::uint32_t next);

}  // namespace source
