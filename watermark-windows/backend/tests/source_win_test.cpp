#include <gtest/gtest.h>

#include <windows.h>

#include <mfapi.h>
#include <mferror.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "mf_test_support.hpp"
#include "source_win.hpp"

namespace {

using mf_test::drain_types;
using mf_test::event_object;
using mf_test::query;
using shared::win::ComRef;

constexpr HRESULT SET_NOT_FOUND = HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);

ComRef<IMFMediaSource> new_source() {
  auto made = source::create(0);
  EXPECT_TRUE(made.has_value());
  return made ? *made : ComRef<IMFMediaSource>();
}

ComRef<IMFStreamDescriptor> stream_descriptor(IMFPresentationDescriptor* presentation,
                                              BOOL* selected = nullptr) {
  BOOL ignored = FALSE;
  ComRef<IMFStreamDescriptor> descriptor;
  EXPECT_EQ(presentation->GetStreamDescriptorByIndex(0, selected ? selected : &ignored,
                                                     descriptor.put()),
            S_OK);
  return descriptor;
}

// Makes the offered type with this subtype current, as the frame server does when it picks one.
void choose(IMFPresentationDescriptor* presentation, const GUID& subtype) {
  ComRef<IMFMediaTypeHandler> handler;
  ASSERT_EQ(stream_descriptor(presentation)->GetMediaTypeHandler(handler.put()), S_OK);
  DWORD count = 0;
  ASSERT_EQ(handler->GetMediaTypeCount(&count), S_OK);
  for (DWORD i = 0; i < count; ++i) {
    ComRef<IMFMediaType> type;
    ASSERT_EQ(handler->GetMediaTypeByIndex(i, type.put()), S_OK);
    GUID offered{};
    type->GetGUID(MF_MT_SUBTYPE, &offered);
    if (offered == subtype) {
      ASSERT_EQ(handler->SetCurrentMediaType(type.get()), S_OK);
      return;
    }
  }
  FAIL() << "subtype not offered";
}

// The source's own descriptor, cloned, with stream 0 selected and the subtype current.
ComRef<IMFPresentationDescriptor> selected(IMFMediaSource* source,
                                           const GUID& subtype = MFVideoFormat_NV12) {
  ComRef<IMFPresentationDescriptor> presentation;
  EXPECT_EQ(source->CreatePresentationDescriptor(presentation.put()), S_OK);
  EXPECT_EQ(presentation->SelectStream(0), S_OK);
  choose(presentation.get(), subtype);
  return presentation;
}

ComRef<IMFMediaStream2> stream_of(IMFMediaEvent* event) {
  const ComRef<IUnknown> object = event_object(event);
  return object ? query<IMFMediaStream2>(object.get()) : ComRef<IMFMediaStream2>();
}

// Starts the source and returns the stream that its MENewStream carried; the events read on the
// way are dropped.
ComRef<IMFMediaStream2> start(IMFMediaSource* source, IMFPresentationDescriptor* presentation) {
  PROPVARIANT position;
  PropVariantInit(&position);
  EXPECT_EQ(source->Start(presentation, &GUID_NULL, &position), S_OK);
  ComRef<IMFMediaStream2> stream;
  for (const auto& event : mf_test::drain(source)) {
    MediaEventType type = MEUnknown;
    event->GetType(&type);
    if (type == MENewStream || type == MEUpdatedStream) stream = stream_of(event.get());
  }
  if (stream) drain_types(stream.get());
  return stream;
}

// The sample of the MEMediaSample event that the stream queue holds next.
ComRef<IMFSample> next_sample(IMFMediaStream2* stream) {
  for (const auto& event : mf_test::drain(stream)) {
    MediaEventType type = MEUnknown;
    event->GetType(&type);
    if (type == MEMediaSample) {
      const ComRef<IUnknown> object = event_object(event.get());
      return object ? query<IMFSample>(object.get()) : ComRef<IMFSample>();
    }
  }
  return {};
}

DWORD total_length(IMFSample* sample) {
  DWORD length = 0;
  EXPECT_EQ(sample->GetTotalLength(&length), S_OK);
  return length;
}

// ---------------------------------------------------------------------------------------------

