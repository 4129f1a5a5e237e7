#pragma once
// The DLL's front door: the class factory of one camera slot. The two exports that hand it out
// are in backend_win.cpp; the library keeps no global state and never agrees to be unloaded.

#include <windows.h>

#include <unknwn.h>

#include "com_win.hpp"

namespace backend {

class Factory final : public shared::win::ComObject<IClassFactory> {
 public:
  explicit Factory(unsigned slot) : slot_(slot) {}

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  const unsigned slot_;
};

}  // namespace backend
