#include "mf_test_support.hpp"

#include <gtest/gtest.h>

#include <mferror.h>

#include <algorithm>
#include <iterator>
#include <utility>

#include "lib.hpp"

namespace mf_test {
namespace {

// The whole test process runs in the multithreaded apartment, as the frame server's threads do.
class MediaFoundation : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    ASSERT_EQ(MFStartup(MF_VERSION, MFSTARTUP_LITE), S_OK);
  }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new MediaFoundation);

}  // namespace

std::vector<ComRef<IMFMediaEvent>> drain(IMFMediaEventGenerator* generator) {
  std::vector<ComRef<IMFMediaEvent>> events;
  for (;;) {
    ComRef<IMFMediaEvent> event;
    if (FAILED(generator->GetEvent(MF_EVENT_FLAG_NO_WAIT, event.put()))) return events;
    events.push_back(std::move(event));
  }
}

std::vector<MediaEventType> drain_types(IMFMediaEventGenerator* generator) {
  std::vector<MediaEventType> types;
  for (const ComRef<IMFMediaEvent>& event : drain(generator)) {
    MediaEventType type = MEUnknown;
    event->GetType(&type);
    types.push_back(type);
  }
  return types;
}

ComRef<IUnknown> event_object(IMFMediaEvent* event) {
  PROPVARIANT value;
  PropVariantInit(&value);
  ComRef<IUnknown> object;
  if (SUCCEEDED(event->GetValue(&value)) && value.vt == VT_UNKNOWN) {
    object = ComRef<IUnknown>::retain(value.punkVal);
  }
  PropVariantClear(&value);
  return object;
}

GUID camera_clsid(unsigned slot) {
  const shared::ClsidFields fields = shared::clsid_fields(slot);
  GUID clsid{fields.data1, fields.data2, fields.data3, {}};
  std::copy(fields.data4.begin(), fields.data4.end(), std::begin(clsid.Data4));
  return clsid;
}

HRESULT query_null_iid(IUnknown* object, void** out) {
  using Query = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, const IID*, void**);
  const Query query = (*reinterpret_cast<Query* const*>(object))[0];
  return query(object, nullptr, out);
}

}  // namespace mf_test
