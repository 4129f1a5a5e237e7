#include <gtest/gtest.h>

#include <expected>
#include <optional>
#include <string>
#include <string_view>
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

// What each action of a fake run answers.
struct Outcomes {
  bool installed;
  int install;
  std::optional<shared::Error> elevated_error;
  bool denied;
  int service;
};

struct RunCase {
  const char* what;
  Mode mode;
  Outcomes outcomes;
  int exit_code;
  std::vector<std::string> ran;
  std::vector<std::string> error_lines;
};

TEST(RunMode, ExitCodesAndStandardErrorOfEveryMode) {
  const shared::Error denied = shared::Error::from_io(5, "Access is denied.");
  const shared::Error unsigned_dlls =
      shared::Error::own("watermark camera DLLs failed signature verification");
  // Every action succeeds or answers yes; every action fails or answers no.
  const Outcomes yes{true, 0, std::nullopt, true, 0};
  const Outcomes no{false, 1, denied, false, 1};
  Outcomes unsigned_check = no;
  unsigned_check.elevated_error = unsigned_dlls;
  const std::vector<std::string> none;
  const RunCase cases[] = {
      {"current installation", Mode::extension_status, yes, 0, {"is_installed"}, none},
      // 3, not 1: the desktop application tells "not installed" from a failed run.
      {"no current installation", Mode::extension_status, no, 3, {"is_installed"}, none},
      {"install succeeded", Mode::install_extension, yes, 0, {"install"}, none},
      {"install failed", Mode::install_extension, no, 1, {"install"}, none},
      {"elevated install", Mode::install_elevated, yes, 0, {"install_elevated"}, none},
      {"elevated install failed",
       Mode::install_elevated,
       no,
       1,
       {"install_elevated"},
       {"install failed: Access is denied. (os error 5)"}},
      {"signature check failed",
       Mode::install_elevated,
       unsigned_check,
       1,
       {"install_elevated"},
       {"install failed: watermark camera DLLs failed signature verification"}},
      {"camera denied", Mode::camera_status, yes, 1, {"camera_denied"}, none},
      {"camera allowed", Mode::camera_status, no, 0, {"camera_denied"}, none},
      {"request while denied", Mode::request_camera, yes, 1, {"camera_denied"}, none},
      {"request: only asks", Mode::request_camera, no, 0, {"camera_denied"}, none},
      {"input ended", Mode::service, yes, 0, {"service"}, none},
      {"output failed", Mode::service, no, 1, {"service"}, none},
      {"no flag runs nothing", Mode::unknown, yes, 1, none, none},
  };
  for (const RunCase& c : cases) {
    std::vector<std::string> ran;
    std::vector<std::string> error_lines;
    const Outcomes& o = c.outcomes;
    // An action that notes its name and gives the outcome.
    const auto answer = [&ran](const char* name, auto value) {
      return [&ran, name, value] {
        ran.push_back(name);
        return value;
      };
    };
    const shared::Result<void> elevated =
        o.elevated_error ? shared::Result<void>(std::unexpected(*o.elevated_error))
                         : shared::Result<void>();
    const VantorelWatermark::ModeActions actions{
        .is_installed = answer("is_installed", o.installed),
        .install = answer("install", o.install),
        .install_elevated = answer("install_elevated", elevated),
        .camera_denied = answer("camera_denied", o.denied),
        .service = answer("service", o.service),
        .write_error_line = [&](std::string_view line) { error_lines.emplace_back(line); },
    };
    EXPECT_EQ(VantorelWatermark::run_mode(c.mode, actions), c.exit_code) << c.what;
    EXPECT_EQ(ran, c.ran) << c.what;
    EXPECT_EQ(error_lines, c.error_lines) << c.what;
  }
}

}  // namespace
