#pragma once
// Windows side of the error type and of text at the API boundary.

#include <windows.h>

#include <cstdint>
#include <expected>
#include <new>
#include <string>
#include <string_view>

#include "error.hpp"

namespace shared::win {

// The HRESULT with the system's message for it.
Error hresult_error(HRESULT hr);
// Success for a successful HRESULT, otherwise hresult_error of it.
Result<void> check(HRESULT hr);
// HRESULT_FROM_WIN32 of the code, with its message.
Error win32_error(DWORD code);
// win32_error of the calling thread's last error.
Error last_error();
// The code as an I/O error: "message (os error N)".
Error io_error(DWORD code);
// The HRESULT a COM method returns for the error: its own HRESULT, HRESULT_FROM_WIN32 of an
// I/O code, E_FAIL for a text of our own.
HRESULT to_hresult(const Error& error);

// `make()` (which returns a Result) with a failed allocation inside it turned into E_OUTOFMEMORY,
// for the work of COM methods and threads, which no exception may leave. The error carries no
// message: looking one up would allocate again.
template <class Make>
auto or_out_of_memory(Make&& make) noexcept -> decltype(make()) {
  try {
    return make();
  } catch (const std::bad_alloc&) {
    return std::unexpected(Error::from_hresult(static_cast<std::int32_t>(E_OUTOFMEMORY)));
  }
}

// UTF-8 to UTF-16 for the wide API; invalid UTF-8 becomes U+FFFD.
std::wstring wide(std::string_view text);
// UTF-16 from the wide API to UTF-8; unpaired surrogates become U+FFFD.
std::string narrow(std::wstring_view text);

}  // namespace shared::win
