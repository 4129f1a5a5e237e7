#include <windows.h>

#include <new>

#include "math_guarded_memory.hpp"

namespace math_test {

GuardedMemory::GuardedMemory(std::size_t size) {
  const std::size_t page = page_size();
  usable_ = (size + page - 1) / page * page;
  void* base = VirtualAlloc(nullptr, usable_ + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (base == nullptr) throw std::bad_alloc();
  base_ = static_cast<std::uint8_t*>(base);
  if (!deny(usable_, page)) {
    VirtualFree(base_, 0, MEM_RELEASE);
    throw std::bad_alloc();
  }
}

GuardedMemory::~GuardedMemory() {
  VirtualFree(base_, 0, MEM_RELEASE);
}

std::size_t GuardedMemory::page_size() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwPageSize;
}

bool GuardedMemory::deny(std::size_t offset, std::size_t length) {
  DWORD previous = 0;
  return VirtualProtect(base_ + offset, length, PAGE_NOACCESS, &previous) != 0;
}

}  // namespace math_test
