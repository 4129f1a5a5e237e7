#include "backend_win.hpp"

#include <algorithm>
#include <iterator>
#include <optional>

#include "activate_win.hpp"
#include "lib.hpp"
#include "win_error.hpp"

namespace backend {

HRESULT Factory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
  if (outer) return CLASS_E_NOAGGREGATION;
  auto made = activate::Activate::create(slot_);
  if (!made) return shared::win::to_hresult(made.error());
  const HRESULT hr = (*made)->QueryInterface(riid, object);
  return SUCCEEDED(hr) ? S_OK : hr;
}

HRESULT Factory::LockServer(BOOL) { return S_OK; }

}  // namespace backend

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** object) {
  using shared::win::null_reference;
  if (null_reference(rclsid) || null_reference(riid) || !object) return E_POINTER;
  *object = nullptr;
  shared::ClsidFields fields{rclsid.Data1, rclsid.Data2, rclsid.Data3, {}};
  std::copy(std::begin(rclsid.Data4), std::end(rclsid.Data4), fields.data4.begin());
  const std::optional<unsigned> slot = shared::slot_of(fields);
  if (!slot) return CLASS_E_CLASSNOTAVAILABLE;
  backend::Factory* factory = shared::win::make_object<backend::Factory>(*slot);
  if (!factory) return E_OUTOFMEMORY;
  const shared::win::ComRef<IClassFactory> created(factory);
  return factory->QueryInterface(riid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }
