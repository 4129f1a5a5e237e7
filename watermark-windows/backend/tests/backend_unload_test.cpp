// A process of its own: the built VantorelVirtualCameraBackend.dll is loaded as the camera proxy
// loads it, a stream of it runs (so its capture thread runs the library's code), and the library
// is freed. The process must live on: the library stays loaded while its threads run.
#include <gtest/gtest.h>

#include <windows.h>

#include <mfapi.h>
#include <mferror.h>

#include <chrono>
#include <thread>

#include "media_foundation_win.hpp"
#include "mf_test_support.hpp"

namespace {

using namespace std::chrono_literals;
using mf_test::query;
using shared::win::ComRef;

using GetClassObject = HRESULT(STDAPICALLTYPE*)(const GUID*, const GUID*, void**);

const auto* const media_foundation =
    ::testing::AddGlobalTestEnvironment(new test_mf::MediaFoundation);

TEST(BackendUnload, FreeingTheLibraryWhileACaptureRunsLeavesTheProcessAlive) {
  HMODULE module = LoadLibraryW(L"VantorelVirtualCameraBackend.dll");
  ASSERT_NE(module, nullptr) << GetLastError();
  const auto get_class_object = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  ASSERT_NE(get_class_object, nullptr);

  // Everything below is left unreleased on purpose: once the library is freed, none of its
  // code may be called, its objects' Release among it.
  const GUID clsid = mf_test::camera_clsid(0);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(get_class_object(&clsid, &__uuidof(IClassFactory), reinterpret_cast<void**>(&factory)),
            S_OK);
  IMFActivate* activate = nullptr;
  ASSERT_EQ(
      factory->CreateInstance(nullptr, __uuidof(IMFActivate), reinterpret_cast<void**>(&activate)),
      S_OK);
  IMFMediaSource* source = nullptr;
  ASSERT_EQ(activate->ActivateObject(__uuidof(IMFMediaSource), reinterpret_cast<void**>(&source)),
            S_OK);
  ComRef<IMFPresentationDescriptor> presentation;
  ASSERT_EQ(source->CreatePresentationDescriptor(presentation.put()), S_OK);
  ASSERT_EQ(presentation->SelectStream(0), S_OK);
  PROPVARIANT position;
  PropVariantInit(&position);
  ASSERT_EQ(source->Start(presentation.get(), &GUID_NULL, &position), S_OK);
  IMFMediaStream* stream = nullptr;
  for (const auto& event : mf_test::drain(source)) {
    MediaEventType type = MEUnknown;
    event->GetType(&type);
    if (type != MENewStream) continue;
    const ComRef<IUnknown> object = mf_test::event_object(event.get());
    if (object) object->QueryInterface(__uuidof(IMFMediaStream), reinterpret_cast<void**>(&stream));
  }
  ASSERT_NE(stream, nullptr);
  // The first frame request makes the compositor, which starts the capture thread.
  ASSERT_EQ(stream->RequestSample(nullptr), S_OK);
  std::this_thread::sleep_for(300ms);

  presentation.reset();
  ASSERT_TRUE(FreeLibrary(module));
  // The capture thread goes on polling its stop flag in the library's code; a library that was
  // unmapped would end the process here.
  std::this_thread::sleep_for(1s);
  SUCCEED() << "the process lives on";
}

}  // namespace
