#include "state_mapping.hpp"

#include <utility>

#include "win_error.hpp"

namespace shared {

Result<StateMapping> StateMapping::open(bool writable) { return open_path(state_path(), writable); }

Result<StateMapping> StateMapping::open_path(const std::string& path, bool writable) {
  const HANDLE file = CreateFileW(win::wide(path).c_str(), writable ? STATE_ACCESS : GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::unexpected(win::last_error());

  const HANDLE mapping = CreateFileMappingW(file, nullptr, writable ? PAGE_READWRITE : PAGE_READONLY,
                                            0, static_cast<DWORD>(STATE_SIZE), nullptr);
  if (mapping == nullptr) {
    const Error error = win::last_error();
    CloseHandle(file);
    return std::unexpected(error);
  }

  void* view = MapViewOfFile(mapping, writable ? FILE_MAP_ALL_ACCESS : FILE_MAP_READ, 0, 0, STATE_SIZE);
  if (view == nullptr) {
    const Error error = win::last_error();
    CloseHandle(mapping);
    CloseHandle(file);
    return std::unexpected(error);
  }

  StateMapping result(file, mapping, view);
  if (writable) {
    SharedState& state = result.state();
    // Version before magic, magic with release: whoever sees the magic also sees the version.
    if (state.magic.load(std::memory_order_acquire) != STATE_MAGIC) {
      state.version.store(STATE_VERSION, std::memory_order_relaxed);
      state.magic.store(STATE_MAGIC, std::memory_order_release);
    }
  }
  return result;
}

StateMapping::StateMapping(StateMapping&& other) noexcept
    : file_(std::exchange(other.file_, INVALID_HANDLE_VALUE)),
      mapping_(std::exchange(other.mapping_, nullptr)),
      view_(std::exchange(other.view_, nullptr)) {}

StateMapping& StateMapping::operator=(StateMapping&& other) noexcept {
  if (this != &other) {
    release();
    file_ = std::exchange(other.file_, INVALID_HANDLE_VALUE);
    mapping_ = std::exchange(other.mapping_, nullptr);
    view_ = std::exchange(other.view_, nullptr);
  }
  return *this;
}

StateMapping::~StateMapping() { release(); }

void StateMapping::release() {
  if (view_ != nullptr) UnmapViewOfFile(view_);
  if (mapping_ != nullptr) CloseHandle(mapping_);
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  view_ = nullptr;
  mapping_ = nullptr;
  file_ = INVALID_HANDLE_VALUE;
}

}  // namespace shared
