#include "fake_camera_win.hpp"

#include <mfapi.h>
#include <mferror.h>

#include <cstddef>
#include <cstring>
#include <utility>

namespace fake_camera {

namespace {

using shared::win::ComObject;
using shared::win::ComRef;

constexpr LONGLONG FRAME_TIME = 333333;

// What the source and its stream share: the script, the two event queues and the journal.
struct Player {
  std::mutex mutex;
  std::vector<Step> script;
  std::size_t next = 0;
  LONGLONG time = 0;
  bool started = false;
  bool shut_down = false;
  std::shared_ptr<Journal> journal;
  ComRef<IMFMediaEventQueue> source_events;
  ComRef<IMFMediaEventQueue> stream_events;
  ComRef<IMFStreamDescriptor> descriptor;
  ComRef<IMFPresentationDescriptor> presentation;
  IMFMediaSource* source = nullptr;  // not owned: the source owns the player
};

HRESULT fill_2d(IMFMediaBuffer* buffer, const Step& step) {
  ComRef<IMF2DBuffer> two_d;
  HRESULT hr = buffer->QueryInterface(IID_PPV_ARGS(two_d.put()));
  if (FAILED(hr)) return hr;
  BYTE* top = nullptr;
  LONG pitch = 0;
  if (FAILED(hr = two_d->Lock2D(&top, &pitch))) return hr;
  const std::size_t row = std::size_t{step.width} * 4;
  for (std::size_t r = 0; r < step.height && (r + 1) * row <= step.memory.size(); ++r) {
    std::memcpy(top + static_cast<std::ptrdiff_t>(r) * pitch, step.memory.data() + r * row, row);
  }
  if (FAILED(hr = two_d->Unlock2D())) return hr;
  DWORD length = 0;
  if (FAILED(hr = two_d->GetContiguousLength(&length))) return hr;
  return buffer->SetCurrentLength(length);
}

HRESULT fill_plain(IMFMediaBuffer* buffer, const Step& step) {
  BYTE* data = nullptr;
  HRESULT hr = buffer->Lock(&data, nullptr, nullptr);
  if (FAILED(hr)) return hr;
  if (!step.memory.empty()) std::memcpy(data, step.memory.data(), step.memory.size());
  if (FAILED(hr = buffer->Unlock())) return hr;
  return buffer->SetCurrentLength(static_cast<DWORD>(step.memory.size()));
}

// The status of the one event a shut-down camera still sends: the failed answer to a read.
constexpr HRESULT SHUT_DOWN_ANSWER = MF_E_SHUTDOWN;

HRESULT answer_shut_down(IMFMediaEventQueue* stream_events) {
  stream_events->QueueEventParamVar(MEStreamTick, GUID_NULL, SHUT_DOWN_ANSWER, nullptr);
  return S_OK;
}

void close(Player& player) {
  player.stream_events->Shutdown();
  player.source_events->Shutdown();
}

HRESULT make_sample(const Step& step, LONGLONG time, ComRef<IMFSample>& sample) {
  const ComRef<IMFMediaBuffer> frame = buffer(step);
  if (!frame) return E_FAIL;
  HRESULT hr = MFCreateSample(sample.put());
  if (FAILED(hr)) return hr;
  if (FAILED(hr = sample->AddBuffer(frame.get()))) return hr;
  if (FAILED(hr = sample->SetSampleTime(time))) return hr;
  return sample->SetSampleDuration(FRAME_TIME);
}

// A media event generator (the source or its stream) over an event queue of the player.
template <class Interface>
class Generator : public ComObject<Interface> {
 public:
  HRESULT STDMETHODCALLTYPE GetEvent(DWORD flags, IMFMediaEvent** event) override {
    return events()->GetEvent(flags, event);
  }
  HRESULT STDMETHODCALLTYPE BeginGetEvent(IMFAsyncCallback* callback, IUnknown* state) override {
    return events()->BeginGetEvent(callback, state);
  }
  HRESULT STDMETHODCALLTYPE EndGetEvent(IMFAsyncResult* result, IMFMediaEvent** event) override {
    return events()->EndGetEvent(result, event);
  }
  HRESULT STDMETHODCALLTYPE QueueEvent(MediaEventType type, REFGUID extended, HRESULT status,
                                       const PROPVARIANT* value) override {
    return events()->QueueEventParamVar(type, extended, status, value);
  }

