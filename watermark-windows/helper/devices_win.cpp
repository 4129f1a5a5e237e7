#include "devices_win.hpp"

#include <mfapi.h>

#include <cstddef>
#include <expected>
#include <utility>

#include "handle_win.hpp"
#include "lib.hpp"
#include "utf.hpp"
#include "win_error.hpp"

namespace devices {
namespace {

constexpr wchar_t SENSOR_GROUP_DLL[] = L"mfsensorgroup.dll";
constexpr ULONG LINK_UNITS = 512;
constexpr DWORD IMAGE_PATH_UNITS = 1024;

using CreateVirtualCameraFn = HRESULT(WINAPI*)(MFVirtualCameraType, MFVirtualCameraLifetime,
                                               MFVirtualCameraAccess, LPCWSTR, LPCWSTR, const GUID*,
                                               ULONG, IMFVirtualCamera**);
using CreateSensorActivityMonitorFn = HRESULT(WINAPI*)(IMFSensorActivitiesReportCallback*,
                                                       IMFSensorActivityMonitor**);

// A function of mfsensorgroup.dll, or the error of the failed lookup. The DLL stays loaded: the
// cameras and the monitor it makes live until the process ends.
struct Lookup {
  void (*proc)() = nullptr;
  HRESULT error = S_OK;
};

HRESULT lookup_error() {
  const DWORD code = GetLastError();
  return HRESULT_FROM_WIN32(code == ERROR_SUCCESS ? ERROR_PROC_NOT_FOUND : code);
}

Lookup look_up(const char* name) {
  // Only the system folder: a DLL of that name beside the helper must not be loaded instead.
  HMODULE module = LoadLibraryExW(SENSOR_GROUP_DLL, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module) return {nullptr, lookup_error()};
  FARPROC proc = GetProcAddress(module, name);
  if (!proc) return {nullptr, lookup_error()};
  return {reinterpret_cast<void (*)()>(proc), S_OK};
}

const Lookup& create_virtual_camera_fn() {
  static const Lookup found = look_up("MFCreateVirtualCamera");
  return found;
}

const Lookup& create_sensor_activity_monitor_fn() {
  static const Lookup found = look_up("MFCreateSensorActivityMonitor");
  return found;
}

}  // namespace

std::optional<std::string> string(IMFAttributes* activate, REFGUID key) {
  wchar_t* text = nullptr;
  UINT32 length = 0;
  if (FAILED(activate->GetAllocatedString(key, &text, &length))) return std::nullopt;
  std::optional<std::string> decoded =
      shared::utf16_to_utf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
  CoTaskMemFree(text);
  return decoded;
}

std::optional<Device> read_device(IMFAttributes* activate) {
  std::optional<std::string> name = string(activate, MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME);
  if (!name) return std::nullopt;
  std::optional<std::string> link =
      string(activate, MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK);
  if (!link) return std::nullopt;
  return Device{std::move(*name), std::move(*link)};
}

std::vector<Device> all_devices() {
  ComRef<IMFAttributes> attributes;
  if (FAILED(MFCreateAttributes(attributes.put(), 1))) return {};
  attributes->SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE,
                      MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID);
  IMFActivate** array = nullptr;
  UINT32 count = 0;
  if (FAILED(MFEnumDeviceSources(attributes.get(), &array, &count)) || !array) return {};

  std::vector<Device> found;
  for (UINT32 i = 0; i < count; ++i) {
    const ComRef<IMFActivate> activate(std::exchange(array[i], nullptr));
    if (!activate) continue;
    if (std::optional<Device> device = read_device(activate.get())) {
      found.push_back(std::move(*device));
    }
  }
  CoTaskMemFree(array);
  return found;
}

