#include "source_win.hpp"

#include <mferror.h>

#include <array>
#include <expected>
#include <utility>

#include "math.hpp"
#include "win_error.hpp"

namespace source {
namespace {

using shared::win::hresult_error;
using shared::win::to_hresult;

// The status of every event the source and its stream queue (their extended type is GUID_NULL).
constexpr HRESULT EVENT_STATUS = S_OK;

HRESULT pass(HRESULT hr) { return SUCCEEDED(hr) ? S_OK : hr; }

std::unexpected<shared::Error> failure(HRESULT hr) { return std::unexpected(hresult_error(hr)); }

UINT64 packed(std::uint32_t high, std::uint32_t low) {
  return (static_cast<UINT64>(high) << 32) | low;
}

// Calls the steps in order until one fails; that failure, or the last success.
template <class... Steps>
HRESULT in_order(Steps&&... steps) {
  HRESULT hr = S_OK;
  static_cast<void>((SUCCEEDED(hr = steps()) && ...));
  return hr;
}

template <class T>
HRESULT hand_out(const ComRef<T>& object, T** out) {
  if (!out) return E_POINTER;
  object->AddRef();
  *out = object.get();
  return S_OK;
}

}  // namespace

shared::Result<ComRef<IMFMediaType>> video_type(const GUID& subtype) {
  ComRef<IMFMediaType> type;
  if (const HRESULT hr = MFCreateMediaType(type.put()); FAILED(hr)) return failure(hr);
  const Layout out = layout(subtype == MFVideoFormat_NV12);
  const HRESULT hr = in_order(
      [&] { return type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video); },
      [&] { return type->SetGUID(MF_MT_SUBTYPE, subtype); },
      [&] {
        return type->SetUINT64(MF_MT_FRAME_SIZE, packed(math::FRAME_WIDTH, math::FRAME_HEIGHT));
      },
      [&] { return type->SetUINT64(MF_MT_FRAME_RATE, packed(FRAMES_PER_SECOND, 1)); },
      [&] { return type->SetUINT64(MF_MT_PIXEL_ASPECT_RATIO, packed(1, 1)); },
      [&] { return type->SetUINT32(MF_MT_INTERLACE_MODE, MFVideoInterlace_Progressive); },
      [&] { return type->SetUINT32(MF_MT_ALL_SAMPLES_INDEPENDENT, TRUE); },
      [&] { return type->SetUINT32(MF_MT_DEFAULT_STRIDE, out.stride); },
      [&] { return type->SetUINT32(MF_MT_SAMPLE_SIZE, out.sample_size); });
  if (FAILED(hr)) return failure(hr);
  return type;
}

shared::Result<void> stream_attributes(IMFAttributes* store) {
  return shared::win::check(in_order(
      [&] { return store->SetGUID(MF_DEVICESTREAM_STREAM_CATEGORY, PINNAME_VIDEO_CAPTURE); },
      [&] { return store->SetUINT32(MF_DEVICESTREAM_STREAM_ID, 0); },
      [&] { return store->SetUINT32(MF_DEVICESTREAM_FRAMESERVER_SHARED, 1); },
      [&] {
        return store->SetUINT32(MF_DEVICESTREAM_ATTRIBUTE_FRAMESOURCE_TYPES,
                                MFFrameSourceTypes_Color);
      }));
}

