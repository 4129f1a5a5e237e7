#pragma once
// Which mode a command line asks for, and how the mode's outcome becomes the exit code. A flag
// counts wherever it stands; the first flag of the table that is present wins and every other
// argument is ignored.

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "error.hpp"

namespace VantorelWatermark {

enum class Mode {
  extension_status,
  install_extension,
  install_elevated,
  camera_status,
  request_camera,
  service,  // no argument at all
  unknown,  // arguments, none of them a flag
};

// The arguments after the program name.
Mode select_mode(std::span<const std::string> args);

// Exit code of --extension-status when the installation is not current.
inline constexpr int NOT_INSTALLED_EXIT = 3;
inline constexpr std::string_view INSTALL_FAILED = "install failed: ";

// What the modes run: main passes the Windows operations, tests pass fakes.
struct ModeActions {
  std::function<bool()> is_installed;
  // The user's side of the installer; its own result is the exit code.
  std::function<int()> install;
  std::function<shared::Result<void>()> install_elevated;
  std::function<bool()> camera_denied;
  // The service; its own result is the exit code.
  std::function<int()> service;
  // Writes the text and one LF on standard error.
  std::function<void(std::string_view)> write_error_line;
};

// Runs the mode and gives the exit code it ends with.
int run_mode(Mode mode, const ModeActions& actions);

}  // namespace VantorelWatermark
