#include "state_mapping.hpp"

#include <atomic>
#include <expected>
#include <utility>

#include "win_error.hpp"

namespace shared {

Result<StateMapping> StateMapping::open(bool writable) { return open_path(state_path(), writable); }

Result<StateMapping> StateMapping::open_path(const std::string& path, bool writable) {
  win::UniqueHandle file(CreateFileW(
      win::wide(path).c_str(), writable ? STATE_ACCESS : GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::unexpected(win::last_error());

  win::UniqueHandle mapping(CreateFileMappingW(file.get(), nullptr,
                                               writable ? PAGE_READWRITE : PAGE_READONLY, 0,
                                               static_cast<DWORD>(STATE_SIZE), nullptr));
  if (!mapping) return std::unexpected(win::last_error());

  void* view = MapViewOfFile(mapping.get(), writable ? FILE_MAP_ALL_ACCESS : FILE_MAP_READ, 0, 0,
                             STATE_SIZE);
  // The error is taken before the owners close their handles.
  if (view == nullptr) return std::unexpected(win::last_error());

  StateMapping result(std::move(file), std::move(mapping), view);
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
    : file_(std::move(other.file_)),
      mapping_(std::move(other.mapping_)),
      view_(std::exchange(other.view_, nullptr)) {}

StateMapping& StateMapping::operator=(StateMapping&& other) noexcept {
  if (this != &other) {
    unmap();
    mapping_ = std::move(other.mapping_);
    file_ = std::move(other.file_);
    view_ = std::exchange(other.view_, nullptr);
  }
  return *this;
}

StateMapping::~StateMapping() {
  unmap();
}

void StateMapping::unmap() {
  if (view_ != nullptr) UnmapViewOfFile(view_);
  view_ = nullptr;
}

}  // namespace shared
