#pragma once
// Read side of the installation: where the shipped DLLs are, how an installation names its
// backend, and the four read-only checks (current installation, registered classes, usable state
// file, camera access denied). Nothing here writes or prints.
//
// The decisions are portable; the functions marked "Windows only" live in install_win.cpp.
// read_string, which takes a registry root, is declared in install_win.hpp.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "error.hpp"
#include "shared_state.hpp"

namespace install {

inline constexpr std::string_view BACKEND_DLL = "VantorelVirtualCameraBackend.dll";
inline constexpr std::string_view PROXY_DLL = "VantorelVirtualCamera.dll";
inline constexpr std::string_view CONFIG_FILE = "VantorelVirtualCamera.cfg";
inline constexpr std::string_view BACKENDS_FOLDER = "backends";
inline constexpr std::string_view CLSID_ROOT = "SOFTWARE\\Classes\\CLSID\\";
inline constexpr std::string_view INPROC_SERVER = "InprocServer32";
inline constexpr std::string_view CONSENT_KEY =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore\\webcam";
inline constexpr std::string_view NON_PACKAGED = "\\NonPackaged";
inline constexpr std::string_view CONSENT_VALUE = "Value";
inline constexpr std::string_view DENY = "Deny";
// A state file shorter than this cannot hold the mapping.
inline constexpr std::uint64_t STATE_MIN_SIZE = shared::STATE_SIZE;

// "backends\" + content hash of the bytes + "\" + BACKEND_DLL.
std::string backend_relative(std::span<const std::uint8_t> bytes);

// CLSID_ROOT + clsid_text(slot).
std::string clsid_key(unsigned slot);
// clsid_key(slot) + "\InprocServer32".
std::string server_key(unsigned slot);


// The configuration file names the backend `relative` when its bytes are valid UTF-8 and, once
// trimmed, equal `relative` exactly.
bool config_current(std::string_view content, std::string_view relative);

// A consent value denies camera access only when it is exactly "Deny".
bool is_denial(const std::optional<std::string>& value);

// Windows only. The helper's executable path with its file name replaced by `file_name`.
shared::Result<std::string> bundled(std::string_view file_name);
// Windows only. backend_relative of the backend DLL that ships beside the helper.
shared::Result<std::string> backend_relative_path();

// Windows only. These never fail: every error answers false.
bool state_ready();
bool is_registered();
bool is_installed();
bool camera_denied();

}  // namespace install