namespace {

shared::Result<ComRef<IMFMediaSource>> assemble(unsigned slot) {
  auto nv12 = video_type(MFVideoFormat_NV12);
  if (!nv12) return std::unexpected(nv12.error());
  auto rgb32 = video_type(MFVideoFormat_RGB32);
  if (!rgb32) return std::unexpected(rgb32.error());

  Source::Parts parts;
  parts.slot = slot;
  std::array<IMFMediaType*, 2> types{nv12->get(), rgb32->get()};
  HRESULT hr = MFCreateStreamDescriptor(0, static_cast<DWORD>(types.size()), types.data(),
                                        parts.descriptor.put());
  if (FAILED(hr)) return failure(hr);
  ComRef<IMFMediaTypeHandler> handler;
  if (hr = parts.descriptor->GetMediaTypeHandler(handler.put()); FAILED(hr)) return failure(hr);
  if (hr = handler->SetCurrentMediaType(nv12->get()); FAILED(hr)) return failure(hr);
  ComRef<IMFAttributes> descriptor_store;
  hr = parts.descriptor->QueryInterface(__uuidof(IMFAttributes),
                                        reinterpret_cast<void**>(descriptor_store.put()));
  if (FAILED(hr)) return failure(hr);
  if (auto written = stream_attributes(descriptor_store.get()); !written) {
    return std::unexpected(written.error());
  }

  if (hr = MFCreateAttributes(parts.source_attributes.put(), 1); FAILED(hr)) return failure(hr);
  if (hr = MFCreateAttributes(parts.stream_store.put(), 4); FAILED(hr)) return failure(hr);
  if (auto written = stream_attributes(parts.stream_store.get()); !written) {
    return std::unexpected(written.error());
  }
  if (hr = MFCreateEventQueue(parts.queue.put()); FAILED(hr)) return failure(hr);
  IMFStreamDescriptor* descriptors[] = {parts.descriptor.get()};
  hr = MFCreatePresentationDescriptor(1, descriptors, parts.presentation.put());
  if (FAILED(hr)) return failure(hr);

  Source* made = shared::win::make_object<Source>(std::move(parts));
  if (!made) return failure(E_OUTOFMEMORY);
  return ComRef<IMFMediaSource>(made);
}

}  // namespace

shared::Result<ComRef<IMFMediaSource>> create(unsigned slot) {
  return shared::win::or_out_of_memory([slot] { return assemble(slot); });
}

// ---------------------------------------------------------------------------------------------
// Stream

Stream::Stream(ComRef<IMFMediaEventQueue> queue, ComRef<IMFStreamDescriptor> descriptor,
               IMFMediaSource* source, unsigned slot)
    : queue_(std::move(queue)),
      descriptor_(std::move(descriptor)),
      source_(ComRef<IMFMediaSource>::retain(source)) {
  state_.slot = slot;
}

shared::Result<ComRef<Stream>> Stream::create(IMFMediaSource* source,
                                              ComRef<IMFStreamDescriptor> descriptor,
                                              unsigned slot) {
  return shared::win::or_out_of_memory([&]() -> shared::Result<ComRef<Stream>> {
    ComRef<IMFMediaEventQueue> queue;
    if (const HRESULT hr = MFCreateEventQueue(queue.put()); FAILED(hr)) return failure(hr);
    Stream* made =
        shared::win::make_object<Stream>(std::move(queue), std::move(descriptor), source, slot);
    if (!made) return failure(E_OUTOFMEMORY);
    return ComRef<Stream>(made);
  });
}

void* Stream::find_interface(REFIID riid) {
  if (riid == __uuidof(IMFMediaStream) || riid == __uuidof(IMFMediaEventGenerator)) {
    return static_cast<IMFMediaStream2*>(this);
  }
  return ComObject::find_interface(riid);
}

HRESULT Stream::set_state(std::uint32_t value) {
  std::lock_guard lock(state_lock_);
  MediaEventType event = MEStreamStarted;
  switch (state_change(state_.state, value)) {
    case StreamChange::none:
      return S_OK;
    case StreamChange::started:
      break;
    case StreamChange::stopped:
      state_.compositor.reset();
      event = MEStreamStopped;
      break;
  }
  state_.state = value;
  return queue_->QueueEventParamVar(event, GUID_NULL, EVENT_STATUS, nullptr);
}

void Stream::set_nv12(bool nv12) {
  std::lock_guard lock(state_lock_);
  state_.nv12 = nv12;
}

