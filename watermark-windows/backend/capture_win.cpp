#include "capture_win.hpp"

#include <mfapi.h>
#include <mferror.h>
#include <mfreadwrite.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <expected>
#include <limits>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "win_error.hpp"

namespace capture {

namespace {

using shared::win::ComRef;
using shared::win::check;
using shared::win::hresult_error;

constexpr DWORD FIRST_VIDEO = static_cast<DWORD>(MF_SOURCE_READER_FIRST_VIDEO_STREAM);
// The reader reports these with a sample of the new type: the run's size and stride are read
// again before that sample is copied.
constexpr DWORD TYPE_CHANGED = DWORD{MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED} |
                               DWORD{MF_SOURCE_READERF_NATIVEMEDIATYPECHANGED};
constexpr DWORD RUN_OVER = DWORD{MF_SOURCE_READERF_ERROR} | DWORD{MF_SOURCE_READERF_ENDOFSTREAM};

// Size and row order of the pictures the reader delivers.
struct Geometry {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::int32_t stride = 0;
  std::size_t bytes = 0;
};

std::uint64_t uint64_or_zero(IMFAttributes* attributes, REFGUID key) {
  UINT64 value = 0;
  if (FAILED(attributes->GetUINT64(key, &value))) return 0;
  return value;
}

shared::Result<Geometry> current_geometry(IMFSourceReader* reader) {
  ComRef<IMFMediaType> type;
  if (auto ok = check(reader->GetCurrentMediaType(FIRST_VIDEO, type.put())); !ok) {
    return std::unexpected(ok.error());
  }
  UINT64 size = 0;
  if (auto ok = check(type->GetUINT64(MF_MT_FRAME_SIZE, &size)); !ok) {
    return std::unexpected(ok.error());
  }
  Geometry geometry;
  geometry.width = static_cast<std::uint32_t>(size >> 32);
  geometry.height = static_cast<std::uint32_t>(size);
  const std::optional<std::size_t> bytes = frame_bytes(geometry.width, geometry.height);
  // An empty picture cannot be drawn, an oversized one not counted.
  if (!bytes || *bytes == 0) return std::unexpected(hresult_error(MF_E_INVALIDMEDIATYPE));
  geometry.bytes = *bytes;
  UINT32 stride = 0;
  if (SUCCEEDED(type->GetUINT32(MF_MT_DEFAULT_STRIDE, &stride))) {
    geometry.stride = static_cast<std::int32_t>(stride);
  } else {
    // No stride declared: the picture counts as bottom-up. Only the sign is used.
    const std::uint64_t row = std::uint64_t{geometry.width} * 4;
    geometry.stride = -static_cast<std::int32_t>(
        std::min<std::uint64_t>(row, std::numeric_limits<std::int32_t>::max()));
  }
  return geometry;
}

// The native type nearest to the output frame becomes the reader's input; without any native
// type the reader keeps the one it has.
shared::Result<void> choose_native_type(IMFSourceReader* reader) {
  std::vector<ComRef<IMFMediaType>> types;
  std::vector<NativeType> facts;
  for (DWORD i = 0;; ++i) {
    ComRef<IMFMediaType> type;
    if (FAILED(reader->GetNativeMediaType(FIRST_VIDEO, i, type.put()))) break;
    facts.push_back({uint64_or_zero(type.get(), MF_MT_FRAME_SIZE),
                     uint64_or_zero(type.get(), MF_MT_FRAME_RATE)});
    types.push_back(std::move(type));
  }
  const std::optional<std::size_t> best = best_type(facts);
  if (!best) return {};
  return check(reader->SetCurrentMediaType(FIRST_VIDEO, nullptr, types[*best].get()));
}

shared::Result<void> ask_for_rgb32(IMFSourceReader* reader) {
  ComRef<IMFMediaType> type;
  if (auto ok = check(MFCreateMediaType(type.put())); !ok) return ok;
  if (auto ok = check(type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video)); !ok) return ok;
  if (auto ok = check(type->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_RGB32)); !ok) return ok;
  return check(reader->SetCurrentMediaType(FIRST_VIDEO, nullptr, type.get()));
}