TEST(SourceCreate, OneStreamOfferingNv12ThenRgb32) {
  const ComRef<IMFMediaSource> source = new_source();
  ASSERT_TRUE(source);
  ComRef<IMFPresentationDescriptor> presentation;
  ASSERT_EQ(source->CreatePresentationDescriptor(presentation.put()), S_OK);
  DWORD streams = 0;
  ASSERT_EQ(presentation->GetStreamDescriptorCount(&streams), S_OK);
  EXPECT_EQ(streams, 1u);

  BOOL is_selected = TRUE;
  const ComRef<IMFStreamDescriptor> descriptor = stream_descriptor(presentation.get(), &is_selected);
  EXPECT_FALSE(is_selected) << "the source selects no stream itself";
  DWORD id = 99;
  ASSERT_EQ(descriptor->GetStreamIdentifier(&id), S_OK);
  EXPECT_EQ(id, 0u);

  ComRef<IMFMediaTypeHandler> handler;
  ASSERT_EQ(descriptor->GetMediaTypeHandler(handler.put()), S_OK);
  DWORD count = 0;
  ASSERT_EQ(handler->GetMediaTypeCount(&count), S_OK);
  EXPECT_EQ(count, 2u);

  struct Offered {
    GUID subtype;
    UINT32 stride;
    UINT32 sample_size;
  };
  const Offered offered[] = {
      {MFVideoFormat_NV12, 1280, 1382400},
      {MFVideoFormat_RGB32, 5120, 3686400},
  };
  for (DWORD i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    ComRef<IMFMediaType> type;
    ASSERT_EQ(handler->GetMediaTypeByIndex(i, type.put()), S_OK);
    GUID major{}, subtype{};
    UINT64 size = 0, rate = 0, aspect = 0;
    UINT32 interlace = 0, independent = 0, stride = 0, sample_size = 0, attributes = 0;
    EXPECT_EQ(type->GetGUID(MF_MT_MAJOR_TYPE, &major), S_OK);
    EXPECT_EQ(type->GetGUID(MF_MT_SUBTYPE, &subtype), S_OK);
    EXPECT_EQ(type->GetUINT64(MF_MT_FRAME_SIZE, &size), S_OK);
    EXPECT_EQ(type->GetUINT64(MF_MT_FRAME_RATE, &rate), S_OK);
    EXPECT_EQ(type->GetUINT64(MF_MT_PIXEL_ASPECT_RATIO, &aspect), S_OK);
    EXPECT_EQ(type->GetUINT32(MF_MT_INTERLACE_MODE, &interlace), S_OK);
    EXPECT_EQ(type->GetUINT32(MF_MT_ALL_SAMPLES_INDEPENDENT, &independent), S_OK);
    EXPECT_EQ(type->GetUINT32(MF_MT_DEFAULT_STRIDE, &stride), S_OK);
    EXPECT_EQ(type->GetUINT32(MF_MT_SAMPLE_SIZE, &sample_size), S_OK);
    EXPECT_EQ(type->GetCount(&attributes), S_OK);
    EXPECT_TRUE(major == MFMediaType_Video);
    EXPECT_TRUE(subtype == offered[i].subtype);
    EXPECT_EQ(size, (UINT64{1280} << 32) | 720);
    EXPECT_EQ(rate, (UINT64{30} << 32) | 1);
    EXPECT_EQ(aspect, (UINT64{1} << 32) | 1);
    EXPECT_EQ(interlace, 2u);
    EXPECT_EQ(independent, 1u);
    EXPECT_EQ(stride, offered[i].stride);
    EXPECT_EQ(sample_size, offered[i].sample_size);
    EXPECT_EQ(attributes, 9u);
  }
  ComRef<IMFMediaType> current;
  ASSERT_EQ(handler->GetCurrentMediaType(current.put()), S_OK);
  GUID subtype{};
  current->GetGUID(MF_MT_SUBTYPE, &subtype);
  EXPECT_TRUE(subtype == MFVideoFormat_NV12);
}

// The four device-stream attributes, wherever the source hands them out.
void expect_stream_attributes(IMFAttributes* store) {
  GUID category{};
  UINT32 id = 99, shared = 0, types = 0;
  EXPECT_EQ(store->GetGUID(MF_DEVICESTREAM_STREAM_CATEGORY, &category), S_OK);
  EXPECT_TRUE(category == PINNAME_VIDEO_CAPTURE);
  EXPECT_EQ(store->GetUINT32(MF_DEVICESTREAM_STREAM_ID, &id), S_OK);
  EXPECT_EQ(id, 0u);
  EXPECT_EQ(store->GetUINT32(MF_DEVICESTREAM_FRAMESERVER_SHARED, &shared), S_OK);
  EXPECT_EQ(shared, 1u);
  EXPECT_EQ(store->GetUINT32(MF_DEVICESTREAM_ATTRIBUTE_FRAMESOURCE_TYPES, &types), S_OK);
  EXPECT_EQ(types, 1u);
}

TEST(SourceAttributes, StreamAttributesOnTheDescriptorAndForStreamZeroOnly) {
  const ComRef<IMFMediaSource> source = new_source();
  ASSERT_TRUE(source);
  const ComRef<IMFMediaSourceEx> ex = query<IMFMediaSourceEx>(source.get());
  ASSERT_TRUE(ex);
  ComRef<IMFPresentationDescriptor> presentation;
  ASSERT_EQ(source->CreatePresentationDescriptor(presentation.put()), S_OK);
  {
    SCOPED_TRACE("descriptor");
    expect_stream_attributes(stream_descriptor(presentation.get()).get());
  }

  ComRef<IMFAttributes> store;
  ASSERT_EQ(ex->GetStreamAttributes(0, store.put()), S_OK);
  {
    SCOPED_TRACE("GetStreamAttributes(0)");
    expect_stream_attributes(store.get());
  }
  UINT32 count = 0;
  store->GetCount(&count);
  EXPECT_EQ(count, 4u);

  IMFAttributes* other = reinterpret_cast<IMFAttributes*>(1);
  EXPECT_EQ(ex->GetStreamAttributes(1, &other), MF_E_INVALIDSTREAMNUMBER);
  EXPECT_EQ(other, reinterpret_cast<IMFAttributes*>(1));
}

