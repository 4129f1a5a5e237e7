// Runs under Wine with an X display, or on Windows: the media source's creations and frames
// while memory runs out. This program replaces operator new so that, once armed, the Nth
// allocation of the armed thread and every later one fail. Each case is swept over N until the
// call succeeds: before that, every call must come back with E_OUTOFMEMORY. A C++ exception
// that left one of these calls would, behind a COM method or at the top of a thread, end the
// frame server's process.
#include <gtest/gtest.h>

#include <windows.h>

#include <mfapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <expected>
#include <functional>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "activate_win.hpp"
#include "capture_win.hpp"
#include "compositor_win.hpp"
#include "media_foundation_win.hpp"
#include "mf_test_support.hpp"
#include "source_win.hpp"
#include "state_file_win.hpp"
#include "win_error.hpp"

namespace {

// Allocations this thread may still make before they fail; negative: no limit.
thread_local std::int64_t allocations_left = -1;

}  // namespace

void* operator new(std::size_t size) {
  if (allocations_left == 0) throw std::bad_alloc();
  if (allocations_left > 0) --allocations_left;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

using shared::win::ComRef;
using shared::win::to_hresult;

const auto* const media_foundation =
    ::testing::AddGlobalTestEnvironment(new test_mf::MediaFoundation);

// The most allocations any of the calls below makes, with room to spare.
constexpr std::int64_t MAX_ALLOCATIONS = 2000;

template <class T>
HRESULT outcome(const shared::Result<T>& result) {
  return result ? S_OK : to_hresult(result.error());
}

shared::Result<ComRef<IMFMediaSource>> no_camera(const std::string&) {
  return std::unexpected(shared::win::hresult_error(E_FAIL));
}

// A source of slot 1 whose stream runs; the stream, or null.
ComRef<IMFMediaStream> running_stream(IMFMediaSource* source) {
  ComRef<IMFPresentationDescriptor> presentation;
  if (FAILED(source->CreatePresentationDescriptor(presentation.put())) ||
      FAILED(presentation->SelectStream(0))) {
    return {};
  }
  PROPVARIANT position;
  PropVariantInit(&position);
  if (FAILED(source->Start(presentation.get(), &GUID_NULL, &position))) return {};
  ComRef<IMFMediaEventGenerator> events;
  ComRef<IMFMediaStream> stream;
  for (;;) {
    ComRef<IMFMediaEvent> event;
    if (FAILED(source->GetEvent(MF_EVENT_FLAG_NO_WAIT, event.put()))) return stream;
    MediaEventType type = MEUnknown;
    event->GetType(&type);
    PROPVARIANT value;
    PropVariantInit(&value);
    if (type == MENewStream && SUCCEEDED(event->GetValue(&value)) && value.vt == VT_UNKNOWN) {
      value.punkVal->QueryInterface(IID_PPV_ARGS(stream.put()));
    }
    PropVariantClear(&value);
  }
}

// Calls `call(n)` for n = 0, 1, ... until it succeeds; `call` makes its arguments, then arms
// the failure with `arm(n)` and makes the call under test.
void sweep(const char* name, const std::function<HRESULT(std::int64_t n)>& call) {
  int refused = 0;
  bool succeeded = false;
  for (std::int64_t n = 0; n < MAX_ALLOCATIONS && !succeeded; ++n) {
    HRESULT hr = E_FAIL;
    bool thrown = false;
    try {
      hr = call(n);
    } catch (...) {
      thrown = true;
    }
    allocations_left = -1;
    ASSERT_FALSE(thrown) << name << ": an exception left the call at allocation " << n;
    succeeded = SUCCEEDED(hr);
    if (!succeeded) {
      ASSERT_EQ(static_cast<std::uint32_t>(hr), static_cast<std::uint32_t>(E_OUTOFMEMORY))
          << name << " at allocation " << n;
      ++refused;
    }
  }
  EXPECT_TRUE(succeeded) << name;
  EXPECT_GT(refused, 0) << name << " allocates nothing";
  std::printf("[ memory ] %s: E_OUTOFMEMORY for the first %d allocations\n", name, refused);
}

void arm(std::int64_t n) { allocations_left = n; }

TEST(OutOfMemory, EveryCreationAndFrameGivesEOutOfMemoryUntilItSucceeds) {
  test_state::StateFile file("out_of_memory");
  // The badge with a title of its own, so that every frame makes its label.
  file.state().write_text("A participant's name", std::vector<std::string>{});
  file.state().badge_on.store(1);
  file.state().heartbeat_ms.store(shared::unix_ms() + 60'000);
  using compositor::Compositor;
  auto drawing = Compositor::create(1, Compositor::Inputs{file.path(), no_camera});
  ASSERT_TRUE(drawing.has_value()) << drawing.error().text();

  struct Case {
    const char* name;
    std::function<HRESULT(std::int64_t n)> call;
  };
  const Case cases[] = {
      {"class factory through the export",
       [](std::int64_t n) {
         const GUID clsid = mf_test::camera_clsid(2);
         ComRef<IClassFactory> factory;
         arm(n);
         return DllGetClassObject(clsid, __uuidof(IClassFactory),
                                  reinterpret_cast<void**>(factory.put()));
       }},
      {"activation object",
       [](std::int64_t n) {
         arm(n);
         return outcome(activate::Activate::create(0));
       }},
      {"media source",
       [](std::int64_t n) {
         arm(n);
         return outcome(source::create(0));
       }},
      {"capture",
       [](std::int64_t n) {
         capture::OpenSource open = no_camera;
         arm(n);
         return outcome(capture::Capture::start(nullptr, 0, std::move(open)));
       }},
      {"compositor",
       [&](std::int64_t n) {
         Compositor::Inputs inputs{file.path(), no_camera};
         arm(n);
         return outcome(Compositor::create(1, std::move(inputs)));
       }},
      {"frame with its label",
       [&](std::int64_t n) {
         arm(n);
         return outcome(drawing->next_sample(false));
       }},
  };
  for (const Case& c : cases) sweep(c.name, c.call);
}

TEST(OutOfMemory, AFrameRequestThatRunsOutOfMemoryFailsWithEOutOfMemory) {
  // Through the stream's COM method: the first request of a running stream makes the
  // compositor (its capture among it) and then the frame.
  sweep("frame request", [](std::int64_t n) {
    auto made = source::create(1);
    if (!made) return to_hresult(made.error());
    const ComRef<IMFMediaStream> stream = running_stream(made->get());
    if (!stream) return E_UNEXPECTED;
    arm(n);
    const HRESULT hr = stream->RequestSample(nullptr);
    allocations_left = -1;
    (*made)->Shutdown();
    return hr;
  });
}

}  // namespace
