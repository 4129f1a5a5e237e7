#pragma once
// Standard input as the reader thread sees it on Windows.

#include <windows.h>

#include <cstddef>

#include "main/input.hpp"

namespace huddlewatch {

// Raw reads of a handle, so CR, NUL and Ctrl+Z reach the line splitter as they are. A pipe whose
// writer has closed fails with ERROR_BROKEN_PIPE, a named pipe whose server has disconnected
// with ERROR_PIPE_NOT_CONNECTED: both are the end of the input, not an error, so a last line
// without LF is still applied.
class HandleReader final : public ByteReader {
 public:
  explicit HandleReader(HANDLE handle) : handle_(handle) {}
  std::ptrdiff_t read(char* buffer, std::size_t size) override;

 private:
  HANDLE handle_;
};

}  // namespace huddlewatch