TEST(SourceAttributes, SourceAttributesAreOneEmptyStoreTheCallerMayFill) {
  const ComRef<IMFMediaSourceEx> ex = query<IMFMediaSourceEx>(new_source().get());
  ASSERT_TRUE(ex);
  ComRef<IMFAttributes> first, second;
  ASSERT_EQ(ex->GetSourceAttributes(first.put()), S_OK);
  ASSERT_EQ(ex->GetSourceAttributes(second.put()), S_OK);
  EXPECT_EQ(first.get(), second.get());
  UINT32 count = 99;
  first->GetCount(&count);
  EXPECT_EQ(count, 0u);
  ASSERT_EQ(first->SetUINT32(MF_DEVICESTREAM_STREAM_ID, 5), S_OK);
  ComRef<IMFAttributes> third;
  ASSERT_EQ(ex->GetSourceAttributes(third.put()), S_OK);
  UINT32 value = 0;
  EXPECT_EQ(third->GetUINT32(MF_DEVICESTREAM_STREAM_ID, &value), S_OK);
  EXPECT_EQ(value, 5u);
  EXPECT_EQ(ex->SetD3DManager(nullptr), S_OK);
}

TEST(SourceAnswers, LiveOnlyNoServicesNoKernelStreamingSets) {
  const ComRef<IMFMediaSource> source = new_source();
  ASSERT_TRUE(source);
  DWORD characteristics = 0xFFFF;
  ASSERT_EQ(source->GetCharacteristics(&characteristics), S_OK);
  EXPECT_EQ(characteristics, static_cast<DWORD>(MFMEDIASOURCE_IS_LIVE));

  const ComRef<IMFGetService> services = query<IMFGetService>(source.get());
  ASSERT_TRUE(services);
  for (const GUID& service : {GUID_NULL, MF_MT_SUBTYPE, MF_RATE_CONTROL_SERVICE}) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(services->GetService(service, __uuidof(IUnknown), &out), MF_E_UNSUPPORTED_SERVICE);
    EXPECT_EQ(out, reinterpret_cast<void*>(1));
  }
  EXPECT_EQ(services->GetService(GUID_NULL, __uuidof(IUnknown), nullptr),
            MF_E_UNSUPPORTED_SERVICE);

  const ComRef<IKsControl> ks = query<IKsControl>(source.get());
  ASSERT_TRUE(ks);
  KSIDENTIFIER id{};
  id.Set = PINNAME_VIDEO_CAPTURE;
  id.Flags = KSPROPERTY_TYPE_GET;
  unsigned char data[16] = {};
  for (KSIDENTIFIER* argument : {&id, static_cast<KSIDENTIFIER*>(nullptr)}) {
    ULONG returned = 77;
    EXPECT_EQ(ks->KsProperty(argument, sizeof id, data, sizeof data, &returned), SET_NOT_FOUND);
    EXPECT_EQ(ks->KsMethod(argument, sizeof id, data, sizeof data, &returned), SET_NOT_FOUND);
    EXPECT_EQ(ks->KsEvent(argument, sizeof id, data, sizeof data, &returned), SET_NOT_FOUND);
    EXPECT_EQ(returned, 77u) << "nothing written, the byte count included";
  }
  EXPECT_EQ(ks->KsProperty(nullptr, 0, nullptr, 0, nullptr), SET_NOT_FOUND);
}

