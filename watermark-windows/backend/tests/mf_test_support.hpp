#pragma once
// What the Windows tests of the media source share: COM and Media Foundation for the test
// process, event queues read back as lists, and calls that pass a null REFIID the way a C caller
// can.

#include <windows.h>

#include <mfapi.h>
#include <mfidl.h>

#include <vector>

#include "com_win.hpp"

namespace mf_test {

using shared::win::ComRef;

// Every event waiting in the generator's queue, in order, without waiting for more. Stops at an
// empty or shut-down queue.
std::vector<ComRef<IMFMediaEvent>> drain(IMFMediaEventGenerator* generator);
std::vector<MediaEventType> drain_types(IMFMediaEventGenerator* generator);

// The event's value as an interface, or null when it carries none.
ComRef<IUnknown> event_object(IMFMediaEvent* event);

// The class identifier of a camera slot.
GUID camera_clsid(unsigned slot);

// QueryInterface through the object's table with a null interface identifier.
HRESULT query_null_iid(IUnknown* object, void** out);

template <class T>
ComRef<T> query(IUnknown* object) {
  ComRef<T> out;
  if (object == nullptr) return out;
  object->QueryInterface(__uuidof(T), reinterpret_cast<void**>(out.put()));
  return out;
}

}  // namespace mf_test
