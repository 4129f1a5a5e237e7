#include "activate_win.hpp"

#include <mfapi.h>

#include <expected>
#include <utility>

#include "source_win.hpp"
#include "win_error.hpp"

namespace activate {
namespace {

// The store's success codes all come back as S_OK.
HRESULT pass(HRESULT hr) { return SUCCEEDED(hr) ? S_OK : hr; }

// The store writes into a local; the caller's variable changes only when the store succeeded.
// A null result pointer is refused before the store is asked.
template <class T, class Call>
HRESULT copied_back(T* out, Call&& call) {
  if (!out) return E_POINTER;
  T value{};
  const HRESULT hr = call(&value);
  if (FAILED(hr)) return hr;
  *out = value;
  return S_OK;
}

}  // namespace

shared::Result<ComRef<IMFActivate>> Activate::create(unsigned slot) {
  return shared::win::or_out_of_memory([slot]() -> shared::Result<ComRef<IMFActivate>> {
    ComRef<IMFAttributes> attributes;
    if (const HRESULT hr = MFCreateAttributes(attributes.put(), 1); FAILED(hr)) {
      return std::unexpected(shared::win::hresult_error(hr));
    }
    Activate* made = shared::win::make_object<Activate>(std::move(attributes), slot);
    if (!made) return std::unexpected(shared::win::hresult_error(E_OUTOFMEMORY));
    return ComRef<IMFActivate>(made);
  });
}

void* Activate::find_interface(REFIID riid) {
  if (riid == __uuidof(IMFAttributes)) return static_cast<IMFActivate*>(this);
  return ComObject::find_interface(riid);
}

HRESULT Activate::GetItem(REFGUID key, PROPVARIANT* value) {
  return pass(attributes_->GetItem(key, value));
}

HRESULT Activate::GetItemType(REFGUID key, MF_ATTRIBUTE_TYPE* type) {
  return copied_back(type, [&](MF_ATTRIBUTE_TYPE* v) { return attributes_->GetItemType(key, v); });
}

HRESULT Activate::CompareItem(REFGUID key, REFPROPVARIANT value, BOOL* result) {
  return copied_back(result, [&](BOOL* v) { return attributes_->CompareItem(key, value, v); });
}

HRESULT Activate::Compare(IMFAttributes* theirs, MF_ATTRIBUTES_MATCH_TYPE match, BOOL* result) {
  return copied_back(result, [&](BOOL* v) { return attributes_->Compare(theirs, match, v); });
}

HRESULT Activate::GetUINT32(REFGUID key, UINT32* value) {
  return copied_back(value, [&](UINT32* v) { return attributes_->GetUINT32(key, v); });
}

HRESULT Activate::GetUINT64(REFGUID key, UINT64* value) {
  return copied_back(value, [&](UINT64* v) { return attributes_->GetUINT64(key, v); });
}

HRESULT Activate::GetDouble(REFGUID key, double* value) {
  return copied_back(value, [&](double* v) { return attributes_->GetDouble(key, v); });
}

HRESULT Activate::GetGUID(REFGUID key, GUID* value) {
  return copied_back(value, [&](GUID* v) { return attributes_->GetGUID(key, v); });
}

HRESULT Activate::GetStringLength(REFGUID key, UINT32* length) {
  return copied_back(length, [&](UINT32* v) { return attributes_->GetStringLength(key, v); });
}

HRESULT Activate::GetString(REFGUID key, LPWSTR value, UINT32 size, UINT32* length) {
  return pass(attributes_->GetString(key, value, size, length));
}

HRESULT Activate::GetAllocatedString(REFGUID key, LPWSTR* value, UINT32* length) {
  return pass(attributes_->GetAllocatedString(key, value, length));
}

HRESULT Activate::GetBlobSize(REFGUID key, UINT32* size) {
  return copied_back(size, [&](UINT32* v) { return attributes_->GetBlobSize(key, v); });
}

HRESULT Activate::GetBlob(REFGUID key, UINT8* buffer, UINT32 size, UINT32* written) {
  return pass(attributes_->GetBlob(key, buffer, size, written));
}

HRESULT Activate::GetAllocatedBlob(REFGUID key, UINT8** buffer, UINT32* size) {
  return pass(attributes_->GetAllocatedBlob(key, buffer, size));
}

HRESULT Activate::GetUnknown(REFGUID key, REFIID riid, LPVOID* object) {
  return pass(attributes_->GetUnknown(key, riid, object));
}

HRESULT Activate::SetItem(REFGUID key, REFPROPVARIANT value) {
  return pass(attributes_->SetItem(key, value));
}

HRESULT Activate::DeleteItem(REFGUID key) { return pass(attributes_->DeleteItem(key)); }

HRESULT Activate::DeleteAllItems() { return pass(attributes_->DeleteAllItems()); }

HRESULT Activate::SetUINT32(REFGUID key, UINT32 value) {
  return pass(attributes_->SetUINT32(key, value));
}

HRESULT Activate::SetUINT64(REFGUID key, UINT64 value) {
  return pass(attributes_->SetUINT64(key, value));
}

HRESULT Activate::SetDouble(REFGUID key, double value) {
  return pass(attributes_->SetDouble(key, value));
}

HRESULT Activate::SetGUID(REFGUID key, REFGUID value) {
  return pass(attributes_->SetGUID(key, value));
}

HRESULT Activate::SetString(REFGUID key, LPCWSTR value) {
  return pass(attributes_->SetString(key, value));
}

HRESULT Activate::SetBlob(REFGUID key, const UINT8* buffer, UINT32 size) {
  return pass(attributes_->SetBlob(key, buffer, size));
}

HRESULT Activate::SetUnknown(REFGUID key, IUnknown* object) {
  return pass(attributes_->SetUnknown(key, object));
}

HRESULT Activate::LockStore() { return pass(attributes_->LockStore()); }

HRESULT Activate::UnlockStore() { return pass(attributes_->UnlockStore()); }

HRESULT Activate::GetCount(UINT32* count) {
  return copied_back(count, [&](UINT32* v) { return attributes_->GetCount(v); });
}

HRESULT Activate::GetItemByIndex(UINT32 index, GUID* key, PROPVARIANT* value) {
  return pass(attributes_->GetItemByIndex(index, key, value));
}

HRESULT Activate::CopyAllItems(IMFAttributes* destination) {
  return pass(attributes_->CopyAllItems(destination));
}

HRESULT Activate::ActivateObject(REFIID riid, void** object) {
  std::lock_guard lock(mutex_);
  if (!source_) {
    auto made = source::create(slot_);
    if (!made) return shared::win::to_hresult(made.error());
    source_ = std::move(*made);
  }
  return pass(source_->QueryInterface(riid, object));
}

HRESULT Activate::DetachObject() {
  std::lock_guard lock(mutex_);
  source_.reset();
  return S_OK;
}

HRESULT Activate::ShutdownObject() {
  std::lock_guard lock(mutex_);
  if (ComRef<IMFMediaSource> source = std::move(source_)) source->Shutdown();
  return S_OK;
}

}  // namespace activate
