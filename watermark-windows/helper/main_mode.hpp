#pragma once
// Which mode a command line asks for. A flag counts wherever it stands; the first flag of the
// table that is present wins and every other argument is ignored.

#include <span>
#include <string>

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

}  // namespace VantorelWatermark
