#pragma once
// The fixed names on which the helper and the media source agree without talking to each
// other: the install folder, the camera class identifiers, the virtual camera name and the
// content hash that names an installed backend.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace shared {

inline constexpr std::size_t SLOT_COUNT = 4;

// The maker's own name: the helper's brand until it is told another, and the title that the
// media source draws as the brand mark instead of as text.
inline constexpr std::string_view BRAND_NAME = "Vantorel";

inline constexpr std::string_view DEFAULT_PROGRAM_FILES = "C:\\Program Files";
inline constexpr std::string_view INSTALL_FOLDER_NAME = "VantorelVirtualCamera";
inline constexpr std::string_view STATE_FILE_NAME = "state.bin";

// The platform's virtual cameras carry this in their symbolic link, in any ASCII letter case.
inline constexpr std::string_view VIRTUAL_CAMERA_MARKER = "#vcamdevapi#";

// The four fields of a GUID, as the media source receives a class identifier.
struct ClsidFields {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::array<std::uint8_t, 8> data4;

  friend bool operator==(const ClsidFields&, const ClsidFields&) = default;
};

// Joins two path parts with one backslash unless the first already ends with a separator.
std::string join_path(std::string_view first, std::string_view second);

// Windows only: the Program Files known folder, or DEFAULT_PROGRAM_FILES when the shell
// cannot tell it.
std::string program_files();
std::string install_dir();
std::string state_path();

// The Program Files path as the shell reported it, or the fallback when it gave none or its
// text was not valid UTF-16.
std::string program_files_or_default(std::optional<std::u16string_view> reported);

// "{4E8B1A2C-6D3F-4A7B-9E51-3C2D8F6A0B9" + slot + "}".
std::string clsid_text(unsigned slot);
ClsidFields clsid_fields(unsigned slot);
std::optional<unsigned> slot_of(const ClsidFields& fields);

// Physical camera name + " - " + brand + " Watermark".
std::string camera_name(std::string_view physical_name, std::string_view brand);

// Whether the ASCII lower-case form of a camera symbolic link holds VIRTUAL_CAMERA_MARKER: a
// virtual camera, which the helper never publishes and the media source never opens (one fed
// by the frame server would feed on itself).
bool is_virtual_camera(std::string_view link);

// 64-bit FNV-1a of the bytes as 16 lower-case hexadecimal digits.
std::string content_hash(std::span<const std::uint8_t> bytes);

}  // namespace shared
