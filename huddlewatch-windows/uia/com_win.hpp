#pragma once
// The program's owner of one COM interface reference.
#include <utility>

namespace uia::win {

// Adopts the reference it is given; releases it when it goes.
template <class T>
class ComRef {
 public:
  ComRef() = default;
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ComRef(ComRef&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComRef& operator=(ComRef&& other) noexcept {
    std::swap(ptr_, other.ptr_);
    return *this;
  }
  ~ComRef() { reset(); }

  void reset() {
    if (T* old = std::exchange(ptr_, nullptr)) old->Release();
  }
  // For out-parameters: drops the current reference first.
  T** put() {
    reset();
    return &ptr_;
  }
  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

 private:
  T* ptr_ = nullptr;
};

}  // namespace uia::win
