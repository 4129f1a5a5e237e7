#pragma once
// The output lines: {"at":...,"pollMs":...,"readings":[...]}, unchanged readings held back for
// up to REPEAT_AFTER.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "readers/model.hpp"
#include "uia/automation.hpp"

namespace huddlewatch {

inline constexpr std::chrono::seconds REPEAT_AFTER{5};

// A JSON string literal: short escapes for TAB, LF, CR, quote and backslash, \u00XX for the
// other controls below U+0020, everything else (U+007F and non-ASCII too) as it is.
std::string json_string(std::string_view s);

// The readings array: app, blind, participants, speakers, truncated of each reading.
std::string readings_json(const std::vector<readers::Reading>& readings);

struct Emitter {
  std::optional<std::string> last;      // the readings array of the last written line
  std::optional<uia::Instant> last_at;  // when that line was built

  // The output line without its LF, or nothing when the readings equal the last written ones
  // and less than REPEAT_AFTER has passed since (a clock that went back counts as no time).
  std::optional<std::string> line(std::uint64_t at, std::uint64_t poll_ms,
                                  const std::vector<readers::Reading>& readings, uia::Instant now);
};

}  // namespace huddlewatch
