// The frame server's side of the camera end-to-end test: creates the slot 0 camera class as
// IMFActivate through the registry (and so through the installed proxy and backend), starts its
// media source and, for each "frame NAME" line on standard input, requests one NV12 sample,
// saves it as PICTURE_DIR\camera_e2e_NAME.png and prints what it found of the badge as one JSON
// line. "quit" (or the end of input) shuts the source down.
//
// usage: camera_e2e_client.exe PICTURE_DIR
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "badge.hpp"
#include "com_win.hpp"
#include "lib.hpp"
#include "math.hpp"
#include "png_win.hpp"
#include "win_error.hpp"

namespace {

using shared::win::ComRef;

constexpr unsigned SLOT = 0;
constexpr std::uint32_t W = math::FRAME_WIDTH;
constexpr std::uint32_t H = math::FRAME_HEIGHT;
// Luma this far above the black of the empty camera picture counts as drawn.
constexpr int DRAWN = 6;
// Luma of the white text and bars over the dark pill.
constexpr int BRIGHT = 150;

void fail(const std::string& what, HRESULT hr) {
  std::printf("{\"error\":\"%s 0x%08lX\"}\n", what.c_str(), static_cast<unsigned long>(hr));
  std::fflush(stdout);
  std::exit(1);
}

void check(HRESULT hr, const char* what) {
  if (FAILED(hr)) fail(what, hr);
}

std::string json_text(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

GUID camera_clsid(unsigned slot) {
  const shared::ClsidFields fields = shared::clsid_fields(slot);
  GUID clsid{fields.data1, fields.data2, fields.data3, {}};
  std::copy(fields.data4.begin(), fields.data4.end(), std::begin(clsid.Data4));
  return clsid;
}

// The file of the module whose code stands behind an interface pointer.
std::string module_of(IUnknown* object) {
  HMODULE module = nullptr;
  const void* code = *reinterpret_cast<void* const*>(*reinterpret_cast<void* const*>(object));
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      static_cast<LPCWSTR>(code), &module);
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  return shared::win::narrow(path);
}

ComRef<IMFMediaEvent> wait_for(IMFMediaEventGenerator* queue, MediaEventType wanted) {
  for (;;) {
    ComRef<IMFMediaEvent> event;
    check(queue->GetEvent(0, event.put()), "GetEvent");
    MediaEventType type = MEUnknown;
    event->GetType(&type);
    if (type == wanted) return event;
  }
}

template <class T>
ComRef<T> value_as(IMFMediaEvent* event) {
  PROPVARIANT value;
  PropVariantInit(&value);
  check(event->GetValue(&value), "GetValue");
  ComRef<T> out;
  if (value.vt == VT_UNKNOWN && value.punkVal) {
    value.punkVal->QueryInterface(__uuidof(T), reinterpret_cast<void**>(out.put()));
  }
  PropVariantClear(&value);
  if (!out) fail("event value", E_NOINTERFACE);
  return out;
}

// BT.601 limited range back to BGRA, only so that a person can look at the frame.
std::vector<std::uint8_t> to_bgra(const std::uint8_t* nv12) {
  std::vector<std::uint8_t> out(std::size_t{W} * H * 4);
  const std::uint8_t* chroma = nv12 + std::size_t{W} * H;
  const auto clamp = [](double v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0)); };
  for (std::uint32_t y = 0; y < H; ++y) {
    for (std::uint32_t x = 0; x < W; ++x) {
      const double l = 1.164 * (nv12[y * W + x] - 16);
      const std::uint8_t* uv = chroma + (y / 2) * W + (x / 2) * 2;
      const double u = uv[0] - 128.0, v = uv[1] - 128.0;
      std::uint8_t* p = &out[(std::size_t{y} * W + x) * 4];
      p[0] = clamp(l + 2.018 * u);
      p[1] = clamp(l - 0.391 * u - 0.813 * v);
      p[2] = clamp(l + 1.596 * v);
      p[3] = 255;
    }
  }
  return out;
}

