#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <mfapi.h>

#include "devices_win.hpp"
#include "lib.hpp"
#include "win_error.hpp"

namespace {

using shared::win::ComObject;
using shared::win::ComRef;
using devices::Device;

// What happened to the fake cameras, in order.
struct Journal {
  std::vector<std::string> calls;
};

// A virtual camera that only records Start, Remove and Shutdown. Its attribute methods are
// never called by the code under test.
class FakeCamera final : public ComObject<IMFVirtualCamera> {
 public:
  FakeCamera(std::shared_ptr<Journal> journal, std::string id, HRESULT start)
      : journal_(std::move(journal)), id_(std::move(id)), start_(start) {}
  ~FakeCamera() override { journal_->calls.push_back("release " + id_); }

#define VT_NOT_USED(name, ...)                           \
  HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { \
    return E_NOTIMPL;                                    \
  }
  VT_NOT_USED(GetItem, REFGUID, PROPVARIANT*)
  VT_NOT_USED(GetItemType, REFGUID, MF_ATTRIBUTE_TYPE*)
  VT_NOT_USED(CompareItem, REFGUID, REFPROPVARIANT, BOOL*)
  VT_NOT_USED(Compare, IMFAttributes*, MF_ATTRIBUTES_MATCH_TYPE, BOOL*)
  VT_NOT_USED(GetUINT32, REFGUID, UINT32*)
  VT_NOT_USED(GetUINT64, REFGUID, UINT64*)
  VT_NOT_USED(GetDouble, REFGUID, double*)
  VT_NOT_USED(GetGUID, REFGUID, GUID*)
  VT_NOT_USED(GetStringLength, REFGUID, UINT32*)
  VT_NOT_USED(GetString, REFGUID, LPWSTR, UINT32, UINT32*)
  VT_NOT_USED(GetAllocatedString, REFGUID, LPWSTR*, UINT32*)
  VT_NOT_USED(GetBlobSize, REFGUID, UINT32*)
  VT_NOT_USED(GetBlob, REFGUID, UINT8*, UINT32, UINT32*)
  VT_NOT_USED(GetAllocatedBlob, REFGUID, UINT8**, UINT32*)
  VT_NOT_USED(GetUnknown, REFGUID, REFIID, LPVOID*)
  VT_NOT_USED(SetItem, REFGUID, REFPROPVARIANT)
  VT_NOT_USED(DeleteItem, REFGUID)
  VT_NOT_USED(DeleteAllItems)
  VT_NOT_USED(SetUINT32, REFGUID, UINT32)
  VT_NOT_USED(SetUINT64, REFGUID, UINT64)
  VT_NOT_USED(SetDouble, REFGUID, double)
  VT_NOT_USED(SetGUID, REFGUID, REFGUID)
  VT_NOT_USED(SetString, REFGUID, LPCWSTR)
  VT_NOT_USED(SetBlob, REFGUID, const UINT8*, UINT32)
  VT_NOT_USED(SetUnknown, REFGUID, IUnknown*)
  VT_NOT_USED(LockStore)
  VT_NOT_USED(UnlockStore)
  VT_NOT_USED(GetCount, UINT32*)
  VT_NOT_USED(GetItemByIndex, UINT32, GUID*, PROPVARIANT*)
  VT_NOT_USED(CopyAllItems, IMFAttributes*)
  VT_NOT_USED(AddDeviceSourceInfo, LPCWSTR)
  VT_NOT_USED(AddProperty, const DEVPROPKEY*, DEVPROPTYPE, const BYTE*, ULONG)
  VT_NOT_USED(AddRegistryEntry, LPCWSTR, LPCWSTR, DWORD, const BYTE*, ULONG)
  VT_NOT_USED(Stop)
  VT_NOT_USED(GetMediaSource, IMFMediaSource**)
  VT_NOT_USED(SendCameraProperty, REFGUID, ULONG, ULONG, void*, ULONG, void*, ULONG, ULONG*)
  VT_NOT_USED(CreateSyncEvent, REFGUID, ULONG, ULONG, HANDLE, IMFCameraSyncObject**)
  VT_NOT_USED(CreateSyncSemaphore, REFGUID, ULONG, ULONG, HANDLE, LONG, IMFCameraSyncObject**)
#undef VT_NOT_USED

