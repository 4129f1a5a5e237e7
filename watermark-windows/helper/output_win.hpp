#pragma once
// The helper's writes to its standard handles: whole, and straight to the handle, so that no
// text-mode stream turns an LF into CR LF.

#include <windows.h>

#include <string_view>

namespace output {

// Writes every byte, going on after partial writes; false when a write fails or stalls.
bool write_all(HANDLE handle, std::string_view bytes);

// The helper's one writer to standard error: the text and one LF. A failure is not reported:
// there is nowhere left to report it.
void write_error_line(std::string_view text);

}  // namespace output