// Copies the picture of one sample and stores it as the newest frame.
shared::Result<void> store_sample(IMFSample* sample, const Geometry& geometry, LatestFrame& frame) {
  ComRef<IMFMediaBuffer> buffer;
  if (auto ok = check(sample->GetBufferByIndex(0, buffer.put())); !ok) return ok;
  std::vector<std::uint8_t> pixels;
  try {
    pixels.resize(geometry.bytes);
  } catch (const std::bad_alloc&) {
    return std::unexpected(hresult_error(E_OUTOFMEMORY));
  }
  if (auto ok = copy_top_down(buffer.get(), geometry.width, geometry.height, geometry.stride,
                              pixels);
      !ok) {
    return ok;
  }
  frame.store(Frame{std::move(pixels), Clock::now(), geometry.width, geometry.height});
  return {};
}

// Everything the thread owns; released when the thread ends.
struct ThreadState {
  std::shared_ptr<LatestFrame> frame;
  std::shared_ptr<CameraHold> hold;
  std::shared_ptr<const shared::StateMapping> mapping;
  unsigned slot;
  OpenSource open;
};

void thread_body(ThreadState state) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  // Each MFShutdown undoes one successful MFStartup; one without a start would undo the start of
  // whoever else in the process (the frame server) uses Media Foundation.
  const HRESULT media_foundation = MFStartup(MF_VERSION, MFSTARTUP_LITE);
  // No exception may leave the thread: one thrown by a run (out of memory) counts as that run's
  // failure, one from the cycle itself ends the capture, and the picture stays black.
  const auto run_once = [&](const std::string& link) {
    try {
      (void)run(link, *state.frame, *state.hold, state.open);
    } catch (...) {
    }
  };
  try {
    serve(state.mapping ? &state.mapping->state() : nullptr, state.slot, state.hold->stop_flag(),
          run_once, [](std::chrono::milliseconds wait) { std::this_thread::sleep_for(wait); });
  } catch (...) {
  }
  if (SUCCEEDED(media_foundation)) MFShutdown();
  if (SUCCEEDED(com)) CoUninitialize();
}

// Capture threads are never joined, and they run this library's code, while whoever loaded the
// library (the camera proxy, outside this repository) may free it. So before the first thread
// starts, the library pins itself and stays loaded until the process ends; a failed attempt is
// made again at the next start.
void pin_module() {
  static std::atomic<bool> pinned{false};
  if (pinned.load(std::memory_order_acquire)) return;
  HMODULE module = nullptr;
  if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         reinterpret_cast<LPCWSTR>(&pin_module), &module)) {
    pinned.store(true, std::memory_order_release);
  }
}

}  // namespace

shared::Result<ComRef<IMFMediaSource>> open_device(const std::string& link) {
  ComRef<IMFAttributes> attributes;
  if (auto ok = check(MFCreateAttributes(attributes.put(), 2)); !ok) {
    return std::unexpected(ok.error());
  }
  HRESULT hr = attributes->SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE,
                                   MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID);
  if (SUCCEEDED(hr)) {
    hr = attributes->SetString(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK,
                               shared::win::wide(link).c_str());
  }
  ComRef<IMFMediaSource> source;
  if (SUCCEEDED(hr)) hr = MFCreateDeviceSource(attributes.get(), source.put());
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  return source;
}

shared::Result<Capture> Capture::start(std::shared_ptr<const shared::StateMapping> mapping,
                                       unsigned slot, OpenSource open) {
  return shared::win::or_out_of_memory([&]() -> shared::Result<Capture> {
    Capture capture(std::make_shared<LatestFrame>(), std::make_shared<CameraHold>());
    pin_module();
    try {
      std::thread(thread_body, ThreadState{capture.frame_, capture.hold_, std::move(mapping), slot,
                                           std::move(open)})
          .detach();
    } catch (const std::system_error&) {
      // No thread to be had: the slot stays empty and the compositor draws no camera picture.
    }
    return capture;
  });
}

Capture& Capture::operator=(Capture&& other) noexcept {
  if (this != &other) {
    stop();
    frame_ = std::move(other.frame_);
    hold_ = std::move(other.hold_);
  }
  return *this;
}

Capture::~Capture() { stop(); }

void Capture::stop() {
  if (hold_) hold_->stop();
}

void CameraHold::stop() {
  ComRef<IMFMediaSource> held;
  {
    std::lock_guard lock(mutex_);
    stop_.store(true, std::memory_order_relaxed);
    held = source_;
  }
  // The thread may be blocked in ReadSample on this camera: the shut-down makes the read return.
  // Shutting down twice (here and on the thread's way out) is harmless.
  if (held) held->Shutdown();
}