TEST(SourceIdentity, InterfacesOfSourceAndStream) {
  const ComRef<IMFMediaSource> source = new_source();
  ASSERT_TRUE(source);
  const ComRef<IMFMediaStream2> stream = start(source.get(), selected(source.get()).get());
  ASSERT_TRUE(stream);

  struct Object {
    IUnknown* object;
    std::vector<IID> same_pointer;  // all answered with one interface pointer
    std::vector<IID> also;
  };
  const Object objects[] = {
      {source.get(),
       {__uuidof(IMFMediaSourceEx), __uuidof(IMFMediaSource), __uuidof(IMFMediaEventGenerator)},
       {__uuidof(IMFGetService), __uuidof(IKsControl)}},
      {stream.get(),
       {__uuidof(IMFMediaStream2), __uuidof(IMFMediaStream), __uuidof(IMFMediaEventGenerator)},
       {}},
  };
  for (const Object& o : objects) {
    const ComRef<IUnknown> identity = query<IUnknown>(o.object);
    ASSERT_TRUE(identity);
    std::vector<IID> all = o.same_pointer;
    all.insert(all.end(), o.also.begin(), o.also.end());
    all.insert(all.end(), {__uuidof(IInspectable), __uuidof(IAgileObject),
                           __uuidof(IWeakReferenceSource), __uuidof(IMarshal)});
    ComRef<IUnknown> first;
    for (const IID& iid : all) {
      ComRef<IUnknown> found;
      ASSERT_EQ(o.object->QueryInterface(iid, reinterpret_cast<void**>(found.put())), S_OK);
      EXPECT_EQ(query<IUnknown>(found.get()).get(), identity.get());
      if (!first) first = found;
      if (std::find(o.same_pointer.begin(), o.same_pointer.end(), iid) != o.same_pointer.end()) {
        EXPECT_EQ(found.get(), first.get());
      }
    }
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(o.object->QueryInterface(__uuidof(IMFActivate), &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(mf_test::query_null_iid(o.object, &out), E_POINTER);
    EXPECT_EQ(out, reinterpret_cast<void*>(1)) << "nothing written";
    EXPECT_EQ(o.object->QueryInterface(__uuidof(IUnknown), nullptr), E_POINTER);
  }

  ComRef<IMFMediaSource> back;
  ASSERT_EQ(stream->GetMediaSource(back.put()), S_OK);
  EXPECT_EQ(query<IUnknown>(back.get()).get(), query<IUnknown>(source.get()).get());
  source->Shutdown();
}

// ---------------------------------------------------------------------------------------------
// Event sequences: each scenario runs its calls on a new source and compares what each queue
// holds afterwards.

enum class Call { start, stop, pause, shutdown, stopped, paused, running, other_state, request };

struct Step {
  Call call;
  HRESULT result;
};

struct Scenario {
  const char* name;
  std::vector<Step> steps;
  std::vector<MediaEventType> source_events;
  std::vector<MediaEventType> stream_events;
  MF_STREAM_STATE final_state;
};

class SourceEvents : public ::testing::TestWithParam<Scenario> {};

TEST_P(SourceEvents, QueuesHoldWhatTheCallsAnnounce) {
  const Scenario& scenario = GetParam();
  const ComRef<IMFMediaSource> source = new_source();
  ASSERT_TRUE(source);
  const ComRef<IMFPresentationDescriptor> presentation = selected(source.get());
  ComRef<IMFMediaStream2> stream;
  std::vector<MediaEventType> source_events, stream_events;

  for (std::size_t i = 0; i < scenario.steps.size(); ++i) {
    const Step& step = scenario.steps[i];
    SCOPED_TRACE(i);
    HRESULT hr = E_UNEXPECTED;
    PROPVARIANT position;
    PropVariantInit(&position);
    switch (step.call) {
      case Call::start:
        hr = source->Start(presentation.get(), &GUID_NULL, &position);
        break;
      case Call::stop:
        hr = source->Stop();
        break;
      case Call::pause:
        hr = source->Pause();
        break;
      case Call::shutdown:
        hr = source->Shutdown();
        break;
      case Call::stopped:
      case Call::paused:
      case Call::running:
      case Call::other_state: {
        ASSERT_TRUE(stream);
        const MF_STREAM_STATE states[] = {MF_STREAM_STATE_STOPPED, MF_STREAM_STATE_PAUSED,
                                          MF_STREAM_STATE_RUNNING,
                                          static_cast<MF_STREAM_STATE>(7)};
        hr = stream->SetStreamState(
            states[static_cast<int>(step.call) - static_cast<int>(Call::stopped)]);
        break;
      }
      case Call::request:
        ASSERT_TRUE(stream);
        hr = stream->RequestSample(nullptr);
        break;
    }
    EXPECT_EQ(hr, step.result);

    for (const auto& event : mf_test::drain(source.get())) {
      MediaEventType type = MEUnknown;
      event->GetType(&type);
      source_events.push_back(type);
      if (type == MENewStream || type == MEUpdatedStream) {
        const ComRef<IMFMediaStream2> carried = stream_of(event.get());
        ASSERT_TRUE(carried);
        if (type == MEUpdatedStream) {
          EXPECT_EQ(carried.get(), stream.get());
        }
        stream = carried;
      }
    }
    if (stream) {
      const std::vector<MediaEventType> more = drain_types(stream.get());
      stream_events.insert(stream_events.end(), more.begin(), more.end());
    }
  }
  EXPECT_EQ(source_events, scenario.source_events);
  EXPECT_EQ(stream_events, scenario.stream_events);
  if (stream) {
    MF_STREAM_STATE state = static_cast<MF_STREAM_STATE>(99);
    EXPECT_EQ(stream->GetStreamState(&state), S_OK);
    EXPECT_EQ(state, scenario.final_state);
  }
  source->Shutdown();
}

constexpr HRESULT OK = S_OK;
constexpr HRESULT REFUSED = MF_E_INVALIDREQUEST;
constexpr HRESULT NO_PAUSE = MF_E_INVALID_STATE_TRANSITION;
constexpr HRESULT SHUT = MF_E_SHUTDOWN;

INSTANTIATE_TEST_SUITE_P(
    Phases, SourceEvents,
    ::testing::Values(
        Scenario{"first_start",
                 {{Call::start, OK}},
                 {MENewStream, MESourceStarted},
                 {MEStreamStarted},
                 MF_STREAM_STATE_RUNNING},
        Scenario{"start_while_running",
                 {{Call::start, OK}, {Call::request, OK}, {Call::start, OK}, {Call::request, OK}},
                 {MENewStream, MESourceStarted, MEUpdatedStream, MESourceStarted},
                 {MEStreamStarted, MEMediaSample, MEMediaSample},
                 MF_STREAM_STATE_RUNNING},
        Scenario{"start_after_stop",
                 {{Call::start, OK}, {Call::stop, OK}, {Call::start, OK}},
                 {MENewStream, MESourceStarted, MESourceStopped, MEUpdatedStream, MESourceStarted},
                 {MEStreamStarted, MEStreamStopped, MEStreamStarted},
                 MF_STREAM_STATE_RUNNING},
        Scenario{"stop_before_any_start", {{Call::stop, OK}}, {MESourceStopped}, {}, {}},
        Scenario{"stop_of_a_stopped_stream",
                 {{Call::start, OK}, {Call::stop, OK}, {Call::stop, OK}},
                 {MENewStream, MESourceStarted, MESourceStopped, MESourceStopped},
                 {MEStreamStarted, MEStreamStopped},
                 MF_STREAM_STATE_STOPPED},
        Scenario{"paused_stream_refuses_samples_until_running_again",
                 {{Call::start, OK},
                  {Call::request, OK},
                  {Call::paused, OK},
                  {Call::request, REFUSED},
                  {Call::running, OK},
                  {Call::request, OK}},
                 {MENewStream, MESourceStarted},
                 {MEStreamStarted, MEMediaSample, MEStreamStopped, MEStreamStarted, MEMediaSample},
                 MF_STREAM_STATE_RUNNING},
        Scenario{"state_set_to_its_current_value_queues_nothing",
                 {{Call::start, OK}, {Call::running, OK}, {Call::stopped, OK}, {Call::stopped, OK}},
                 {MENewStream, MESourceStarted},
                 {MEStreamStarted, MEStreamStopped},
                 MF_STREAM_STATE_STOPPED},
        Scenario{"every_new_value_but_running_stops",
                 {{Call::start, OK},
                  {Call::other_state, OK},
                  {Call::request, REFUSED},
                  {Call::paused, OK},
                  {Call::stopped, OK}},
                 {MENewStream, MESourceStarted},
                 {MEStreamStarted, MEStreamStopped, MEStreamStopped, MEStreamStopped},
                 MF_STREAM_STATE_STOPPED},
        Scenario{"stream_state_on_its_own_then_start",
                 {{Call::start, OK}, {Call::stopped, OK}, {Call::running, OK}, {Call::start, OK}},
                 {MENewStream, MESourceStarted, MEUpdatedStream, MESourceStarted},
                 {MEStreamStarted, MEStreamStopped, MEStreamStarted},
                 MF_STREAM_STATE_RUNNING},
        Scenario{"pause_when_created", {{Call::pause, NO_PAUSE}}, {}, {}, {}},
        Scenario{"pause_with_a_stream",
                 {{Call::start, OK}, {Call::pause, NO_PAUSE}},
                 {MENewStream, MESourceStarted},
                 {MEStreamStarted},
                 MF_STREAM_STATE_RUNNING},
        Scenario{"pause_after_shutdown",
                 {{Call::shutdown, OK}, {Call::pause, NO_PAUSE}},
                 {},
                 {},
                 {}},
        Scenario{"start_and_stop_after_shutdown",
                 {{Call::shutdown, OK}, {Call::start, SHUT}, {Call::stop, SHUT}},
                 {},
                 {},
                 {}},
        Scenario{"running_stream_shut_down",
                 {{Call::start, OK},
                  {Call::shutdown, OK},
                  {Call::request, SHUT},
                  {Call::running, OK},
                  {Call::paused, SHUT},
                  {Call::request, REFUSED},
                  {Call::start, SHUT},
                  {Call::stop, SHUT}},
                 {MENewStream, MESourceStarted},
                 {MEStreamStarted},
                 MF_STREAM_STATE_PAUSED},
        Scenario{"stopped_stream_shut_down",
                 {{Call::start, OK}, {Call::stop, OK}, {Call::shutdown, OK}, {Call::request, REFUSED}},
                 {MENewStream, MESourceStarted, MESourceStopped},
                 {MEStreamStarted, MEStreamStopped},
                 MF_STREAM_STATE_STOPPED}),
    [](const ::testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------

TEST(SourceStart, RefusedStartsChangeNothing) {
  const ComRef<IMFMediaSource> source = new_source();
  ASSERT_TRUE(source);

  // A descriptor of the caller's own whose stream has no current type.
  ComRef<IMFMediaType> type = *source::video_type(MFVideoFormat_NV12);
  IMFMediaType* types[] = {type.get()};
  ComRef<IMFStreamDescriptor> bare;
  ASSERT_EQ(MFCreateStreamDescriptor(0, 1, types, bare.put()), S_OK);
  IMFStreamDescriptor* descriptors[] = {bare.get()};
  ComRef<IMFPresentationDescriptor> without_type;
  ASSERT_EQ(MFCreatePresentationDescriptor(1, descriptors, without_type.put()), S_OK);
  ASSERT_EQ(without_type->SelectStream(0), S_OK);

  ComRef<IMFPresentationDescriptor> deselected;
  ASSERT_EQ(source->CreatePresentationDescriptor(deselected.put()), S_OK);

  struct Case {
    const char* name;
    IMFPresentationDescriptor* presentation;
    HRESULT result;
  };
  const Case cases[] = {
      {"null descriptor", nullptr, E_POINTER},
      {"stream 0 deselected", deselected.get(), MF_E_INVALIDREQUEST},
      {"no current type", without_type.get(), MF_E_NOT_INITIALIZED},
  };
  for (const Case& c : cases) {
    PROPVARIANT position;
    PropVariantInit(&position);
    EXPECT_EQ(source->Start(c.presentation, &GUID_NULL, &position), c.result) << c.name;
    EXPECT_TRUE(drain_types(source.get()).empty()) << c.name;
  }
  // Nothing changed: a proper Start is still the first one.
  PROPVARIANT position;
  PropVariantInit(&position);
  ASSERT_EQ(source->Start(selected(source.get()).get(), nullptr, &position), S_OK);
  EXPECT_EQ(drain_types(source.get()), (std::vector<MediaEventType>{MENewStream, MESourceStarted}));
  source->Shutdown();
}

TEST(SourceStart, StartPositionComesBackUnchangedInMESourceStarted) {
  const ComRef<IMFMediaSource> source = new_source();
  ASSERT_TRUE(source);
  const ComRef<IMFPresentationDescriptor> presentation = selected(source.get());
  PROPVARIANT position;
  PropVariantInit(&position);
  position.vt = VT_I8;
  position.hVal.QuadPart = 123456789;
  ASSERT_EQ(source->Start(presentation.get(), &GUID_NULL, &position), S_OK);
  ASSERT_EQ(source->Start(presentation.get(), &GUID_NULL, nullptr), S_OK);

  std::vector<PROPVARIANT> values;
  for (const auto& event : mf_test::drain(source.get())) {
    MediaEventType type = MEUnknown;
    event->GetType(&type);
    HRESULT status = E_FAIL;
    event->GetStatus(&status);
    EXPECT_EQ(status, S_OK);
    GUID extended = MFVideoFormat_NV12;
    event->GetExtendedType(&extended);
    EXPECT_TRUE(extended == GUID_NULL);
    if (type != MESourceStarted) continue;
    PROPVARIANT value;
    PropVariantInit(&value);
    event->GetValue(&value);
    values.push_back(value);
  }
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].vt, VT_I8);
  EXPECT_EQ(values[0].hVal.QuadPart, 123456789);
  EXPECT_EQ(values[1].vt, VT_EMPTY);
  source->Shutdown();
}

TEST(SourceSamples, FormatOfTheCurrentTypeAndSwitchWhileRunning) {
  const ComRef<IMFMediaSource> source = new_source();
  ASSERT_TRUE(source);
  const ComRef<IMFPresentationDescriptor> presentation =
      selected(source.get(), MFVideoFormat_RGB32);
  const ComRef<IMFMediaStream2> stream = start(source.get(), presentation.get());
  ASSERT_TRUE(stream);
  ASSERT_EQ(stream->RequestSample(nullptr), S_OK);
  ComRef<IMFSample> sample = next_sample(stream.get());
  ASSERT_TRUE(sample);
  EXPECT_EQ(total_length(sample.get()), 3686400u);

  choose(presentation.get(), MFVideoFormat_NV12);
  PROPVARIANT position;
  PropVariantInit(&position);
  ASSERT_EQ(source->Start(presentation.get(), &GUID_NULL, &position), S_OK);
  EXPECT_EQ(drain_types(source.get()),
            (std::vector<MediaEventType>{MEUpdatedStream, MESourceStarted}));
  ASSERT_EQ(stream->RequestSample(nullptr), S_OK);
  EXPECT_EQ(drain_types(stream.get()), std::vector<MediaEventType>{MEMediaSample})
      << "no second MEStreamStarted";
  ASSERT_EQ(stream->RequestSample(nullptr), S_OK);
  sample = next_sample(stream.get());
  ASSERT_TRUE(sample);
  EXPECT_EQ(total_length(sample.get()), 1382400u);
  source->Shutdown();
}

TEST(SourceSamples, TokenTravelsWithTheSampleOnlyWhenGiven) {
  const ComRef<IMFMediaSource> source = new_source();
  ASSERT_TRUE(source);
  ComRef<IMFAttributes> token;
  ASSERT_EQ(MFCreateAttributes(token.put(), 1), S_OK);

  ComRef<IMFMediaStream2> stream = start(source.get(), selected(source.get()).get());
  ASSERT_TRUE(stream);
  ASSERT_EQ(source->Stop(), S_OK);
  drain_types(stream.get());
  EXPECT_EQ(stream->RequestSample(nullptr), MF_E_INVALIDREQUEST);
  EXPECT_EQ(stream->RequestSample(token.get()), MF_E_INVALIDREQUEST);
  EXPECT_TRUE(drain_types(stream.get()).empty());

  PROPVARIANT position;
  PropVariantInit(&position);
  ASSERT_EQ(source->Start(selected(source.get()).get(), &GUID_NULL, &position), S_OK);
  drain_types(stream.get());
  ASSERT_EQ(stream->RequestSample(token.get()), S_OK);
  ComRef<IMFSample> with = next_sample(stream.get());
  ASSERT_TRUE(with);
  ComRef<IUnknown> carried;
  ASSERT_EQ(with->GetUnknown(MFSampleExtension_Token, __uuidof(IUnknown),
                             reinterpret_cast<void**>(carried.put())),
            S_OK);
  EXPECT_EQ(carried.get(), query<IUnknown>(token.get()).get());

  ASSERT_EQ(stream->RequestSample(nullptr), S_OK);
  ComRef<IMFSample> without = next_sample(stream.get());
  ASSERT_TRUE(without);
  ComRef<IUnknown> none;
  EXPECT_EQ(without->GetUnknown(MFSampleExtension_Token, __uuidof(IUnknown),
                                reinterpret_cast<void**>(none.put())),
            MF_E_ATTRIBUTENOTFOUND);
  EXPECT_NE(with.get(), without.get()) << "every sample is new";
  source->Shutdown();
}

TEST(SourceShutdown, WhatStillAnswersAfterwards) {
  const ComRef<IMFMediaSource> source = new_source();
  ASSERT_TRUE(source);
  const ComRef<IMFMediaStream2> stream = start(source.get(), selected(source.get()).get());
  ASSERT_TRUE(stream);
  ASSERT_EQ(stream->SetStreamState(MF_STREAM_STATE_PAUSED), S_OK);
  ASSERT_EQ(source->Shutdown(), S_OK);

  IMFMediaSource* back = reinterpret_cast<IMFMediaSource*>(1);
  EXPECT_EQ(stream->GetMediaSource(&back), MF_E_SHUTDOWN);
  MF_STREAM_STATE state = MF_STREAM_STATE_RUNNING;
  EXPECT_EQ(stream->GetStreamState(&state), S_OK);
  EXPECT_EQ(state, MF_STREAM_STATE_PAUSED);
  ComRef<IMFStreamDescriptor> descriptor;
  EXPECT_EQ(stream->GetStreamDescriptor(descriptor.put()), S_OK);
  ComRef<IMFMediaEvent> event;
  EXPECT_EQ(stream->GetEvent(MF_EVENT_FLAG_NO_WAIT, event.put()), MF_E_SHUTDOWN);
  EXPECT_EQ(source->GetEvent(MF_EVENT_FLAG_NO_WAIT, event.put()), MF_E_SHUTDOWN);
  EXPECT_EQ(source->QueueEvent(MEUnknown, GUID_NULL, S_OK, nullptr), MF_E_SHUTDOWN);
  EXPECT_EQ(stream->QueueEvent(MEUnknown, GUID_NULL, S_OK, nullptr), MF_E_SHUTDOWN);

  ComRef<IMFPresentationDescriptor> presentation;
  EXPECT_EQ(source->CreatePresentationDescriptor(presentation.put()), S_OK);
  DWORD characteristics = 0;
  EXPECT_EQ(source->GetCharacteristics(&characteristics), S_OK);
  const ComRef<IMFMediaSourceEx> ex = query<IMFMediaSourceEx>(source.get());
  ASSERT_TRUE(ex);
  ComRef<IMFAttributes> attributes;
  EXPECT_EQ(ex->GetSourceAttributes(attributes.put()), S_OK);
  EXPECT_EQ(ex->GetStreamAttributes(0, attributes.put()), S_OK);
}

TEST(SourceOutPointers, NullResultPointersAreRefused) {
  const ComRef<IMFMediaSource> source = new_source();
  ASSERT_TRUE(source);
  const ComRef<IMFMediaSourceEx> ex = query<IMFMediaSourceEx>(source.get());
  ASSERT_TRUE(ex);
  const ComRef<IMFMediaStream2> stream = start(source.get(), selected(source.get()).get());
  ASSERT_TRUE(stream);
  EXPECT_EQ(source->GetCharacteristics(nullptr), E_POINTER);
  EXPECT_EQ(source->CreatePresentationDescriptor(nullptr), E_POINTER);
  EXPECT_EQ(ex->GetSourceAttributes(nullptr), E_POINTER);
  EXPECT_EQ(ex->GetStreamAttributes(0, nullptr), E_POINTER);
  EXPECT_EQ(stream->GetMediaSource(nullptr), E_POINTER);
  EXPECT_EQ(stream->GetStreamDescriptor(nullptr), E_POINTER);
  EXPECT_EQ(stream->GetStreamState(nullptr), E_POINTER);
  source->Shutdown();
}

// ---------------------------------------------------------------------------------------------
// Concurrency

// Reads one queue until it is shut down, as the frame server's event loop would.
class Recorder {
 public:
  explicit Recorder(IMFMediaEventGenerator* generator)
      : thread_([this, generator = ComRef<IMFMediaEventGenerator>::retain(generator)] {
          for (;;) {
            ComRef<IMFMediaEvent> event;
            const HRESULT hr = generator->GetEvent(MF_EVENT_FLAG_NO_WAIT, event.put());
            if (hr == MF_E_SHUTDOWN) return;
            if (FAILED(hr)) {
              std::this_thread::sleep_for(std::chrono::milliseconds(1));
              continue;
            }
            MediaEventType type = MEUnknown;
            event->GetType(&type);
            types_.push_back(type);
          }
        }) {}
  std::vector<MediaEventType> finish() {
    thread_.join();
    return types_;
  }

 private:
  std::vector<MediaEventType> types_;
  std::thread thread_;
};

// Without MESourceStopped (a Stop queues it after letting go of the stream lock), every later
// Start's pair of events stands together.
void expect_source_order(const std::vector<MediaEventType>& events) {
  bool in_start = false;
  for (MediaEventType type : events) {
    switch (type) {
      case MESourceStopped:
        break;
      case MEUpdatedStream:
        EXPECT_FALSE(in_start);
        in_start = true;
        break;
      case MESourceStarted:
        EXPECT_TRUE(in_start);
        in_start = false;
        break;
      default:
        ADD_FAILURE() << "unexpected source event " << type;
    }
  }
}

// Started and stopped as the state changed, samples only while running.
void expect_stream_order(const std::vector<MediaEventType>& events) {
  bool running = false;
  for (MediaEventType type : events) {
    switch (type) {
      case MEStreamStarted:
        EXPECT_FALSE(running);
        running = true;
        break;
      case MEStreamStopped:
        running = false;
        break;
      case MEMediaSample:
        EXPECT_TRUE(running);
        break;
      default:
        ADD_FAILURE() << "unexpected stream event " << type;
    }
  }
}

TEST(SourceConcurrency, CallsFromManyThreadsEndWithoutDeadlockInAnAllowedOrder) {
  const ComRef<IMFMediaSource> source = new_source();
  ASSERT_TRUE(source);
  const ComRef<IMFPresentationDescriptor> presentation = selected(source.get());
  PROPVARIANT position;
  PropVariantInit(&position);
  ASSERT_EQ(source->Start(presentation.get(), &GUID_NULL, &position), S_OK);
  ComRef<IMFMediaEvent> first, started;
  ASSERT_EQ(source->GetEvent(0, first.put()), S_OK);
  ASSERT_EQ(source->GetEvent(0, started.put()), S_OK);
  const ComRef<IMFMediaStream2> stream = stream_of(first.get());
  ASSERT_TRUE(stream);

  Recorder source_events(source.get());
  Recorder stream_events(stream.get());
  std::atomic<bool> stop{false};
  std::atomic<int> samples{0};

  const auto until_stopped = [&](auto body) {
    return std::thread([&stop, body]() mutable {
      std::mt19937 random(std::hash<std::thread::id>{}(std::this_thread::get_id()));
      while (!stop.load()) body(random);
    });
  };
  std::vector<std::thread> threads;
  threads.push_back(until_stopped([&](std::mt19937&) {
    PROPVARIANT at;
    PropVariantInit(&at);
    source->Start(presentation.get(), &GUID_NULL, &at);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
  }));
  threads.push_back(until_stopped([&](std::mt19937&) {
    source->Stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(7));
  }));
  threads.push_back(until_stopped([&](std::mt19937& random) {
    stream->SetStreamState(static_cast<MF_STREAM_STATE>(random() % 3));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }));
  for (int i = 0; i < 2; ++i) {
    threads.push_back(until_stopped([&](std::mt19937&) {
      if (stream->RequestSample(nullptr) == S_OK) ++samples;
      MF_STREAM_STATE state;
      stream->GetStreamState(&state);
      ComRef<IMFMediaSource> back;
      stream->GetMediaSource(back.put());
    }));
  }

  std::this_thread::sleep_for(std::chrono::seconds(3));
  std::thread closer([&] { EXPECT_EQ(source->Shutdown(), S_OK); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  stop = true;
  closer.join();
  for (std::thread& thread : threads) thread.join();

  const std::vector<MediaEventType> from_source = source_events.finish();
  const std::vector<MediaEventType> from_stream = stream_events.finish();
  expect_source_order(from_source);
  expect_stream_order(from_stream);
  EXPECT_GT(samples.load(), 0);
  EXPECT_GT(from_source.size(), 2u);
  EXPECT_GT(from_stream.size(), 2u);
}

}  // namespace
