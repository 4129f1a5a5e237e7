// The built VantorelVirtualCameraBackend.dll, loaded as COM loads it and called through its two
// exports only.
#include <gtest/gtest.h>

#include <windows.h>

#include <mfapi.h>
#include <mferror.h>

#include "mf_test_support.hpp"

namespace {

using mf_test::camera_clsid;
using mf_test::query;
using shared::win::ComRef;

// The export as a C caller sees it: the two identifiers are pointers and may be null.
using GetClassObject = HRESULT(STDAPICALLTYPE*)(const GUID*, const GUID*, void**);
using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();

class Backend : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = LoadLibraryW(L"VantorelVirtualCameraBackend.dll");
    ASSERT_NE(module_, nullptr) << GetLastError();
    get_class_object_ = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    can_unload_now_ = reinterpret_cast<CanUnloadNow>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
    ASSERT_NE(get_class_object_, nullptr);
    ASSERT_NE(can_unload_now_, nullptr);
  }

  static ComRef<IClassFactory> factory(unsigned slot) {
    const GUID clsid = camera_clsid(slot);
    ComRef<IClassFactory> factory;
    EXPECT_EQ(get_class_object_(&clsid, &__uuidof(IClassFactory),
                                reinterpret_cast<void**>(factory.put())),
              S_OK);
    return factory;
  }

  static ComRef<IMFActivate> activation(IClassFactory* factory) {
    ComRef<IMFActivate> activate;
    EXPECT_EQ(factory->CreateInstance(nullptr, __uuidof(IMFActivate),
                                      reinterpret_cast<void**>(activate.put())),
              S_OK);
    return activate;
  }

  static inline HMODULE module_ = nullptr;
  static inline GetClassObject get_class_object_ = nullptr;
  static inline CanUnloadNow can_unload_now_ = nullptr;
};

TEST_F(Backend, EachCameraSlotGivesAFactoryWhoseObjectsYieldASource) {
  for (unsigned slot = 0; slot < 4; ++slot) {
    SCOPED_TRACE(slot);
    const ComRef<IClassFactory> made = factory(slot);
    ASSERT_TRUE(made);
    const ComRef<IMFActivate> activate = activation(made.get());
    ASSERT_TRUE(activate);
    ComRef<IMFMediaSourceEx> source;
    ASSERT_EQ(activate->ActivateObject(__uuidof(IMFMediaSourceEx),
                                       reinterpret_cast<void**>(source.put())),
              S_OK);
    ComRef<IMFPresentationDescriptor> presentation;
    EXPECT_EQ(source->CreatePresentationDescriptor(presentation.put()), S_OK);
    EXPECT_EQ(activate->ShutdownObject(), S_OK);
  }
}

TEST_F(Backend, ClassObjectRefusals) {
  const GUID slot0 = camera_clsid(0);
  GUID fifth = camera_clsid(3);
  fifth.Data4[7] = 0x94;
  GUID other_data1 = slot0;
  other_data1.Data1 ^= 1;
  struct Case {
    const char* name;
    const GUID* clsid;
    const GUID* iid;
    HRESULT result;
  };
  const Case cases[] = {
      {"{...0B94}", &fifth, &__uuidof(IClassFactory), CLASS_E_CLASSNOTAVAILABLE},
      {"other first field", &other_data1, &__uuidof(IClassFactory), CLASS_E_CLASSNOTAVAILABLE},
      {"IMFActivate of the class object", &slot0, &__uuidof(IMFActivate), E_NOINTERFACE},
  };
  for (const Case& c : cases) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(get_class_object_(c.clsid, c.iid, &out), c.result) << c.name;
    EXPECT_EQ(out, nullptr) << c.name;
  }

  const Case null_cases[] = {
      {"null class", nullptr, &__uuidof(IClassFactory), E_POINTER},
      {"null interface", &slot0, nullptr, E_POINTER},
  };
  for (const Case& c : null_cases) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(get_class_object_(c.clsid, c.iid, &out), c.result) << c.name;
    EXPECT_EQ(out, reinterpret_cast<void*>(1)) << c.name << ": nothing written";
  }
  EXPECT_EQ(get_class_object_(&slot0, &__uuidof(IClassFactory), nullptr), E_POINTER);
}

TEST_F(Backend, ClassObjectIdentity) {
  const GUID clsid = camera_clsid(1);
  ComRef<IUnknown> unknown;
  ASSERT_EQ(get_class_object_(&clsid, &__uuidof(IUnknown), reinterpret_cast<void**>(unknown.put())),
            S_OK);
  const ComRef<IClassFactory> factory = query<IClassFactory>(unknown.get());
  ASSERT_TRUE(factory);
  EXPECT_EQ(query<IUnknown>(factory.get()).get(), unknown.get());
  EXPECT_TRUE(query<IMarshal>(factory.get()));
  EXPECT_TRUE(query<IAgileObject>(factory.get()));
}

TEST_F(Backend, CreateInstanceEdgeCases) {
  const ComRef<IClassFactory> made = factory(3);
  ASSERT_TRUE(made);
  const ComRef<IUnknown> outer = query<IUnknown>(made.get());
  ASSERT_TRUE(outer);
  EXPECT_EQ(made->CreateInstance(outer.get(), __uuidof(IUnknown), nullptr),
            CLASS_E_NOAGGREGATION)
      << "aggregation is refused first, even without a result pointer";
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(made->CreateInstance(outer.get(), __uuidof(IMFActivate), &out),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, reinterpret_cast<void*>(1));

  EXPECT_EQ(made->CreateInstance(nullptr, __uuidof(IMFActivate), nullptr), E_POINTER);
  using Create = HRESULT(STDMETHODCALLTYPE*)(IClassFactory*, IUnknown*, const IID*, void**);
  const Create create = (*reinterpret_cast<Create* const*>(made.get()))[3];
  EXPECT_EQ(create(made.get(), nullptr, nullptr, &out), E_POINTER);
  EXPECT_EQ(out, reinterpret_cast<void*>(1));
  EXPECT_EQ(made->CreateInstance(nullptr, __uuidof(IMFMediaSource), &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);

  const ComRef<IMFActivate> one = activation(made.get());
  const ComRef<IMFActivate> two = activation(made.get());
  ASSERT_TRUE(one && two);
  EXPECT_NE(one.get(), two.get());
  ComRef<IMFMediaSource> a, b;
  ASSERT_EQ(one->ActivateObject(__uuidof(IMFMediaSource), reinterpret_cast<void**>(a.put())), S_OK);
  ASSERT_EQ(two->ActivateObject(__uuidof(IMFMediaSource), reinterpret_cast<void**>(b.put())), S_OK);
  EXPECT_NE(a.get(), b.get());
  one->ShutdownObject();
  two->ShutdownObject();
}

TEST_F(Backend, NeverAgreesToUnload) {
  EXPECT_EQ(can_unload_now_(), S_FALSE);
  const ComRef<IClassFactory> made = factory(0);
  EXPECT_EQ(made->LockServer(TRUE), S_OK);
  EXPECT_EQ(can_unload_now_(), S_FALSE);
  EXPECT_EQ(made->LockServer(FALSE), S_OK);
  EXPECT_EQ(made->LockServer(FALSE), S_OK);
  EXPECT_EQ(can_unload_now_(), S_FALSE);
}

}  // namespace
