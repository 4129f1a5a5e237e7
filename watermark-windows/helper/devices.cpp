#include "devices.hpp"

#include "lib.hpp"
#include "utf.hpp"

namespace devices {

std::string lower_ascii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::vector<Device> physical_cameras(const std::vector<Device>& all) {
  std::vector<Device> physical;
  for (const Device& device : all) {
    if (physical.size() == MAX_PHYSICAL) break;
    if (!shared::is_virtual_camera(device.link)) physical.push_back(device);
  }
  return physical;
}

std::string camera_error(std::size_t position, const shared::Error& error) {
  return "virtual camera " + std::to_string(position) + ": " + error.text();
}

std::string image_file_name(std::u16string_view path) {
  const std::size_t slash = path.rfind(u'\\');
  if (slash != std::u16string_view::npos) path.remove_prefix(slash + 1);
  return lower_ascii(shared::utf16_to_utf8_lossy(path));
}

}  // namespace devices
