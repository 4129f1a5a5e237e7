#pragma once
// Test utility: a state file of its own in the temporary folder (never the install folder, which
// other tests share), mapped writable so that the test plays the helper.

#include <filesystem>
#include <optional>
#include <string>

#include "shared_state.hpp"
#include "state_mapping.hpp"

namespace test_state {

class StateFile {
 public:
  // A zero-filled state file named after `name`, stamped and mapped writable.
  explicit StateFile(const std::string& name);
  ~StateFile();
  StateFile(const StateFile&) = delete;
  StateFile& operator=(const StateFile&) = delete;

  // UTF-8, as StateMapping::open_path takes it.
  const std::string& path() const { return path_; }
  shared::SharedState& state() { return mapping_->state(); }

  // A path in the same folder where no file is.
  std::string missing_path() const;

 private:
  std::filesystem::path file_;
  std::string path_;
  std::optional<shared::StateMapping> mapping_;
};

}  // namespace test_state