void Stream::shut_down() {
  {
    std::lock_guard lock(state_lock_);
    state_.compositor.reset();
    shut_down_ = true;
  }
  ComRef<IMFMediaSource> link;
  {
    std::lock_guard lock(link_lock_);
    link = std::move(source_);
  }
  // The caller of the source's Shutdown still holds the source, so this is never its last
  // reference; it is dropped outside the link lock all the same.
  link.reset();
  queue_->Shutdown();
}

HRESULT Stream::GetEvent(DWORD flags, IMFMediaEvent** event) {
  return queue_->GetEvent(flags, event);
}

HRESULT Stream::BeginGetEvent(IMFAsyncCallback* callback, IUnknown* state) {
  return queue_->BeginGetEvent(callback, state);
}

HRESULT Stream::EndGetEvent(IMFAsyncResult* result, IMFMediaEvent** event) {
  return queue_->EndGetEvent(result, event);
}

HRESULT Stream::QueueEvent(MediaEventType type, REFGUID extended_type, HRESULT status,
                           const PROPVARIANT* value) {
  return queue_->QueueEventParamVar(type, extended_type, status, value);
}

HRESULT Stream::GetMediaSource(IMFMediaSource** source) {
  if (!source) return E_POINTER;
  std::lock_guard lock(link_lock_);
  if (!source_) return MF_E_SHUTDOWN;
  return hand_out(source_, source);
}

HRESULT Stream::GetStreamDescriptor(IMFStreamDescriptor** descriptor) {
  return hand_out(descriptor_, descriptor);
}

HRESULT Stream::RequestSample(IUnknown* token) {
  std::lock_guard lock(state_lock_);
  if (state_.state != STREAM_RUNNING) return MF_E_INVALIDREQUEST;
  if (shut_down_) return MF_E_SHUTDOWN;
  if (!state_.compositor) {
    auto made = compositor::Compositor::create(state_.slot);
    if (!made) return to_hresult(made.error());
    state_.compositor.emplace(std::move(*made));
  }
  auto sample = state_.compositor->next_sample(state_.nv12);
  if (!sample) return to_hresult(sample.error());
  if (token) {
    if (const HRESULT hr = (*sample)->SetUnknown(MFSampleExtension_Token, token); FAILED(hr)) {
      return hr;
    }
  }
  return queue_->QueueEventParamUnk(MEMediaSample, GUID_NULL, EVENT_STATUS, sample->get());
}

HRESULT Stream::SetStreamState(MF_STREAM_STATE value) {
  return set_state(static_cast<std::uint32_t>(value));
}