// What one frame shows: the box of everything drawn over the black picture, and, when that is
// a badge, whether its text and bars stand where the badge geometry puts them for that width.
std::string describe(const std::string& name, const std::uint8_t* luma) {
  const int black = luma[0];
  int left = W, right = -1, top = H, bottom = -1;
  for (std::uint32_t y = 0; y < H; ++y) {
    for (std::uint32_t x = 0; x < W; ++x) {
      if (luma[y * W + x] - black < DRAWN) continue;
      left = std::min<int>(left, x);
      right = std::max<int>(right, x + 1);
      top = std::min<int>(top, y);
      bottom = std::max<int>(bottom, y + 1);
    }
  }
  std::string line = "{\"name\":\"" + json_text(name) + "\",\"black\":" + std::to_string(black);
  if (right < 0) return line + ",\"badge\":false}";

  // The content width that a pill of the width seen holds, and the badge for it.
  const auto badge_for = [](float content) {
    return badge::geometry(static_cast<float>(W), static_cast<float>(H), content, 0.0, 0.0);
  };
  const badge::Rect empty = badge_for(0.0f).pill.rect;
  const float content = static_cast<float>(right - left) - (empty.right - empty.left);
  const badge::Geometry expected = badge_for(content);
  const badge::Lengths lengths = badge::lengths(static_cast<float>(W));

  // Bright text columns between the content's left edge and its right edge, and none in the gap
  // before the bars; a bright pixel on each bar's middle column at the centre line.
  const auto bright = [&](int x, int y) { return luma[y * W + x] >= BRIGHT; };
  int text_pixels = 0, gap_pixels = 0;
  const int content_left = static_cast<int>(expected.content_left);
  const int content_right = static_cast<int>(expected.content_left + expected.content_width);
  const int first_bar = static_cast<int>(expected.bars[0].rect.left);
  const int pill_top = static_cast<int>(expected.pill.rect.top);
  for (int y = pill_top; y < static_cast<int>(expected.pill.rect.bottom); ++y) {
    for (int x = content_left; x <= content_right; ++x) text_pixels += bright(x, y);
    for (int x = content_right + 2; x < first_bar - 1; ++x) gap_pixels += bright(x, y);
  }
  int bars_found = 0;
  for (const badge::RoundedRect& bar : expected.bars) {
    const int x = static_cast<int>((bar.rect.left + bar.rect.right) / 2);
    bars_found += bright(x, static_cast<int>(expected.centre_y));
  }

  const badge::Rect& pill = expected.pill.rect;
  char numbers[512];
  std::snprintf(numbers, sizeof numbers,
                ",\"badge\":true,\"left\":%d,\"top\":%d,\"right\":%d,\"bottom\":%d,"
                "\"pill\":[%.2f,%.2f,%.2f,%.2f],\"content\":%.2f,\"mark_width\":%.2f,"
                "\"text_pixels\":%d,\"gap_pixels\":%d,\"bars\":%d}",
                left, top, right, bottom, pill.left, pill.top, pill.right, pill.bottom, content,
                lengths.mark_width, text_pixels, gap_pixels, bars_found);
  return line + numbers;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string pictures = argv[1];
  // Lines end in a bare LF, as the other programs' lines that the test scripts read.
  _setmode(_fileno(stdout), _O_BINARY);
  check(CoInitializeEx(nullptr, COINIT_MULTITHREADED), "CoInitializeEx");
  check(MFStartup(MF_VERSION, MFSTARTUP_LITE), "MFStartup");

  ComRef<IMFActivate> activate;
  const GUID clsid = camera_clsid(SLOT);
  check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IMFActivate),
                         reinterpret_cast<void**>(activate.put())),
        "CoCreateInstance");
  ComRef<IMFMediaSource> source;
  check(activate->ActivateObject(__uuidof(IMFMediaSource), reinterpret_cast<void**>(source.put())),
        "ActivateObject");
  ComRef<IMFPresentationDescriptor> presentation;
  check(source->CreatePresentationDescriptor(presentation.put()), "CreatePresentationDescriptor");
  check(presentation->SelectStream(0), "SelectStream");
  PROPVARIANT position;
  PropVariantInit(&position);
  check(source->Start(presentation.get(), &GUID_NULL, &position), "Start");
  const ComRef<IMFMediaStream> stream =
      value_as<IMFMediaStream>(wait_for(source.get(), MENewStream).get());
  wait_for(source.get(), MESourceStarted);

  std::printf("{\"event\":\"ready\",\"backend\":\"%s\",\"proxy_loaded\":%s}\n",
              json_text(module_of(source.get())).c_str(),
              GetModuleHandleW(L"VantorelVirtualCamera.dll") ? "true" : "false");
  std::fflush(stdout);

  std::string line;
  while (std::getline(std::cin, line) && line.rfind("frame ", 0) == 0) {
    const std::string name = line.substr(6);
    check(stream->RequestSample(nullptr), "RequestSample");
    const ComRef<IMFSample> sample =
        value_as<IMFSample>(wait_for(stream.get(), MEMediaSample).get());
    ComRef<IMFMediaBuffer> buffer;
    check(sample->ConvertToContiguousBuffer(buffer.put()), "ConvertToContiguousBuffer");
    BYTE* bytes = nullptr;
    DWORD length = 0;
    check(buffer->Lock(&bytes, nullptr, &length), "Lock");
    if (length != math::NV12_FRAME_BYTES) fail("sample length", E_UNEXPECTED);
    const std::vector<std::uint8_t> picture = to_bgra(bytes);
    std::string described = describe(name, bytes);
    buffer->Unlock();

    const std::string path = pictures + "\\camera_e2e_" + name + ".png";
    if (auto written = test_png::write_png(path, picture, W, H, W * 4); !written) {
      fail("png " + written.error().text(), E_FAIL);
    }
    std::printf("%s\n", described.c_str());
    std::fflush(stdout);
  }
  check(activate->ShutdownObject(), "ShutdownObject");
  return 0;
}
