#include "main_mode.hpp"

#include <algorithm>
#include <string_view>
#include <utility>

#include "install_setup.hpp"

namespace VantorelWatermark {
namespace {

// In the order they are tested.
constexpr std::pair<std::string_view, Mode> FLAGS[] = {
    {"--extension-status", Mode::extension_status},
    {"--install-extension", Mode::install_extension},
    {install::ELEVATED_ARGUMENT, Mode::install_elevated},
    {"--camera-status", Mode::camera_status},
    {"--request-camera", Mode::request_camera},
};

}  // namespace

Mode select_mode(std::span<const std::string> args) {
  for (const auto& [flag, mode] : FLAGS) {
    if (std::find(args.begin(), args.end(), flag) != args.end()) return mode;
  }
  return args.empty() ? Mode::service : Mode::unknown;
}

int run_mode(Mode mode, const ModeActions& actions) {
  switch (mode) {
    case Mode::extension_status:
      return actions.is_installed() ? 0 : NOT_INSTALLED_EXIT;
    case Mode::install_extension:
      return actions.install();
    case Mode::install_elevated: {
      const shared::Result<void> installed = actions.install_elevated();
      if (installed) return 0;
      actions.write_error_line(std::string(INSTALL_FAILED) + installed.error().text());
      return 1;
    }
    case Mode::camera_status:
    case Mode::request_camera:
      return actions.camera_denied() ? 1 : 0;
    case Mode::service:
      return actions.service();
    case Mode::unknown:
      break;
  }
  return 1;
}

}  // namespace VantorelWatermark
