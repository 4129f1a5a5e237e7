#pragma once
// The activation object that the frame server makes through the class factory of a camera slot
// and asks for the slot's media source. It keeps one source from its first activation until it
// is detached or shut down; its attribute store only holds what callers write into it.
//
// Lock order: the activation mutex before any lock of the source.

#include <windows.h>

#include <mfidl.h>
#include <mfobjects.h>

#include <mutex>
#include <utility>

#include "com_win.hpp"
#include "error.hpp"

namespace activate {

using shared::win::ComObject;
using shared::win::ComRef;

class Activate final : public ComObject<IMFActivate> {
 public:
  // Activate::new: a new object for the slot with an empty attribute store.
  static shared::Result<ComRef<IMFActivate>> create(unsigned slot);

  HRESULT STDMETHODCALLTYPE GetItem(REFGUID key, PROPVARIANT* value) override;
  HRESULT STDMETHODCALLTYPE GetItemType(REFGUID key, MF_ATTRIBUTE_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE CompareItem(REFGUID key, REFPROPVARIANT value, BOOL* result) override;
  HRESULT STDMETHODCALLTYPE Compare(IMFAttributes* theirs, MF_ATTRIBUTES_MATCH_TYPE match,
                                    BOOL* result) override;
  HRESULT STDMETHODCALLTYPE GetUINT32(REFGUID key, UINT32* value) override;
  HRESULT STDMETHODCALLTYPE GetUINT64(REFGUID key, UINT64* value) override;
  HRESULT STDMETHODCALLTYPE GetDouble(REFGUID key, double* value) override;
  HRESULT STDMETHODCALLTYPE GetGUID(REFGUID key, GUID* value) override;
  HRESULT STDMETHODCALLTYPE GetStringLength(REFGUID key, UINT32* length) override;
  HRESULT STDMETHODCALLTYPE GetString(REFGUID key, LPWSTR value, UINT32 size,
                                      UINT32* length) override;
  HRESULT STDMETHODCALLTYPE GetAllocatedString(REFGUID key, LPWSTR* value,
                                               UINT32* length) override;
  HRESULT STDMETHODCALLTYPE GetBlobSize(REFGUID key, UINT32* size) override;
  HRESULT STDMETHODCALLTYPE GetBlob(REFGUID key, UINT8* buffer, UINT32 size,
                                    UINT32* written) override;
  HRESULT STDMETHODCALLTYPE GetAllocatedBlob(REFGUID key, UINT8** buffer, UINT32* size) override;
  HRESULT STDMETHODCALLTYPE GetUnknown(REFGUID key, REFIID riid, LPVOID* object) override;
  HRESULT STDMETHODCALLTYPE SetItem(REFGUID key, REFPROPVARIANT value) override;
  HRESULT STDMETHODCALLTYPE DeleteItem(REFGUID key) override;
  HRESULT STDMETHODCALLTYPE DeleteAllItems() override;
  HRESULT STDMETHODCALLTYPE SetUINT32(REFGUID key, UINT32 value) override;
  HRESULT STDMETHODCALLTYPE SetUINT64(REFGUID key, UINT64 value) override;
  HRESULT STDMETHODCALLTYPE SetDouble(REFGUID key, double value) override;
  HRESULT STDMETHODCALLTYPE SetGUID(REFGUID key, REFGUID value) override;
  HRESULT STDMETHODCALLTYPE SetString(REFGUID key, LPCWSTR value) override;
  HRESULT STDMETHODCALLTYPE SetBlob(REFGUID key, const UINT8* buffer, UINT32 size) override;
  HRESULT STDMETHODCALLTYPE SetUnknown(REFGUID key, IUnknown* object) override;
  HRESULT STDMETHODCALLTYPE LockStore() override;
  HRESULT STDMETHODCALLTYPE UnlockStore() override;
  HRESULT STDMETHODCALLTYPE GetCount(UINT32* count) override;
  HRESULT STDMETHODCALLTYPE GetItemByIndex(UINT32 index, GUID* key, PROPVARIANT* value) override;
  HRESULT STDMETHODCALLTYPE CopyAllItems(IMFAttributes* destination) override;

  HRESULT STDMETHODCALLTYPE ActivateObject(REFIID riid, void** object) override;
  HRESULT STDMETHODCALLTYPE ShutdownObject() override;
  HRESULT STDMETHODCALLTYPE DetachObject() override;

 protected:
  void* find_interface(REFIID riid) override;

 private:
  template <class T, class... Args>
  friend T* shared::win::make_object(Args&&... args) noexcept;
  Activate(ComRef<IMFAttributes> attributes, unsigned slot)
      : attributes_(std::move(attributes)), slot_(slot) {}

  const ComRef<IMFAttributes> attributes_;
  const unsigned slot_;

  std::mutex mutex_;
  ComRef<IMFMediaSource> source_;
};

}  // namespace activate
