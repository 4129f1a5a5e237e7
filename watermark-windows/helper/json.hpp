#pragma once
// The hand-written line codec of the helper's standard-input/standard-output protocol. Input
// lines are never parsed as a whole: the service picks single keys out of them. Output lines
// are built from fixed pieces, keys in a fixed order, no white space between tokens.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace VantorelWatermark {

// The value of the first occurrence of "key" in the line: a string value decoded, any other
// value as its bare text with white space trimmed. Nothing when the key is missing, the first
// occurrence is not followed by a colon, or a string value is cut short or badly escaped.
std::optional<std::string> json_field(std::string_view line, std::string_view key);

// s as a JSON string literal: only the quote, the backslash and control characters are escaped.
std::string json_string(std::string_view s);

// The status event line, without its line end.
std::string status_line(bool sink_ready, const std::vector<std::string>& consumers,
                        bool physical_in_use, std::string_view permission,
                        const std::vector<std::string>& names);

// {"event":"ready"}
std::string ready_line();

// The error event line for a message, without its line end.
std::string error_line(std::string_view message);

}  // namespace VantorelWatermark