HRESULT Stream::GetStreamState(MF_STREAM_STATE* value) {
  if (!value) return E_POINTER;
  std::lock_guard lock(state_lock_);
  *value = static_cast<MF_STREAM_STATE>(state_.state);
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Source

void* Source::find_interface(REFIID riid) {
  if (riid == __uuidof(IMFMediaSource) || riid == __uuidof(IMFMediaEventGenerator)) {
    return static_cast<IMFMediaSourceEx*>(this);
  }
  return ComObject::find_interface(riid);
}

HRESULT Source::GetEvent(DWORD flags, IMFMediaEvent** event) {
  return parts_.queue->GetEvent(flags, event);
}

HRESULT Source::BeginGetEvent(IMFAsyncCallback* callback, IUnknown* state) {
  return parts_.queue->BeginGetEvent(callback, state);
}

HRESULT Source::EndGetEvent(IMFAsyncResult* result, IMFMediaEvent** event) {
  return parts_.queue->EndGetEvent(result, event);
}

HRESULT Source::QueueEvent(MediaEventType type, REFGUID extended_type, HRESULT status,
                           const PROPVARIANT* value) {
  return parts_.queue->QueueEventParamVar(type, extended_type, status, value);
}

HRESULT Source::GetCharacteristics(DWORD* characteristics) {
  if (!characteristics) return E_POINTER;
  *characteristics = MFMEDIASOURCE_IS_LIVE;
  return S_OK;
}

HRESULT Source::CreatePresentationDescriptor(IMFPresentationDescriptor** presentation) {
  if (!presentation) return E_POINTER;
  return parts_.presentation->Clone(presentation);
}

HRESULT Source::Start(IMFPresentationDescriptor* presentation, const GUID*,
                      const PROPVARIANT* start_position) {
  if (!presentation) return E_POINTER;
  BOOL selected = FALSE;
  ComRef<IMFStreamDescriptor> chosen;
  HRESULT hr = presentation->GetStreamDescriptorByIndex(0, &selected, chosen.put());
  if (FAILED(hr)) return hr;
  if (!selected) return MF_E_INVALIDREQUEST;
  bool nv12 = true;
  if (chosen) {
    ComRef<IMFMediaTypeHandler> handler;
    if (hr = chosen->GetMediaTypeHandler(handler.put()); FAILED(hr)) return hr;
    ComRef<IMFMediaType> current;
    if (hr = handler->GetCurrentMediaType(current.put()); FAILED(hr)) return hr;
    GUID subtype{};
    if (hr = current->GetGUID(MF_MT_SUBTYPE, &subtype); FAILED(hr)) return hr;
    nv12 = subtype == MFVideoFormat_NV12;
  }

  std::lock_guard lock(stream_lock_);
  if (shut_down_) return MF_E_SHUTDOWN;
  MediaEventType event = MEUpdatedStream;
  if (!stream_) {
    auto made = Stream::create(this, parts_.descriptor, parts_.slot);
    if (!made) return to_hresult(made.error());
    stream_ = std::move(*made);
    event = MENewStream;
  }
  hr = parts_.queue->QueueEventParamUnk(event, GUID_NULL, EVENT_STATUS, stream_->identity());
  if (FAILED(hr)) return hr;
  stream_->set_nv12(nv12);
  if (hr = stream_->set_state(STREAM_RUNNING); FAILED(hr)) return hr;
  return pass(
      parts_.queue->QueueEventParamVar(MESourceStarted, GUID_NULL, EVENT_STATUS, start_position));
}

HRESULT Source::Stop() {
  {
    std::lock_guard lock(stream_lock_);
    if (stream_) {
      if (const HRESULT hr = stream_->set_state(STREAM_STOPPED); FAILED(hr)) return hr;
    }
  }
  return parts_.queue->QueueEventParamVar(MESourceStopped, GUID_NULL, EVENT_STATUS, nullptr);
}

HRESULT Source::Pause() { return MF_E_INVALID_STATE_TRANSITION; }

HRESULT Source::Shutdown() {
  {
    std::lock_guard lock(stream_lock_);
    shut_down_ = true;
    if (ComRef<Stream> stream = std::move(stream_)) stream->shut_down();
  }
  return parts_.queue->Shutdown();
}

HRESULT Source::GetSourceAttributes(IMFAttributes** attributes) {
  return hand_out(parts_.source_attributes, attributes);
}

HRESULT Source::GetStreamAttributes(DWORD stream_id, IMFAttributes** attributes) {
  if (!attributes) return E_POINTER;
  if (stream_id != 0) return MF_E_INVALIDSTREAMNUMBER;
  return hand_out(parts_.stream_store, attributes);
}

HRESULT Source::SetD3DManager(IUnknown*) { return S_OK; }

HRESULT Source::GetService(REFGUID, REFIID, void**) { return MF_E_UNSUPPORTED_SERVICE; }

HRESULT Source::KsProperty(PKSPROPERTY, ULONG, void*, ULONG, ULONG*) {
  return HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);
}

HRESULT Source::KsMethod(PKSMETHOD, ULONG, void*, ULONG, ULONG*) {
  return HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);
}

HRESULT Source::KsEvent(PKSEVENT, ULONG, void*, ULONG, ULONG*) {
  return HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);
}

}  // namespace source