std::optional<std::string> exe_name(std::uint32_t process_id) {
  shared::win::UniqueHandle process(
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
  if (!process) return std::nullopt;
  std::vector<wchar_t> path(IMAGE_PATH_UNITS, L'\0');
  DWORD size = IMAGE_PATH_UNITS;
  const BOOL queried = QueryFullProcessImageNameW(process.get(), 0, path.data(), &size);
  process.reset();
  if (!queried) return std::nullopt;
  const std::size_t units = size < IMAGE_PATH_UNITS ? size : IMAGE_PATH_UNITS;
  return image_file_name(
      std::u16string_view(reinterpret_cast<const char16_t*>(path.data()), units));
}

HRESULT create_virtual_camera(MFVirtualCameraType type, MFVirtualCameraLifetime lifetime,
                              MFVirtualCameraAccess access, LPCWSTR friendly_name,
                              LPCWSTR source_id, const GUID* categories, ULONG category_count,
                              IMFVirtualCamera** camera) {
  const Lookup& found = create_virtual_camera_fn();
  if (!found.proc) return found.error;
  const auto create = reinterpret_cast<CreateVirtualCameraFn>(found.proc);
  return create(type, lifetime, access, friendly_name, source_id, categories, category_count,
                camera);
}

VirtualCameras::Published VirtualCameras::publish(const std::vector<Device>& physical,
                                                  std::string_view brand) {
  return publish(physical, brand, create_virtual_camera);
}

VirtualCameras::Published VirtualCameras::publish(const std::vector<Device>& physical,
                                                  std::string_view brand,
                                                  const CreateCamera& create) {
  Published out;
  // Only four class identifiers exist; a longer list has no slot for the rest.
  const std::size_t count =
      physical.size() < shared::SLOT_COUNT ? physical.size() : shared::SLOT_COUNT;
  for (std::size_t i = 0; i < count; ++i) {
    std::string name = shared::camera_name(physical[i].name, brand);
    const std::wstring wide_name = shared::win::wide(name);
    const std::wstring source = shared::win::wide(shared::clsid_text(static_cast<unsigned>(i)));
    ComRef<IMFVirtualCamera> camera;
    // Session lifetime: the cameras end with the helper, which removes nothing when it exits.
    // No categories: the platform's defaults.
    HRESULT hr = create(MFVirtualCameraType_SoftwareCameraSource, MFVirtualCameraLifetime_Session,
                        MFVirtualCameraAccess_CurrentUser, wide_name.c_str(), source.c_str(),
                        nullptr, 0, camera.put());
    if (SUCCEEDED(hr) && !camera) hr = E_POINTER;
    // A camera that does not start is only released: it was never published.
    if (SUCCEEDED(hr)) hr = camera->Start(nullptr);
    if (FAILED(hr)) {
      out.error = camera_error(i, shared::win::hresult_error(hr));
      continue;
    }
    out.cameras.cams_.push_back(std::move(camera));
    out.cameras.names_.push_back(std::move(name));
  }
  return out;
}

VirtualCameras::VirtualCameras(VirtualCameras&& other) noexcept
    : cams_(std::move(other.cams_)), names_(std::move(other.names_)) {
  other.cams_.clear();
  other.names_.clear();
}

VirtualCameras& VirtualCameras::operator=(VirtualCameras&& other) noexcept {
  if (this != &other) {
    remove_all();
    cams_ = std::move(other.cams_);
    names_ = std::move(other.names_);
    other.cams_.clear();
    other.names_.clear();
  }
  return *this;
}

VirtualCameras::~VirtualCameras() {
  remove_all();
}

void VirtualCameras::remove_all() {
  for (ComRef<IMFVirtualCamera>& camera : cams_) {
    camera->Remove();
    camera->Shutdown();
  }
  // Released in slot order as well: clear() leaves the order of destruction to the library.
  for (ComRef<IMFVirtualCamera>& camera : cams_) camera.reset();
  cams_.clear();
  names_.clear();
}

ComRef<IMFSensorActivitiesReportCallback> ActivityCallback::create(
    std::shared_ptr<ActivityMap> map) {
  return ComRef<IMFSensorActivitiesReportCallback>(new ActivityCallback(std::move(map)));
}

HRESULT ActivityCallback::OnActivitiesReport(IMFSensorActivitiesReport* report) {
  if (!report) return E_POINTER;
  Activity entries;
  ULONG count = 0;
  HRESULT hr = report->GetCount(&count);
  if (FAILED(hr)) return hr;
  for (ULONG i = 0; i < count; ++i) {
    ComRef<IMFSensorActivityReport> camera;
    if (FAILED(hr = report->GetActivityReport(i, camera.put()))) return hr;
    wchar_t link[LINK_UNITS] = {};
    ULONG written = 0;
    if (FAILED(hr = camera->GetSymbolicLink(link, LINK_UNITS, &written))) return hr;
    std::size_t units = 0;
    while (units < LINK_UNITS && link[units] != L'\0') ++units;

    std::vector<std::uint32_t> streaming;
    ULONG processes = 0;
    if (FAILED(hr = camera->GetProcessCount(&processes))) return hr;
    for (ULONG p = 0; p < processes; ++p) {
      ComRef<IMFSensorProcessActivity> activity;
      if (FAILED(hr = camera->GetProcessActivity(p, activity.put()))) return hr;
      BOOL is_streaming = FALSE;
      if (FAILED(hr = activity->GetStreamingState(&is_streaming))) return hr;
      if (!is_streaming) continue;
      ULONG pid = 0;
      if (FAILED(hr = activity->GetProcessId(&pid))) return hr;
      streaming.push_back(pid);
    }
    entries.insert_or_assign(lower_ascii(shared::win::narrow(std::wstring_view(link, units))),
                             std::move(streaming));
  }
  map_->replace(std::move(entries));
  return S_OK;
}

shared::Result<ComRef<IMFSensorActivityMonitor>> monitor_activity(
    std::shared_ptr<ActivityMap> map) {
  const ComRef<IMFSensorActivitiesReportCallback> callback =
      ActivityCallback::create(std::move(map));
  const Lookup& found = create_sensor_activity_monitor_fn();
  if (!found.proc) return std::unexpected(shared::win::hresult_error(found.error));
  const auto create = reinterpret_cast<CreateSensorActivityMonitorFn>(found.proc);
  ComRef<IMFSensorActivityMonitor> monitor;
  HRESULT hr = create(callback.get(), monitor.put());
  if (SUCCEEDED(hr) && !monitor) hr = E_POINTER;
  if (FAILED(hr)) return std::unexpected(shared::win::hresult_error(hr));
  if (FAILED(hr = monitor->Start())) return std::unexpected(shared::win::hresult_error(hr));
  return monitor;
}

}  // namespace devices
