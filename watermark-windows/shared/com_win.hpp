#pragma once
// COM plumbing of every component: an owning interface pointer, and the free-threaded identity
// that every COM object of the helper and the media source shares (atomic count from 1,
// IUnknown, IInspectable, IAgileObject, IMarshal through the free-threaded marshaler, a
// weak-reference source). A class derives from ComObject<its interfaces...> and adds only its
// own methods.

#include <windows.h>

#include <inspectable.h>
#include <objidl.h>

#include <atomic>
#include <memory>
#include <new>
#include <utility>

#include "platform/weakreference.hpp"

namespace shared::win {

// Owns one reference. Adopts the pointer it is constructed with.
template <class T>
class ComRef {
 public:
  ComRef() = default;
  explicit ComRef(T* adopted) : ptr_(adopted) {}
  static ComRef retain(T* ptr) {
    if (ptr) ptr->AddRef();
    return ComRef(ptr);
  }
  ComRef(const ComRef& other) : ptr_(other.ptr_) {
    if (ptr_) ptr_->AddRef();
  }
  ComRef(ComRef&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComRef& operator=(ComRef other) noexcept {
    std::swap(ptr_, other.ptr_);
    return *this;
  }
  ~ComRef() { reset(); }

  void reset() {
    if (T* old = std::exchange(ptr_, nullptr)) old->Release();
  }
  // For out-parameters: releases the current reference first.
  T** put() {
    reset();
    return &ptr_;
  }
  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

 private:
  T* ptr_ = nullptr;
};

// REFIID and REFCLSID are pointers at the ABI, and callers do pass null. Reading the address
// back through a volatile keeps the optimiser from assuming a reference is never null.
inline bool null_reference(const GUID& guid) {
  const GUID* volatile address = &guid;
  return address == nullptr;
}

namespace detail {

// Lives as long as the object or any weak reference to it; the strong count is here so that a
// weak reference can tell a live object from a destroyed one without touching it.
struct WeakControl {
  std::atomic<ULONG> strong{1};
  IUnknown* object = nullptr;
};

class WeakReference final : public IWeakReference {
 public:
  explicit WeakReference(std::shared_ptr<WeakControl> control) : control_(std::move(control)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IWeakReference)) {
      *out = static_cast<IWeakReference*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE Resolve(REFIID riid, IInspectable** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    ULONG strong = control_->strong.load();
    do {
      if (strong == 0) return S_OK;  // gone: success with no object
    } while (!control_->strong.compare_exchange_weak(strong, strong + 1));
    const HRESULT hr = control_->object->QueryInterface(riid, reinterpret_cast<void**>(object));
    control_->object->Release();
    return hr;
  }

 private:
  std::atomic<ULONG> refs_{1};
  std::shared_ptr<WeakControl> control_;
};

}  // namespace detail

template <class T, class... Args>
T* make_object(Args&&... args) noexcept;

template <class... Interfaces>
class ComObject : public IInspectable,
                  public IAgileObject,
                  public IWeakReferenceSource,
                  public Interfaces... {
 public:
  ComObject() {
    control_->object = identity();
    // Aggregated with our identity; without it IMarshal gets the creation's failure.
    marshaler_created_ = CoCreateFreeThreadedMarshaler(identity(), marshaler_.put());
  }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out || null_reference(riid)) return E_POINTER;
    *out = nullptr;
    if (riid == __uuidof(IMarshal)) {
      return marshaler_ ? marshaler_->QueryInterface(riid, out) : marshaler_created_;
    }
    void* found = find_interface(riid);
    if (!found) return E_NOINTERFACE;
    AddRef();
    *out = found;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++control_->strong; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --control_->strong;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) override {
    if (!count || !iids) return E_POINTER;
    *count = 0;
    *iids = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) override {
    if (!name) return E_POINTER;
    *name = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {
    if (!level) return E_POINTER;
    *level = BaseTrust;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetWeakReference(IWeakReference** reference) override {
    if (!reference) return E_POINTER;
    *reference = new (std::nothrow) detail::WeakReference(control_);
    return *reference ? S_OK : E_OUTOFMEMORY;
  }

 protected:
  virtual ~ComObject() = default;

  IUnknown* identity() { return static_cast<IInspectable*>(this); }

  // The interface pointer for `riid`, or null. A class whose interfaces derive from others it
  // must also answer (IMFAttributes under IMFVirtualCamera, say) extends this.
  virtual void* find_interface(REFIID riid) {
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IInspectable)) return identity();
    if (riid == __uuidof(IAgileObject)) return static_cast<IAgileObject*>(this);
    if (riid == __uuidof(IWeakReferenceSource)) return static_cast<IWeakReferenceSource*>(this);
    void* found = nullptr;
    ((found = found ? found
                    : (riid == __uuidof(Interfaces) ? static_cast<Interfaces*>(this) : nullptr)),
     ...);
    return found;
  }

 private:
  std::shared_ptr<detail::WeakControl> control_ = std::make_shared<detail::WeakControl>();
  ComRef<IUnknown> marshaler_;
  HRESULT marshaler_created_ = E_NOINTERFACE;
};

// A new COM object of ours, or null when memory runs out. Not `new (std::nothrow)`: that covers
// only the object's own memory, and the constructor allocates too (the weak-reference control
// block), while no exception may leave a COM method. A class with a private constructor makes
// this function its friend.
template <class T, class... Args>
T* make_object(Args&&... args) noexcept {
  try {
    return new T(std::forward<Args>(args)...);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace shared::win