 protected:
  virtual IMFMediaEventQueue* events() = 0;

  void* find_interface(REFIID riid) override {
    if (riid == __uuidof(IMFMediaEventGenerator)) {
      return static_cast<IMFMediaEventGenerator*>(static_cast<Interface*>(this));
    }
    return ComObject<Interface>::find_interface(riid);
  }
};

class Stream final : public Generator<IMFMediaStream> {
 public:
  explicit Stream(std::shared_ptr<Player> player) : player_(std::move(player)) {}

  // Once the reader has taken the failed answer of a shut-down camera (see Source::Shutdown),
  // nothing more comes: the queues are shut down.
  HRESULT STDMETHODCALLTYPE EndGetEvent(IMFAsyncResult* result, IMFMediaEvent** event) override {
    const HRESULT hr = player_->stream_events->EndGetEvent(result, event);
    HRESULT status = S_OK;
    if (SUCCEEDED(hr) && SUCCEEDED((*event)->GetStatus(&status)) && status == SHUT_DOWN_ANSWER) {
      close(*player_);
    }
    return hr;
  }

  HRESULT STDMETHODCALLTYPE GetMediaSource(IMFMediaSource** source) override {
    std::lock_guard lock(player_->mutex);
    if (player_->shut_down || !player_->source) return MF_E_SHUTDOWN;
    *source = player_->source;
    (*source)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetStreamDescriptor(IMFStreamDescriptor** descriptor) override {
    *descriptor = player_->descriptor.get();
    (*descriptor)->AddRef();
    return S_OK;
  }

  // A tick tells of a gap and leaves the request open, so the step after it answers as well.
  HRESULT STDMETHODCALLTYPE RequestSample(IUnknown* token) override {
    bool shut_down = false;
    {
      std::lock_guard lock(player_->mutex);
      shut_down = player_->shut_down;
      if (!shut_down) {
        std::lock_guard journal(player_->journal->mutex);
        ++player_->journal->requests;
      }
    }
    if (shut_down) return answer_shut_down(player_->stream_events.get());
    for (;;) {
      Step step;
      LONGLONG time = 0;
      {
        std::lock_guard lock(player_->mutex);
        if (player_->next >= player_->script.size()) return S_OK;
        step = player_->script[player_->next++];
        time = player_->time;
        player_->time += FRAME_TIME;
      }
      const HRESULT hr = play(step, time, token);
      if (step.delivered) step.delivered();
      if (FAILED(hr) || step.kind != Step::Kind::tick) return hr;
    }
  }

 private:
  HRESULT play(const Step& step, LONGLONG time, IUnknown* token) {
    HRESULT hr = S_OK;
    switch (step.kind) {
      case Step::Kind::frame: {
        ComRef<IMFSample> sample;
        hr = make_sample(step, time, sample);
        if (SUCCEEDED(hr) && token) hr = sample->SetUnknown(MFSampleExtension_Token, token);
        if (SUCCEEDED(hr)) {
          hr = player_->stream_events->QueueEventParamUnk(MEMediaSample, GUID_NULL, S_OK,
                                                          sample.get());
        }
        break;
      }
      case Step::Kind::tick: {
        PROPVARIANT at;
        PropVariantInit(&at);
        at.vt = VT_I8;
        at.hVal.QuadPart = time;
        hr = player_->stream_events->QueueEventParamVar(MEStreamTick, GUID_NULL, S_OK, &at);
        break;
      }
      case Step::Kind::end:
        hr = player_->stream_events->QueueEventParamVar(MEEndOfStream, GUID_NULL, S_OK, nullptr);
        if (SUCCEEDED(hr)) {
          hr = player_->source_events->QueueEventParamVar(MEEndOfPresentation, GUID_NULL, S_OK,
                                                          nullptr);
        }
        break;
    }
    return hr;
  }

 protected:
  IMFMediaEventQueue* events() override { return player_->stream_events.get(); }

 private:
  std::shared_ptr<Player> player_;
};

class Source final : public Generator<IMFMediaSource> {
 public:
  Source(std::shared_ptr<Player> player, ComRef<IMFMediaStream> stream)
      : player_(std::move(player)), stream_(std::move(stream)) {
    player_->source = this;
  }
  ~Source() override {
    std::lock_guard lock(player_->mutex);
    player_->source = nullptr;
  }

