#pragma once
// The mapped view of state.bin. Windows only: the helper maps it writable, each media-source
// compositor read-only. It opens an existing file and never creates one.

#include <windows.h>

#include <string>
#include <utility>

#include "error.hpp"
#include "handle_win.hpp"
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
  StateMapping(win::UniqueHandle file, win::UniqueHandle mapping, void* view)
      : file_(std::move(file)), mapping_(std::move(mapping)), view_(view) {}
  void unmap();

  // Released in reverse order: the view, then the mapping, then the file.
  win::UniqueHandle file_;
  win::UniqueHandle mapping_;
  void* view_ = nullptr;
};

}  // namespace shared
