#pragma once
// The one owner of kernel handles (files, mappings, processes, events, pipes): closes its
// handle with CloseHandle when destroyed, in the manner of unique_handle. Find handles,
// registry keys and views have their own release functions and are not owned here.

#include <windows.h>

#include <utility>

namespace shared::win {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  // Adopts the handle; a failed open's null or INVALID_HANDLE_VALUE makes an empty owner.
  explicit UniqueHandle(HANDLE adopted) : handle_(adopted) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  // The open functions report failure with one or the other, depending on the function.
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  explicit operator bool() const { return valid(); }
  HANDLE get() const { return handle_; }

  // Closes the owned handle (ignoring the result) and adopts the new one.
  void reset(HANDLE adopted = nullptr) {
    const HANDLE old = std::exchange(handle_, adopted);
    if (old != nullptr && old != INVALID_HANDLE_VALUE) CloseHandle(old);
  }
  // Gives the handle up without closing it.
  HANDLE release() { return std::exchange(handle_, nullptr); }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace shared::win
