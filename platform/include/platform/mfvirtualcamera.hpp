#pragma once
// Virtual cameras (Windows 11 build 22000 and later), declared by the Windows SDK's
// mfvirtualcamera.h. mingw-w64 10 has neither that header nor the declarations, and its
// mfsensorgroup import library lacks MFCreateVirtualCamera, so callers resolve the function at
// run time.

#include <windows.h>

#include <devpropdef.h>
#include <mfidl.h>
#include <mfobjects.h>

#if __has_include(<mfvirtualcamera.h>)
#include <mfvirtualcamera.h>
#endif

#if !defined(__IMFVirtualCamera_INTERFACE_DEFINED__)

enum MFVirtualCameraType { MFVirtualCameraType_SoftwareCameraSource = 0 };
enum MFVirtualCameraLifetime {
  MFVirtualCameraLifetime_Session = 0,
  MFVirtualCameraLifetime_System = 1
};
enum MFVirtualCameraAccess {
  MFVirtualCameraAccess_CurrentUser = 0,
  MFVirtualCameraAccess_AllUsers = 1
};

struct IMFCameraSyncObject : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE WaitOnSignal(DWORD time_out_ms) = 0;
  virtual void STDMETHODCALLTYPE Shutdown() = 0;
};
__CRT_UUID_DECL(IMFCameraSyncObject, 0x6338b23a, 0x3042, 0x49d2, 0xa3, 0xea, 0xec, 0x0f, 0xed, 0x81,
                0x54, 0x07)

struct IMFVirtualCamera : IMFAttributes {
  virtual HRESULT STDMETHODCALLTYPE AddDeviceSourceInfo(LPCWSTR device_source_info) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddProperty(const DEVPROPKEY* key, DEVPROPTYPE type,
                                                const BYTE* data, ULONG size) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddRegistryEntry(LPCWSTR entry_name, LPCWSTR subkey_path,
                                                     DWORD reg_type, const BYTE* data,
                                                     ULONG size) = 0;
  virtual HRESULT STDMETHODCALLTYPE Start(IMFAsyncCallback* callback) = 0;
  virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
  virtual HRESULT STDMETHODCALLTYPE Remove() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMediaSource(IMFMediaSource** source) = 0;
  virtual HRESULT STDMETHODCALLTYPE SendCameraProperty(REFGUID property_set, ULONG property_id,
                                                       ULONG property_flags, void* payload,
                                                       ULONG payload_size, void* data,
                                                       ULONG data_size, ULONG* written) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateSyncEvent(REFGUID event_set, ULONG event_id,
                                                    ULONG event_flags, HANDLE event,
                                                    IMFCameraSyncObject** sync) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateSyncSemaphore(REFGUID event_set, ULONG event_id,
                                                        ULONG event_flags, HANDLE semaphore,
                                                        LONG adjustment,
                                                        IMFCameraSyncObject** sync) = 0;
  virtual HRESULT STDMETHODCALLTYPE Shutdown() = 0;
};
__CRT_UUID_DECL(IMFVirtualCamera, 0x1c08a864, 0xef6c, 0x4c75, 0xaf, 0x59, 0x5f, 0x2d, 0x68, 0xda,
                0x95, 0x63)

#endif
