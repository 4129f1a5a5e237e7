#pragma once
// The media source of one camera slot and its single video stream, as the frame server drives
// them. Both are free-threaded and may be called on any thread at once.
//
// Lock order: the source's stream lock first, then either the stream's state lock or its link
// lock, never both. A frame request holds the state lock for the whole composition.

#include <windows.h>

#include <mfapi.h>
#include <mfidl.h>

// After Media Foundation's headers, which the kernel-streaming ones clash with otherwise.
#include <ks.h>
#include <ksmedia.h>

// After ks.h: the user-mode IKsControl, with an IID that both SDKs can take __uuidof of.
#include <devicetopology.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>

#include "com_win.hpp"
#include "compositor_win.hpp"
#include "error.hpp"
#include "platform/mfdevicestream.hpp"
#include "source.hpp"

namespace source {

using shared::win::ComObject;
using shared::win::ComRef;

// One of the two output types: 1280 x 720 at 30/1, progressive, square pixels; stride and
// sample size of NV12 for MFVideoFormat_NV12, of RGB32 for any other subtype.
shared::Result<ComRef<IMFMediaType>> video_type(const GUID& subtype);

// The four device-stream attributes of the one colour capture stream, written into `store`.
shared::Result<void> stream_attributes(IMFAttributes* store);

// A new source for the camera slot, holding no stream until its first Start.
shared::Result<ComRef<IMFMediaSource>> create(unsigned slot);

struct StreamState {
  std::optional<compositor::Compositor> compositor;  // only while running, from the first request
  std::uint32_t state = STREAM_STOPPED;
  bool nv12 = true;
  unsigned slot = 0;
};

class Stream final : public ComObject<IMFMediaStream2> {
 public:
  static shared::Result<ComRef<Stream>> create(IMFMediaSource* source,
                                               ComRef<IMFStreamDescriptor> descriptor,
                                               unsigned slot);

  // Stores the new state and queues its event while the state lock is held, so that the
  // stream queue sees state changes in the order they were made.
  HRESULT set_state(std::uint32_t value);
  void set_nv12(bool nv12);
  // The object's identity, as events carry it.
  using ComObject::identity;
  // The source's Shutdown: drops the compositor, the link to the source and the event queue.
  void shut_down();

  HRESULT STDMETHODCALLTYPE GetEvent(DWORD flags, IMFMediaEvent** event) override;
  HRESULT STDMETHODCALLTYPE BeginGetEvent(IMFAsyncCallback* callback, IUnknown* state) override;
  HRESULT STDMETHODCALLTYPE EndGetEvent(IMFAsyncResult* result, IMFMediaEvent** event) override;
  HRESULT STDMETHODCALLTYPE QueueEvent(MediaEventType type, REFGUID extended_type, HRESULT status,
                                       const PROPVARIANT* value) override;

  HRESULT STDMETHODCALLTYPE GetMediaSource(IMFMediaSource** source) override;
  HRESULT STDMETHODCALLTYPE GetStreamDescriptor(IMFStreamDescriptor** descriptor) override;
  HRESULT STDMETHODCALLTYPE RequestSample(IUnknown* token) override;

  HRESULT STDMETHODCALLTYPE SetStreamState(MF_STREAM_STATE value) override;
  HRESULT STDMETHODCALLTYPE GetStreamState(MF_STREAM_STATE* value) override;

 protected:
  void* find_interface(REFIID riid) override;

 private:
  template <class T, class... Args>
  friend T* shared::win::make_object(Args&&... args) noexcept;
  Stream(ComRef<IMFMediaEventQueue> queue, ComRef<IMFStreamDescriptor> descriptor,
         IMFMediaSource* source, unsigned slot);

  const ComRef<IMFMediaEventQueue> queue_;
  const ComRef<IMFStreamDescriptor> descriptor_;

  std::mutex link_lock_;
  ComRef<IMFMediaSource> source_;  // the reference cycle that only Shutdown breaks

  std::mutex state_lock_;
  StreamState state_;
  // Set by shut_down: a running stream then refuses requests before it would open the camera.
  bool shut_down_ = false;
};

class Source final : public ComObject<IMFMediaSourceEx, IMFGetService, IKsControl> {
 public:
  struct Parts {
    ComRef<IMFMediaEventQueue> queue;
    ComRef<IMFAttributes> source_attributes;
    ComRef<IMFAttributes> stream_store;
    ComRef<IMFPresentationDescriptor> presentation;
    ComRef<IMFStreamDescriptor> descriptor;
    unsigned slot = 0;
  };
  explicit Source(Parts parts) : parts_(std::move(parts)) {}

  HRESULT STDMETHODCALLTYPE GetEvent(DWORD flags, IMFMediaEvent** event) override;
  HRESULT STDMETHODCALLTYPE BeginGetEvent(IMFAsyncCallback* callback, IUnknown* state) override;
  HRESULT STDMETHODCALLTYPE EndGetEvent(IMFAsyncResult* result, IMFMediaEvent** event) override;
  HRESULT STDMETHODCALLTYPE QueueEvent(MediaEventType type, REFGUID extended_type, HRESULT status,
                                       const PROPVARIANT* value) override;

  HRESULT STDMETHODCALLTYPE GetCharacteristics(DWORD* characteristics) override;
  HRESULT STDMETHODCALLTYPE CreatePresentationDescriptor(
      IMFPresentationDescriptor** presentation) override;
  HRESULT STDMETHODCALLTYPE Start(IMFPresentationDescriptor* presentation, const GUID* time_format,
                                  const PROPVARIANT* start_position) override;
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Shutdown() override;

  HRESULT STDMETHODCALLTYPE GetSourceAttributes(IMFAttributes** attributes) override;
  HRESULT STDMETHODCALLTYPE GetStreamAttributes(DWORD stream_id,
                                                IMFAttributes** attributes) override;
  HRESULT STDMETHODCALLTYPE SetD3DManager(IUnknown* manager) override;

  HRESULT STDMETHODCALLTYPE GetService(REFGUID service, REFIID riid, void** object) override;

  HRESULT STDMETHODCALLTYPE KsProperty(PKSPROPERTY property, ULONG property_size, void* data,
                                       ULONG data_size, ULONG* returned) override;
  HRESULT STDMETHODCALLTYPE KsMethod(PKSMETHOD method, ULONG method_size, void* data,
                                     ULONG data_size, ULONG* returned) override;
  HRESULT STDMETHODCALLTYPE KsEvent(PKSEVENT event, ULONG event_size, void* data, ULONG data_size,
                                    ULONG* returned) override;

 protected:
  void* find_interface(REFIID riid) override;

 private:
  const Parts parts_;

  std::mutex stream_lock_;
  ComRef<Stream> stream_;
  // Set by Shutdown, so that a later Start is refused before it makes a stream whose link to
  // this source nothing would ever break again.
  bool shut_down_ = false;
};

}  // namespace source