  HRESULT STDMETHODCALLTYPE Start(IMFAsyncCallback* callback) override {
    journal_->calls.push_back("start " + id_ + (callback ? " with callback" : ""));
    return start_;
  }
  HRESULT STDMETHODCALLTYPE Remove() override {
    journal_->calls.push_back("remove " + id_);
    return E_FAIL;  // ignored
  }
  HRESULT STDMETHODCALLTYPE Shutdown() override {
    journal_->calls.push_back("shutdown " + id_);
    return E_FAIL;
  }

 private:
  std::shared_ptr<Journal> journal_;
  std::string id_;
  HRESULT start_;
};

// The arguments of one creation.
struct CreateCall {
  MFVirtualCameraType type;
  MFVirtualCameraLifetime lifetime;
  MFVirtualCameraAccess access;
  std::string name;
  std::string source;
  const GUID* categories;
  ULONG category_count;
};

// A creation seam that records its arguments and answers with `make` (the call's position, the
// camera out-parameter).
devices::CreateCamera recording(std::vector<CreateCall>& calls,
                                std::function<HRESULT(std::size_t, IMFVirtualCamera**)> make) {
  return [&calls, make](MFVirtualCameraType type, MFVirtualCameraLifetime lifetime,
                        MFVirtualCameraAccess access, LPCWSTR name, LPCWSTR source,
                        const GUID* categories, ULONG category_count, IMFVirtualCamera** out) {
    calls.push_back({type, lifetime, access, shared::win::narrow(name), shared::win::narrow(source),
                     categories, category_count});
    return make(calls.size() - 1, out);
  };
}

std::vector<Device> three_cameras() {
  return {{"Front", "\\\\?\\usb#front"}, {"Desk", "\\\\?\\usb#desk"}, {"Room", "\\\\?\\usb#room"}};
}

TEST(Publish, EachCameraIsASessionSoftwareSourceForTheUserNamedForItsSlot) {
  auto journal = std::make_shared<Journal>();
  std::vector<CreateCall> calls;
  const std::vector<Device> physical = {{"Front", "\\\\?\\usb#front"},
                                        {"Desk", "\\\\?\\usb#desk"},
                                        {"Room", "\\\\?\\usb#room"},
                                        {"Back \u00e9", "\\\\?\\usb#back"}};
  const devices::VirtualCameras::Published published = devices::VirtualCameras::publish(
      physical, "Acme", recording(calls, [&](std::size_t i, IMFVirtualCamera** out) {
        *out = new FakeCamera(journal, std::to_string(i), S_OK);
        return S_OK;
      }));
  ASSERT_EQ(calls.size(), physical.size());
  for (unsigned i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(calls[i].type, MFVirtualCameraType_SoftwareCameraSource);
    EXPECT_EQ(calls[i].lifetime, MFVirtualCameraLifetime_Session);
    EXPECT_EQ(calls[i].access, MFVirtualCameraAccess_CurrentUser);
    EXPECT_EQ(calls[i].name, shared::camera_name(physical[i].name, "Acme"));
    EXPECT_EQ(calls[i].source, shared::clsid_text(i));
    EXPECT_EQ(calls[i].categories, nullptr);
    EXPECT_EQ(calls[i].category_count, 0u);
  }
  EXPECT_EQ(published.cameras.names().size(), physical.size());
  EXPECT_FALSE(published.error);
}

TEST(Publish, FailedCreationLeavesTheOthersAndNamesTheCamera) {
  auto journal = std::make_shared<Journal>();
  std::vector<CreateCall> created;
  const devices::CreateCamera create =
      recording(created, [&](std::size_t i, IMFVirtualCamera** out) {
        if (i == 1) return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
        *out = new FakeCamera(journal, std::to_string(i), S_OK);
        return S_OK;
      });
  {
    devices::VirtualCameras::Published published =
        devices::VirtualCameras::publish(three_cameras(), "Acme", create);
    ASSERT_EQ(created.size(), 3u);
    for (unsigned i = 0; i < 3; ++i) {
      EXPECT_EQ(created[i].source, shared::clsid_text(i));
      EXPECT_EQ(created[i].name, shared::camera_name(three_cameras()[i].name, "Acme"));
    }
    EXPECT_FALSE(published.cameras.is_empty());
    EXPECT_EQ(published.cameras.names(),
              (std::vector<std::string>{"Front - Acme Watermark", "Room - Acme Watermark"}));
    ASSERT_TRUE(published.error);
    EXPECT_EQ(*published.error,
              "virtual camera 1: " + shared::win::win32_error(ERROR_ACCESS_DENIED).text());
    EXPECT_EQ(journal->calls, (std::vector<std::string>{"start 0", "start 2"}));

    // Moving the set moves ownership; the moved-from set removes nothing.
    devices::VirtualCameras moved = std::move(published.cameras);
    published.cameras = devices::VirtualCameras();
    EXPECT_EQ(journal->calls.size(), 2u);
  }
  EXPECT_EQ(journal->calls,
            (std::vector<std::string>{"start 0", "start 2", "remove 0", "shutdown 0", "remove 2",
                                      "shutdown 2", "release 0", "release 2"}));
}

TEST(Publish, CameraThatDoesNotStartIsReleasedUnremoved) {
  auto journal = std::make_shared<Journal>();
  std::vector<CreateCall> calls;
  const devices::CreateCamera create = recording(calls, [&](std::size_t i, IMFVirtualCamera** out) {
    *out = new FakeCamera(journal, std::to_string(i), i == 0 ? E_ACCESSDENIED : S_OK);
    return S_OK;
  });
  devices::VirtualCameras::Published published =
      devices::VirtualCameras::publish({three_cameras()[0], three_cameras()[1]}, "Acme", create);
  EXPECT_EQ(published.cameras.names(), (std::vector<std::string>{"Desk - Acme Watermark"}));
  EXPECT_EQ(published.error,
            "virtual camera 0: " + shared::win::hresult_error(E_ACCESSDENIED).text());
  EXPECT_EQ(journal->calls, (std::vector<std::string>{"start 0", "release 0", "start 1"}));
}

TEST(Publish, EmptyListAndEveryCameraFailing) {
  std::vector<CreateCall> calls;
  const devices::CreateCamera fail = recording(calls, [](std::size_t i, IMFVirtualCamera**) {
    return i == 0 ? E_OUTOFMEMORY : E_INVALIDARG;
  });
  devices::VirtualCameras::Published none = devices::VirtualCameras::publish({}, "Acme", fail);
  EXPECT_TRUE(none.cameras.is_empty());
  EXPECT_FALSE(none.error);
  EXPECT_TRUE(calls.empty());

  devices::VirtualCameras::Published failed =
      devices::VirtualCameras::publish(three_cameras(), "Acme", fail);
  EXPECT_TRUE(failed.cameras.is_empty());
  EXPECT_TRUE(failed.cameras.names().empty());
  EXPECT_EQ(failed.error, "virtual camera 2: " + shared::win::hresult_error(E_INVALIDARG).text());
}

// Where mfsensorgroup.dll is missing (Wine), both of its calls fail with the lookup's error.
TEST(SensorGroup, MissingFunctionsFailTheirCallsOnly) {
  HMODULE module = LoadLibraryExW(L"mfsensorgroup.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module && GetProcAddress(module, "MFCreateVirtualCamera") &&
      GetProcAddress(module, "MFCreateSensorActivityMonitor")) {
    GTEST_SKIP() << "mfsensorgroup.dll has both functions here";
  }
  const HRESULT expected = HRESULT_FROM_WIN32(GetLastError());
  EXPECT_TRUE(FAILED(expected));

  auto map = std::make_shared<devices::ActivityMap>();
  const shared::Result<ComRef<IMFSensorActivityMonitor>> monitor = devices::monitor_activity(map);
  ASSERT_FALSE(monitor);
  if (!module) {
    EXPECT_EQ(monitor.error().code(), expected);
  }
  EXPECT_EQ(monitor.error(), shared::win::hresult_error(monitor.error().code()));

  IMFVirtualCamera* camera = nullptr;
  EXPECT_EQ(devices::create_virtual_camera(
                MFVirtualCameraType_SoftwareCameraSource, MFVirtualCameraLifetime_Session,
                MFVirtualCameraAccess_CurrentUser, L"x", L"{}", nullptr, 0, &camera),
            monitor.error().code());
  EXPECT_EQ(camera, nullptr);
  devices::VirtualCameras::Published published =
      devices::VirtualCameras::publish(three_cameras(), "Acme");
  EXPECT_TRUE(published.cameras.is_empty());
  EXPECT_EQ(published.error, "virtual camera 2: " + monitor.error().text());
}

TEST(ReadDevice, NeedsBothTextsAsValidUtf16) {
  struct Case {
    const wchar_t* name;  // null: attribute missing
    const wchar_t* link;
    std::optional<Device> device;
  };
  const wchar_t bad[] = {L'C', L'a', L'm', 0xD800, 0};
  const Case cases[] = {
      {L"Cam \u00C4", L"\\\\?\\USB#1", Device{"Cam \xC3\x84", "\\\\?\\USB#1"}},
      {nullptr, L"\\\\?\\usb#1", std::nullopt},
      {L"Cam", nullptr, std::nullopt},
      {bad, L"\\\\?\\usb#1", std::nullopt},
      {L"Cam", bad, std::nullopt},
      {L"", L"", Device{"", ""}},
  };
  for (const Case& c : cases) {
    ComRef<IMFAttributes> attributes;
    ASSERT_EQ(MFCreateAttributes(attributes.put(), 2), S_OK);
    if (c.name) attributes->SetString(MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, c.name);
    if (c.link)
      attributes->SetString(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK, c.link);
    EXPECT_EQ(devices::read_device(attributes.get()), c.device);
  }
  // Another attribute type is no text.
  ComRef<IMFAttributes> attributes;
  ASSERT_EQ(MFCreateAttributes(attributes.put(), 1), S_OK);
  attributes->SetUINT32(MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, 7);
  EXPECT_EQ(devices::string(attributes.get(), MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME), std::nullopt);
}

TEST(AllDevices, EnumeratesWithoutFailing) {
  // Wine has no capture devices; wherever there are some, each is complete.
  for (const Device& device : devices::all_devices()) {
    EXPECT_FALSE(device.name.empty());
    EXPECT_FALSE(device.link.empty());
  }
}

TEST(ExeName, OwnProcessAndMissingProcess) {
  EXPECT_EQ(devices::exe_name(GetCurrentProcessId()), "devices_win_tests.exe");
  EXPECT_EQ(devices::exe_name(0xFFFFFFF0u), std::nullopt);
}

// Test report objects: one camera's report and the report over all cameras.
struct FakeProcess {
  ULONG pid;
  BOOL streaming;
};

// Which call of a report fails, if any.
enum class Fail { none, count, activity_report, link, process_count, process_activity, state, pid };

class FakeProcessActivity final : public ComObject<IMFSensorProcessActivity> {
 public:
  FakeProcessActivity(FakeProcess process, Fail fail) : process_(process), fail_(fail) {}
  HRESULT STDMETHODCALLTYPE GetProcessId(ULONG* pid) override {
    if (fail_ == Fail::pid) return E_UNEXPECTED;
    *pid = process_.pid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetStreamingState(BOOL* streaming) override {
    if (fail_ == Fail::state) return E_UNEXPECTED;
    *streaming = process_.streaming;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetStreamingMode(MFSensorDeviceMode* mode) override {
    *mode = MFSensorDeviceMode_Shared;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetReportTime(FILETIME* time) override {
    *time = {};
    return S_OK;
  }

 private:
  FakeProcess process_;
  Fail fail_;
};

struct FakeCameraReport {
  std::wstring link;
  std::vector<FakeProcess> processes;
};

class FakeActivityReport final : public ComObject<IMFSensorActivityReport> {
 public:
  FakeActivityReport(FakeCameraReport report, Fail fail)
      : report_(std::move(report)), fail_(fail) {}
  HRESULT STDMETHODCALLTYPE GetFriendlyName(LPWSTR, ULONG, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSymbolicLink(LPWSTR link, ULONG size, ULONG* written) override {
    if (fail_ == Fail::link) return E_UNEXPECTED;
    const std::size_t n = std::min<std::size_t>(report_.link.size(), size);
    std::copy_n(report_.link.data(), n, link);
    if (n < size) link[n] = L'\0';
    *written = 9999;  // not to be trusted
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetProcessCount(ULONG* count) override {
    if (fail_ == Fail::process_count) return E_UNEXPECTED;
    *count = static_cast<ULONG>(report_.processes.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetProcessActivity(ULONG index,
                                               IMFSensorProcessActivity** out) override {
    if (fail_ == Fail::process_activity) return E_UNEXPECTED;
    *out = new FakeProcessActivity(report_.processes.at(index), fail_);
    return S_OK;
  }

 private:
  FakeCameraReport report_;
  Fail fail_;
};

class FakeActivitiesReport final : public ComObject<IMFSensorActivitiesReport> {
 public:
  // `fail` applies to the last camera, so earlier ones are already read when it strikes.
  FakeActivitiesReport(std::vector<FakeCameraReport> cameras, Fail fail)
      : cameras_(std::move(cameras)), fail_(fail) {}
  HRESULT STDMETHODCALLTYPE GetCount(ULONG* count) override {
    if (fail_ == Fail::count) return E_UNEXPECTED;
    *count = static_cast<ULONG>(cameras_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetActivityReport(ULONG index, IMFSensorActivityReport** out) override {
    const bool last = index + 1 == cameras_.size();
    if (last && fail_ == Fail::activity_report) return E_UNEXPECTED;
    *out = new FakeActivityReport(cameras_.at(index), last ? fail_ : Fail::none);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetActivityReportByDeviceName(LPCWSTR,
                                                          IMFSensorActivityReport**) override {
    return E_NOTIMPL;
  }

 private:
  std::vector<FakeCameraReport> cameras_;
  Fail fail_;
};

HRESULT report(IMFSensorActivitiesReportCallback* callback, std::vector<FakeCameraReport> cameras,
               Fail fail = Fail::none) {
  const ComRef<IMFSensorActivitiesReport> activities(
      new FakeActivitiesReport(std::move(cameras), fail));
  return callback->OnActivitiesReport(activities.get());
}

TEST(ActivityReport, LowerCasedLinksOfStreamingProcesses) {
  auto map = std::make_shared<devices::ActivityMap>();
  const ComRef<IMFSensorActivitiesReportCallback> callback = devices::ActivityCallback::create(map);
  ASSERT_EQ(report(callback.get(),
                   {{L"\\\\?\\USB#VID_1&PID_2#Cam\u00C4", {{10, TRUE}, {11, FALSE}, {12, TRUE}}},
                    {L"\\\\?\\SWD#VCAMDEVAPI#Idle", {{20, FALSE}}},
                    {L"\\\\?\\swd#nobody", {}},
                    {L"\\\\?\\usb#vid_1&pid_2#cam\u00C4", {{13, TRUE}}}}),  // same lower-cased link
            S_OK);
  const devices::Activity expected = {{"\\\\?\\usb#vid_1&pid_2#cam\xC3\x84", {13}},
                                      {"\\\\?\\swd#vcamdevapi#idle", {}},
                                      {"\\\\?\\swd#nobody", {}}};
  EXPECT_EQ(map->copy(), expected);

  // A link that fills the whole buffer is taken whole; a later report replaces the map whole.
  ASSERT_EQ(report(callback.get(), {{std::wstring(600, L'X'), {{1, TRUE}}}}), S_OK);
  EXPECT_EQ(map->copy(), (devices::Activity{{std::string(512, 'x'), {1}}}));
  ASSERT_EQ(report(callback.get(), {}), S_OK);
  EXPECT_TRUE(map->copy().empty());
}

TEST(ActivityReport, AnyFailingCallLeavesTheOldMap) {
  auto map = std::make_shared<devices::ActivityMap>();
  const ComRef<IMFSensorActivitiesReportCallback> callback = devices::ActivityCallback::create(map);
  ASSERT_EQ(report(callback.get(), {{L"old", {{1, TRUE}}}}), S_OK);
  const devices::Activity old = map->copy();
  for (Fail fail : {Fail::count, Fail::activity_report, Fail::link, Fail::process_count,
                    Fail::process_activity, Fail::state, Fail::pid}) {
    EXPECT_EQ(report(callback.get(), {{L"new", {{2, TRUE}}}, {L"newer", {{3, TRUE}}}}, fail),
              E_UNEXPECTED)
        << static_cast<int>(fail);
    EXPECT_EQ(map->copy(), old) << static_cast<int>(fail);
  }
  EXPECT_EQ(callback->OnActivitiesReport(nullptr), E_POINTER);
  EXPECT_EQ(map->copy(), old);
}

TEST(ActivityCallbackIdentity, FreeThreadedInterfacesAndWeakReference) {
  auto map = std::make_shared<devices::ActivityMap>();
  ComRef<IMFSensorActivitiesReportCallback> callback = devices::ActivityCallback::create(map);

  ComRef<IUnknown> identity;
  ASSERT_EQ(callback->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(identity.put())),
            S_OK);
  for (const IID& iid :
       {__uuidof(IInspectable), __uuidof(IAgileObject), __uuidof(IWeakReferenceSource),
        __uuidof(IMFSensorActivitiesReportCallback)}) {
    ComRef<IUnknown> found;
    ASSERT_EQ(callback->QueryInterface(iid, reinterpret_cast<void**>(found.put())), S_OK);
    ComRef<IUnknown> back;
    ASSERT_EQ(found->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(back.put())),
              S_OK);
    EXPECT_EQ(back.get(), identity.get());
  }
  ComRef<IMarshal> marshal;
  EXPECT_EQ(callback->QueryInterface(__uuidof(IMarshal), reinterpret_cast<void**>(marshal.put())),
            S_OK);
  EXPECT_TRUE(marshal);

  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(callback->QueryInterface(__uuidof(IMFSensorActivityMonitor), &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(callback->QueryInterface(__uuidof(IUnknown), nullptr), E_POINTER);

  ComRef<IInspectable> inspectable;
  callback->QueryInterface(__uuidof(IInspectable), reinterpret_cast<void**>(inspectable.put()));
  TrustLevel level = FullTrust;
  EXPECT_EQ(inspectable->GetTrustLevel(&level), S_OK);
  EXPECT_EQ(level, BaseTrust);
  EXPECT_EQ(inspectable->GetTrustLevel(nullptr), E_POINTER);

  ComRef<IWeakReferenceSource> source;
  callback->QueryInterface(__uuidof(IWeakReferenceSource), reinterpret_cast<void**>(source.put()));
  ComRef<IWeakReference> weak;
  ASSERT_EQ(source->GetWeakReference(weak.put()), S_OK);
  ComRef<IInspectable> resolved;
  ASSERT_EQ(weak->Resolve(__uuidof(IInspectable), resolved.put()), S_OK);
  EXPECT_TRUE(resolved);

  resolved.reset();
  inspectable.reset();
  source.reset();
  marshal.reset();
  identity.reset();
  callback.reset();
  ASSERT_EQ(weak->Resolve(__uuidof(IInspectable), resolved.put()), S_OK);
  EXPECT_FALSE(resolved);
}

}  // namespace
