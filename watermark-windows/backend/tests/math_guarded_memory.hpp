#pragma once
// Test memory whose pages can be made inaccessible, so that a read past the bytes a routine may
// read ends the test instead of passing unseen.

#include <cstddef>
#include <cstdint>

namespace math_test {

class GuardedMemory {
 public:
  // At least `size` writable bytes from page boundaries, then one inaccessible page.
  explicit GuardedMemory(std::size_t size);
  ~GuardedMemory();
  GuardedMemory(const GuardedMemory&) = delete;
  GuardedMemory& operator=(const GuardedMemory&) = delete;

  static std::size_t page_size();

  // The first byte; the inaccessible page starts at begin() + usable().
  std::uint8_t* begin() const { return base_; }
  std::size_t usable() const { return usable_; }

  // Makes `length` bytes from `offset` on inaccessible; both are multiples of the page size.
  bool deny(std::size_t offset, std::size_t length);

 private:
  std::uint8_t* base_ = nullptr;
  std::size_t usable_ = 0;
};

}  // namespace math_test
