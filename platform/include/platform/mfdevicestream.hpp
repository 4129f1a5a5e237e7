#pragma once
// What a frame-server media source declares of its streams: IMFMediaStream2 (stream state set by
// the pipeline), the device-stream attribute keys and the frame source types. Header sets that
// declare IMFMediaStream2 (the Windows SDK) have the rest of it too; mingw-w64 10 has none of it.

#include <windows.h>

#include <mfapi.h>
#include <mfidl.h>
#include <mfobjects.h>

#if !defined(__IMFMediaStream2_INTERFACE_DEFINED__)

struct IMFMediaStream2 : IMFMediaStream {
  virtual HRESULT STDMETHODCALLTYPE SetStreamState(MF_STREAM_STATE value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStreamState(MF_STREAM_STATE* value) = 0;
};
__CRT_UUID_DECL(IMFMediaStream2, 0xc5bc37d6, 0x75c7, 0x46a1, 0xa1, 0x32, 0x81, 0xb5, 0xf7, 0x23,
                0xc2, 0x0f)

inline constexpr GUID MF_DEVICESTREAM_STREAM_CATEGORY = {
    0x2939e7b8, 0xa62e, 0x4579, {0xb6, 0x74, 0xd4, 0x07, 0x3d, 0xfa, 0xbb, 0xba}};
inline constexpr GUID MF_DEVICESTREAM_STREAM_ID = {
    0x11bd5120, 0xd124, 0x446b, {0x88, 0xe6, 0x17, 0x06, 0x02, 0x57, 0xff, 0xf9}};
inline constexpr GUID MF_DEVICESTREAM_FRAMESERVER_SHARED = {
    0x1cb378e9, 0xb279, 0x41d4, {0xaf, 0x97, 0x34, 0xa2, 0x43, 0xe6, 0x83, 0x20}};
inline constexpr GUID MF_DEVICESTREAM_ATTRIBUTE_FRAMESOURCE_TYPES = {
    0x17145fd1, 0x1b2b, 0x423c, {0x80, 0x01, 0x2b, 0x68, 0x33, 0xed, 0x35, 0x88}};

enum MFFrameSourceTypes {
  MFFrameSourceTypes_Color = 0x0001,
  MFFrameSourceTypes_Infrared = 0x0002,
  MFFrameSourceTypes_Depth = 0x0004,
  MFFrameSourceTypes_Image = 0x0008,
  MFFrameSourceTypes_Custom = 0x0080,
};

#endif
