#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main_mode.hpp"

namespace {

using VantorelWatermark::Mode;

struct ModeCase {
  std::vector<std::string> args;
  Mode expected;
};

TEST(SelectMode, Table) {
  const ModeCase cases[] = {
      {{}, Mode::service},
      {{"--extension-status"}, Mode::extension_status},
      {{"--install-extension"}, Mode::install_extension},
      {{"--install-elevated"}, Mode::install_elevated},
      {{"--camera-status"}, Mode::camera_status},
      {{"--request-camera"}, Mode::request_camera},
      // The table's order decides, not the argument order.
      {{"--camera-status", "--extension-status"}, Mode::extension_status},
      {{"--request-camera", "--install-elevated", "--install-extension"}, Mode::install_extension},
      {{"--extension-status", "whatever"}, Mode::extension_status},
      {{"junk", "--request-camera"}, Mode::request_camera},
      // Whole argument, exact case.
      {{"--Camera-Status"}, Mode::unknown},
      {{"--camera-status=1"}, Mode::unknown},
      {{" --camera-status"}, Mode::unknown},
      {{"camera-status"}, Mode::unknown},
      {{""}, Mode::unknown},
      {{"--help"}, Mode::unknown},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VantorelWatermark::select_mode(c.args), c.expected) << testing::PrintToString(c.args);
  }
}

}  // namespace
