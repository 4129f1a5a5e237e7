#pragma once
// The mapped view of state.bin. Windows only: the helper maps it writable, each media-source
// compositor read-only. It opens an existing file and never creates one.

#include <windows.h>

#include <string>

#include "error.hpp"
#include "shared_state.hpp"

namespace shared {

class StateMapping {
 public:
  // Maps state_path(). Writable also stamps version then magic when the magic is missing.
  static Result<StateMapping> open(bool writable);
  static Result<StateMapping> open_path(const std::string& path, bool writable);

  StateMapping(StateMapping&& other) noexcept;
  StateMapping& operator=(StateMapping&& other) noexcept;
  StateMapping(const StateMapping&) = delete;
  StateMapping& operator=(const StateMapping&) = delete;
  ~StateMapping();

  SharedState& state() const { return *static_cast<SharedState*>(view_); }

 private:
  StateMapping(HANDLE file, HANDLE mapping, void* view) : file_(file), mapping_(mapping), view_(view) {}
  void release();

  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
};

}  // namespace shared
