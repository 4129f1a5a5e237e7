#pragma once
// Weak references of the Windows Runtime object model: the Windows SDK's weakreference.h, which
// mingw-w64 10 lacks.

#include <windows.h>

#include <inspectable.h>

#if __has_include(<weakreference.h>)
#include <weakreference.h>
#endif

#if !defined(__IWeakReferenceSource_INTERFACE_DEFINED__)

struct IWeakReference : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Resolve(REFIID riid, IInspectable** object) = 0;
};
__CRT_UUID_DECL(IWeakReference, 0x00000037, 0x0000, 0x0000, 0xc0, 0x00, 0x00, 0x00, 0x00, 0x00,
                0x00, 0x46)

struct IWeakReferenceSource : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetWeakReference(IWeakReference** reference) = 0;
};
__CRT_UUID_DECL(IWeakReferenceSource, 0x00000038, 0x0000, 0x0000, 0xc0, 0x00, 0x00, 0x00, 0x00,
                0x00, 0x00, 0x46)

#endif
