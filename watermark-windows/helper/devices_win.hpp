#pragma once
// Camera devices, Media Foundation side: enumeration, the helper's virtual cameras, the sensor
// activity monitor and process image names. MFCreateVirtualCamera and
// MFCreateSensorActivityMonitor are looked up in mfsensorgroup.dll at run time, so the helper
// starts where they are missing and only those calls fail, with the lookup's error.
//
// Threads: everything runs on the service's main thread except ActivityCallback's
// OnActivitiesReport, which the platform calls on its own thread.

#include <windows.h>

#include <mfidl.h>
#include <mfobjects.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "devices.hpp"
#include "com_win.hpp"
#include "error.hpp"
#include "platform/mfsensor.hpp"
#include "platform/mfvirtualcamera.hpp"

namespace devices {

using shared::win::ComObject;
using shared::win::ComRef;

// The video capture devices, in enumeration order; empty when enumeration fails. Devices whose
// name or link cannot be read are left out.
std::vector<Device> all_devices();

// A string attribute of a device's activation object, strictly converted from UTF-16; none on
// any failure.
std::optional<std::string> string(IMFAttributes* activate, REFGUID key);

// The device that an enumerated activation object describes, or none when its friendly name or
// symbolic link cannot be read.
std::optional<Device> read_device(IMFAttributes* activate);

// The lower-cased executable file name of a process, or none when it cannot be read.
std::optional<std::string> exe_name(std::uint32_t process_id);

// Creates one virtual camera, with the arguments of MFCreateVirtualCamera.
using CreateCamera =
    std::function<HRESULT(MFVirtualCameraType type, MFVirtualCameraLifetime lifetime,
                          MFVirtualCameraAccess access, LPCWSTR friendly_name, LPCWSTR source_id,
                          const GUID* categories, ULONG category_count, IMFVirtualCamera** camera)>;

// MFCreateVirtualCamera, or the lookup's error where mfsensorgroup.dll or the function is
// missing.
HRESULT create_virtual_camera(MFVirtualCameraType type, MFVirtualCameraLifetime lifetime,
                              MFVirtualCameraAccess access, LPCWSTR friendly_name,
                              LPCWSTR source_id, const GUID* categories, ULONG category_count,
                              IMFVirtualCamera** camera);

// The helper's published virtual cameras. Destroying the set removes and shuts down each camera.
class VirtualCameras {
 public:
  struct Published;

  // One camera per physical camera (slot i gets clsid_text(i)), named
  // camera_name(physical name, brand): a software camera source for the current user that lives
  // as long as the session, in the platform's default categories. A camera that fails to be
  // created or started is left out, and the error of the last failure is returned beside the set.
  static Published publish(const std::vector<Device>& physical, std::string_view brand);
  static Published publish(const std::vector<Device>& physical, std::string_view brand,
                           const CreateCamera& create);

  VirtualCameras() = default;
  VirtualCameras(VirtualCameras&& other) noexcept;
  VirtualCameras& operator=(VirtualCameras&& other) noexcept;
  VirtualCameras(const VirtualCameras&) = delete;
  VirtualCameras& operator=(const VirtualCameras&) = delete;
  ~VirtualCameras();

  bool is_empty() const { return cams_.empty(); }
  // The friendly names given, in the order of the cameras that were created.
  const std::vector<std::string>& names() const { return names_; }

 private:
  void remove_all();

  std::vector<ComRef<IMFVirtualCamera>> cams_;
  std::vector<std::string> names_;
};

struct VirtualCameras::Published {
  VirtualCameras cameras;
  std::optional<std::string> error;  // "virtual camera N: ..." of the last failure
};

// Receives the sensor monitor's reports and replaces the shared activity map with each complete
// one. A report with any failing call leaves the map as it was.
class ActivityCallback final : public ComObject<IMFSensorActivitiesReportCallback> {
 public:
  static ComRef<IMFSensorActivitiesReportCallback> create(std::shared_ptr<ActivityMap> map);

  HRESULT STDMETHODCALLTYPE OnActivitiesReport(IMFSensorActivitiesReport* report) override;

 private:
  explicit ActivityCallback(std::shared_ptr<ActivityMap> map) : map_(std::move(map)) {}

  std::shared_ptr<ActivityMap> map_;
};

// Starts the platform's sensor activity monitor with an ActivityCallback on `map`. The caller
// keeps the monitor alive for as long as it wants reports.
shared::Result<ComRef<IMFSensorActivityMonitor>> monitor_activity(std::shared_ptr<ActivityMap> map);

}  // namespace devices
