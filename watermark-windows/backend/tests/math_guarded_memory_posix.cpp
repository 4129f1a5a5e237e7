#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <new>

#include "math_guarded_memory.hpp"

namespace math_test {

GuardedMemory::GuardedMemory(std::size_t size) {
  const std::size_t page = page_size();
  usable_ = (size + page - 1) / page * page;
  void* base =
      mmap(nullptr, usable_ + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) throw std::bad_alloc();
  base_ = static_cast<std::uint8_t*>(base);
  if (!deny(usable_, page)) {
    munmap(base_, usable_ + page);
    throw std::bad_alloc();
  }
}

GuardedMemory::~GuardedMemory() {
  munmap(base_, usable_ + page_size());
}

std::size_t GuardedMemory::page_size() {
  return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

bool GuardedMemory::deny(std::size_t offset, std::size_t length) {
  return mprotect(base_ + offset, length, PROT_NONE) == 0;
}

}  // namespace math_test
