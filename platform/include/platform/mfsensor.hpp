#pragma once
// Sensor activity monitoring (Windows 10 1703 and later), declared by the Windows SDK's mfidl.h.
// mingw-w64 10 exports MFCreateSensorActivityMonitor from its import library but declares none
// of the interfaces.

#include <windows.h>

#include <mfidl.h>
#include <unknwn.h>

#if !defined(__IMFSensorActivityMonitor_INTERFACE_DEFINED__)

enum MFSensorDeviceMode { MFSensorDeviceMode_Controller = 0, MFSensorDeviceMode_Shared = 1 };

struct IMFSensorProcessActivity : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetProcessId(ULONG* pid) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStreamingState(BOOL* streaming) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStreamingMode(MFSensorDeviceMode* mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetReportTime(FILETIME* time) = 0;
};
__CRT_UUID_DECL(IMFSensorProcessActivity, 0x39dc7f4a, 0xb141, 0x4719, 0x81, 0x3c, 0xa7, 0xf4, 0x61,
                0x62, 0xa2, 0xb8)

struct IMFSensorActivityReport : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetFriendlyName(LPWSTR name, ULONG size, ULONG* written) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSymbolicLink(LPWSTR link, ULONG size, ULONG* written) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetProcessCount(ULONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetProcessActivity(ULONG index,
                                                       IMFSensorProcessActivity** activity) = 0;
};
__CRT_UUID_DECL(IMFSensorActivityReport, 0x3e8c4be1, 0xa8c2, 0x4528, 0x90, 0xde, 0x28, 0x51, 0xbd,
                0xe5, 0xfe, 0xad)

struct IMFSensorActivitiesReport : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetCount(ULONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetActivityReport(ULONG index,
                                                      IMFSensorActivityReport** report) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  GetActivityReportByDeviceName(LPCWSTR symbolic_name, IMFSensorActivityReport** report) = 0;
};
__CRT_UUID_DECL(IMFSensorActivitiesReport, 0x683f7a5e, 0x4a19, 0x43cd, 0xb1, 0xa9, 0xdb, 0xf4, 0xab,
                0x3f, 0x77, 0x77)

struct IMFSensorActivitiesReportCallback : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE OnActivitiesReport(IMFSensorActivitiesReport* report) = 0;
};
__CRT_UUID_DECL(IMFSensorActivitiesReportCallback, 0xde5072ee, 0xdbe3, 0x46dc, 0x8a, 0x87, 0xb6,
                0xf6, 0x31, 0x19, 0x47, 0x51)

struct IMFSensorActivityMonitor : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Start() = 0;
  virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
};
__CRT_UUID_DECL(IMFSensorActivityMonitor, 0xd0cef145, 0xb3f4, 0x4340, 0xa2, 0xe5, 0x7a, 0x50, 0x80,
                0xca, 0x05, 0xcb)

#endif