bool CameraHold::keep(const ComRef<IMFMediaSource>& source) {
  std::lock_guard lock(mutex_);
  if (stop_.load(std::memory_order_relaxed)) return false;
  source_ = source;
  return true;
}

void CameraHold::let_go() {
  // Declared before the lock, so the reference is released after the mutex is: a release may
  // destroy the source, which stays out of the mutex as stop's Shutdown does.
  ComRef<IMFMediaSource> held;
  std::lock_guard lock(mutex_);
  held = std::move(source_);
}

shared::Result<void> run(const std::string& link, LatestFrame& frame, CameraHold& hold,
                         const OpenSource& open) {
  shared::Result<ComRef<IMFMediaSource>> source = open(link);
  if (!source) return std::unexpected(source.error());
  if (!*source) return std::unexpected(hresult_error(E_POINTER));
  // Stopped while the camera was opening: it is shut down without a read.
  shared::Result<void> result;
  if (hold.keep(*source)) {
    result = read_source(source->get(), frame, hold.stop_flag());
    hold.let_go();
  }
  (*source)->Shutdown();
  return result;
}

shared::Result<void> read_source(IMFMediaSource* source, LatestFrame& frame, const StopFlag& stop) {
  ComRef<IMFAttributes> attributes;
  if (auto ok = check(MFCreateAttributes(attributes.put(), 1)); !ok) return ok;
  if (auto ok = check(attributes->SetUINT32(MF_SOURCE_READER_ENABLE_VIDEO_PROCESSING, TRUE)); !ok) {
    return ok;
  }
  ComRef<IMFSourceReader> reader;
  if (auto ok = check(MFCreateSourceReaderFromMediaSource(source, attributes.get(), reader.put()));
      !ok) {
    return ok;
  }
  if (auto ok = choose_native_type(reader.get()); !ok) return ok;
  if (auto ok = ask_for_rgb32(reader.get()); !ok) return ok;
  shared::Result<Geometry> geometry = current_geometry(reader.get());
  if (!geometry) return std::unexpected(geometry.error());

  const auto stopped = [&] { return stop.load(std::memory_order_relaxed); };
  while (!stopped()) {
    DWORD flags = 0;
    ComRef<IMFSample> sample;
    if (auto ok = check(reader->ReadSample(FIRST_VIDEO, 0, nullptr, &flags, nullptr, sample.put()));
        !ok) {
      return ok;
    }
    // An error or the end of the stream ends the run normally; the thread tries again later.
    if (flags & RUN_OVER) return {};
    if (flags & TYPE_CHANGED) {
      geometry = current_geometry(reader.get());
      if (!geometry) return std::unexpected(geometry.error());
    }
    if (sample) {
      if (auto ok = store_sample(sample.get(), *geometry, frame); !ok) return ok;
    }
  }
  return {};
}

shared::Result<void> copy_top_down(IMFMediaBuffer* buffer, std::uint32_t width,
                                   std::uint32_t height, std::int32_t stride,
                                   std::span<std::uint8_t> destination) {
  // A 2D buffer tells where its memory begins and ends besides its top row and pitch, so no row
  // is read outside it whatever size the picture claims.
  ComRef<IMF2DBuffer2> two_d;
  if (SUCCEEDED(buffer->QueryInterface(IID_PPV_ARGS(two_d.put())))) {
    BYTE* top_row = nullptr;
    LONG pitch = 0;
    BYTE* start = nullptr;
    DWORD length = 0;
    if (auto ok = check(two_d->Lock2DSize(MF2DBuffer_LockFlags_Read, &top_row, &pitch, &start,
                                          &length));
        !ok) {
      return ok;
    }
    if (top_row >= start) {
      copy_pitched({start, length}, static_cast<std::size_t>(top_row - start), pitch, width,
                   height, destination);
    }
    return check(two_d->Unlock2D());
  }
  BYTE* data = nullptr;
  DWORD current = 0;
  if (auto ok = check(buffer->Lock(&data, nullptr, &current)); !ok) return ok;
  copy_packed({data, current}, width, height, stride, destination);
  return check(buffer->Unlock());
}

}  // namespace capture
