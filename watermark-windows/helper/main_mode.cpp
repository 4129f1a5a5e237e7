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

}  // namespace VantorelWatermark
