#pragma once
// The writing half of `install`: the elevated copy puts the camera DLLs in place, secures
// state.bin and registers the camera classes; the user's copy starts it and reads its outcome.

#include <cstdint>
#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "error.hpp"
#include "install.hpp"

struct _SECURITY_ATTRIBUTES;

namespace install {

inline constexpr std::string_view STAGED_SUFFIX = ".staged";
inline constexpr std::string_view OLD_SUFFIX = ".old.";
inline constexpr std::string_view PARTIAL_EXTENSION = "partial";
inline constexpr std::string_view ELEVATED_ARGUMENT = "--install-elevated";
inline constexpr std::string_view SIGNATURE_FAILURE =
    "watermark camera DLLs failed signature verification";
inline constexpr std::string_view ELEVATION_DECLINED = "Administrator permission was declined";
inline constexpr std::string_view CLASS_NAME = "VantorelVirtualCamera";
inline constexpr std::string_view THREADING_MODEL = "Both";

// --- Decisions (portable) ---

// "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x120089;;;LS)(A;;0x12008f;;;BU)".
std::string state_sddl();

// The path with the extension of its last component replaced by "partial" (added when it
// has none).
std::string partial_path(std::string_view path);

std::string staged_name();
// The name a loaded proxy is moved aside to, and the prefix by which a later install finds it.
std::string old_proxy_prefix();
std::string old_proxy_name(std::uint64_t unix_ms);
bool is_old_proxy(std::string_view file_name);

struct RegistryValue {
  std::string subkey;
  std::optional<std::string> name;  // none: the key's default value
  std::string data;

  friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

// The twelve values that register the four camera classes with the installed proxy, in the
// order they are written.
std::vector<RegistryValue> registry_values(std::string_view proxy_path);

// The elevation prompt was declined: the launch failed with ERROR_CANCELLED or its HRESULT.
bool launch_declined(std::uint32_t error);

// The exit code of the user's copy from the elevated copy's exit code; a reported success
// counts only when the installation reads as current afterwards.
int exit_code_of(std::uint32_t elevated_exit, const std::function<bool()>& installed);

// --- Windows operations. Paths are UTF-8 text. ---

// Starts the executable elevated with ELEVATED_ARGUMENT: the new process's handle (null when the
// platform gave none), or the launch's error code.
using LaunchElevated = std::function<std::expected<void*, std::uint32_t>(const std::string& exe)>;

// Starts the elevated copy with ShellExecuteExW's "runas", waits for it and gives 0 or 1.
int install();
int install(const LaunchElevated& launch);
shared::Result<void> install_elevated();

// Gives the installed backend path and its relative backend path.
shared::Result<std::pair<std::string, std::string>> stage_backend(const std::string& dir);
// The platform's copy that replaces an existing file (CopyFileW): false with the thread's last
// error set on failure.
using CopyReplacing = std::function<bool(const std::string& from, const std::string& to)>;

shared::Result<std::string> stage_proxy(const std::string& dir);
shared::Result<std::string> stage_proxy(const std::string& dir, const CopyReplacing& copy);
shared::Result<std::string> commit_proxy(const std::string& dir, const std::string& staged);
shared::Result<void> commit_backend(const std::string& dir, const std::string& backend_path,
                                    const std::string& rel);

// The platform call that replaces a file's access list (SetFileSecurityW): the path, the
// SECURITY_INFORMATION flags and the descriptor; false with the thread's last error set on failure.
using SetFileAccess =
    std::function<bool(const std::string& path, std::uint32_t information, void* descriptor)>;

shared::Result<void> secure_state_file(const std::string& path);
shared::Result<void> secure_state_file(const std::string& path, const SetFileAccess& set_security);

// A security descriptor made from SDDL by the system, freed with it.
class Descriptor {
 public:
  static shared::Result<Descriptor> create(const std::string& sddl);
  Descriptor(Descriptor&& other) noexcept
      : descriptor_(std::exchange(other.descriptor_, nullptr)) {}
  Descriptor& operator=(Descriptor&&) = delete;
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor();

  // Points at the descriptor, not inherited; valid while the Descriptor lives.
  _SECURITY_ATTRIBUTES attributes() const;
  // Sets the descriptor's DACL on the file.
  shared::Result<void> apply(const std::string& path) const;
  shared::Result<void> apply(const std::string& path, const SetFileAccess& set_security) const;

 private:
  explicit Descriptor(void* descriptor) : descriptor_(descriptor) {}
  void* descriptor_;
};

// Creates the HKEY_LOCAL_MACHINE key as needed and writes one REG_SZ value.
shared::Result<void> write_string(const std::string& subkey, const std::optional<std::string>& name,
                                  const std::string& data);

}  // namespace install