  HRESULT STDMETHODCALLTYPE GetCharacteristics(DWORD* characteristics) override {
    *characteristics = MFMEDIASOURCE_IS_LIVE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreatePresentationDescriptor(
      IMFPresentationDescriptor** descriptor) override {
    std::lock_guard lock(player_->mutex);
    if (player_->shut_down) return MF_E_SHUTDOWN;
    return player_->presentation->Clone(descriptor);
  }

  HRESULT STDMETHODCALLTYPE Start(IMFPresentationDescriptor*, const GUID*,
                                  const PROPVARIANT*) override {
    bool first = false;
    {
      std::lock_guard lock(player_->mutex);
      if (player_->shut_down) return MF_E_SHUTDOWN;
      first = !player_->started;
      player_->started = true;
      ComRef<IMFMediaTypeHandler> handler;
      ComRef<IMFMediaType> current;
      std::uint64_t size = 0;
      if (SUCCEEDED(player_->descriptor->GetMediaTypeHandler(handler.put())) &&
          SUCCEEDED(handler->GetCurrentMediaType(current.put()))) {
        UINT64 value = 0;
        if (SUCCEEDED(current->GetUINT64(MF_MT_FRAME_SIZE, &value))) size = value;
      }
      std::lock_guard journal(player_->journal->mutex);
      ++player_->journal->starts;
      player_->journal->started_frame_size = size;
    }
    PROPVARIANT position;
    PropVariantInit(&position);
    position.vt = VT_I8;
    position.hVal.QuadPart = 0;
    HRESULT hr = player_->source_events->QueueEventParamUnk(
        first ? MENewStream : MEUpdatedStream, GUID_NULL, S_OK, stream_.get());
    if (SUCCEEDED(hr)) {
      hr = player_->stream_events->QueueEventParamVar(MEStreamStarted, GUID_NULL, S_OK, &position);
    }
    if (SUCCEEDED(hr)) {
      hr = player_->source_events->QueueEventParamVar(MESourceStarted, GUID_NULL, S_OK, &position);
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Stop() override {
    HRESULT hr = player_->stream_events->QueueEventParamVar(MEStreamStopped, GUID_NULL, S_OK,
                                                            nullptr);
    if (SUCCEEDED(hr)) {
      hr = player_->source_events->QueueEventParamVar(MESourceStopped, GUID_NULL, S_OK, nullptr);
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Pause() override { return MF_E_INVALID_STATE_TRANSITION; }
  // Windows' source reader ends a read that waits on a source being shut down, and fails one
  // that asks a shut-down source, with an error. Wine's reader goes on waiting (it drops the
  // failure of its event request once the stream's queue is shut down, ignores MEError on a
  // stream and a failed RequestSample), so the camera gives the reader that failure itself: a
  // tick without its time stamp, which Wine's reader hands to the waiting or the next read as
  // E_UNEXPECTED. The queues stay open until the reader has taken that event: one that listens
  // now, or one that is about to listen (between two of its event requests, or not yet started),
  // takes it with its next request.
  HRESULT STDMETHODCALLTYPE Shutdown() override {
    bool first = false;
    {
      std::lock_guard lock(player_->mutex);
      first = !player_->shut_down;
      player_->shut_down = true;
      std::lock_guard journal(player_->journal->mutex);
      ++player_->journal->shutdowns;
    }
    if (first) answer_shut_down(player_->stream_events.get());
    return S_OK;
  }

 protected:
  IMFMediaEventQueue* events() override { return player_->source_events.get(); }

 private:
  std::shared_ptr<Player> player_;
  ComRef<IMFMediaStream> stream_;
};

}  // namespace

ComRef<IMFMediaBuffer> buffer(const Step& frame) {
  ComRef<IMFMediaBuffer> made;
  // A plain buffer gets room to spare, so that only its current length tells the picture's end.
  HRESULT hr = frame.two_d ? MFCreate2DMediaBuffer(frame.width, frame.height,
                                                   MFVideoFormat_RGB32.Data1, frame.bottom_up,
                                                   made.put())
                           : MFCreateMemoryBuffer(static_cast<DWORD>(frame.memory.size() + 64),
                                                  made.put());
  if (SUCCEEDED(hr)) hr = frame.two_d ? fill_2d(made.get(), frame) : fill_plain(made.get(), frame);
  if (FAILED(hr)) return {};
  return made;
}

Step Step::frame(std::uint32_t width, std::uint32_t height, std::vector<std::uint8_t> memory) {
  Step step = with_kind(Kind::frame);
  step.width = width;
  step.height = height;
  step.memory = std::move(memory);
  return step;
}

Step Step::frame_2d(std::uint32_t width, std::uint32_t height, std::vector<std::uint8_t> rows,
                    bool bottom_up) {
  Step step = frame(width, height, std::move(rows));
  step.two_d = true;
  step.bottom_up = bottom_up;
  return step;
}

ComRef<IMFMediaType> rgb32_type(std::optional<std::uint64_t> frame_size,
                                std::optional<std::uint64_t> frame_rate,
                                std::optional<std::int32_t> default_stride) {
  ComRef<IMFMediaType> type;
  if (FAILED(MFCreateMediaType(type.put()))) return {};
  type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
  type->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_RGB32);
  if (frame_size) type->SetUINT64(MF_MT_FRAME_SIZE, *frame_size);
  if (frame_rate) type->SetUINT64(MF_MT_FRAME_RATE, *frame_rate);
  if (default_stride) type->SetUINT32(MF_MT_DEFAULT_STRIDE, static_cast<UINT32>(*default_stride));
  return type;
}

ComRef<IMFMediaSource> create(const std::vector<ComRef<IMFMediaType>>& native_types,
                              std::vector<Step> script, std::shared_ptr<Journal> journal) {
  auto player = std::make_shared<Player>();
  player->script = std::move(script);
  player->journal = std::move(journal);
  std::vector<IMFMediaType*> types;
  for (const ComRef<IMFMediaType>& type : native_types) types.push_back(type.get());
  if (FAILED(MFCreateEventQueue(player->source_events.put())) ||
      FAILED(MFCreateEventQueue(player->stream_events.put())) ||
      FAILED(MFCreateStreamDescriptor(0, static_cast<DWORD>(types.size()), types.data(),
                                      player->descriptor.put()))) {
    return {};
  }
  ComRef<IMFMediaTypeHandler> handler;
  if (!types.empty() && SUCCEEDED(player->descriptor->GetMediaTypeHandler(handler.put()))) {
    handler->SetCurrentMediaType(types.front());
  }
  IMFStreamDescriptor* descriptors[] = {player->descriptor.get()};
  if (FAILED(MFCreatePresentationDescriptor(1, descriptors, player->presentation.put())) ||
      FAILED(player->presentation->SelectStream(0))) {
    return {};
  }
  ComRef<IMFMediaStream> stream(new Stream(player));
  return ComRef<IMFMediaSource>(new Source(player, std::move(stream)));
}

}  // namespace fake_camera
