#pragma once
// Camera devices, portable half: the device record, telling the platform's virtual cameras from
// physical ones, the activity map the sensor monitor fills, and the texts the adapter reports.
// The Media Foundation side (all_devices, VirtualCameras, monitor_activity, exe_name) is in
// devices_win.hpp.

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "error.hpp"

namespace devices {

inline constexpr std::size_t MAX_PHYSICAL = 4;

struct Device {
  std::string name;  // friendly name, as reported
  std::string link;  // symbolic link, as reported (not lower-cased)

  friend bool operator==(const Device&, const Device&) = default;
};

std::string lower_ascii(std::string_view text);

// The first MAX_PHYSICAL devices that are not virtual cameras (shared::is_virtual_camera), in
// order.
std::vector<Device> physical_cameras(const std::vector<Device>& all);

// "virtual camera " + position + ": " + the error's text.
std::string camera_error(std::size_t position, const shared::Error& error);

// The lower-cased file name of a Win32 image path: the part after the last backslash (the whole
// path without one). Invalid UTF-16 becomes U+FFFD; only ASCII letters change case.
std::string image_file_name(std::u16string_view path);

// Lower-cased camera symbolic link -> ids of the processes streaming from it.
using Activity = std::map<std::string, std::vector<std::uint32_t>>;

// The activity map shared (through std::shared_ptr) between the sensor monitor's callback, which
// replaces it whole, and the service, which copies it. The mutex guards only the swap and the copy.
class ActivityMap {
 public:
  Activity copy() const {
    std::lock_guard lock(mutex_);
    return entries_;
  }
  void replace(Activity entries) {
    std::lock_guard lock(mutex_);
    entries_.swap(entries);
  }

 private:
  mutable std::mutex mutex_;
  Activity entries_;
};

}  // namespace devices
