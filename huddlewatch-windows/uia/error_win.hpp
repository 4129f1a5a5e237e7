#pragma once
// Windows error values and UTF-16 texts at the platform boundary.
#include <windows.h>

#include <string>
#include <string_view>

#include "uia/error.hpp"

namespace uia::win {

// The HRESULT with the system's text for it.
Error hresult_error(HRESULT hr);

// Platform UTF-16 as UTF-8 (wchar_t is char16_t's size here).
std::string narrow(std::wstring_view text);

}  // namespace uia::win
