#include <gtest/gtest.h>

#include <windows.h>

#include <mfapi.h>
#include <mferror.h>

#include <functional>
#include <thread>
#include <vector>

#include "activate_win.hpp"
#include "mf_test_support.hpp"

namespace {

using mf_test::query;
using shared::win::ComRef;

ComRef<IMFActivate> new_activate(unsigned slot = 0) {
  auto made = activate::Activate::create(slot);
  EXPECT_TRUE(made.has_value());
  return made ? *made : ComRef<IMFActivate>();
}

ComRef<IMFMediaSource> activated(IMFActivate* activate) {
  ComRef<IMFMediaSource> source;
  EXPECT_EQ(activate->ActivateObject(__uuidof(IMFMediaSource),
                                     reinterpret_cast<void**>(source.put())),
            S_OK);
  return source;
}

// Whether the source's event queue was shut down; it is the only trace its Shutdown leaves.
bool shut_down(IMFMediaSource* source) {
  ComRef<IMFMediaEvent> event;
  return source->GetEvent(MF_EVENT_FLAG_NO_WAIT, event.put()) == MF_E_SHUTDOWN;
}

const GUID KEY = {0x6d1a9c3e, 0x42b7, 0x4f0a, {0x9e, 0x11, 0x27, 0x5c, 0x83, 0x04, 0xab, 0x6f}};

TEST(ActivateIdentity, AttributesAndActivateAreOneInterface) {
  const ComRef<IMFActivate> activate = new_activate();
  ASSERT_TRUE(activate);
  const ComRef<IMFAttributes> attributes = query<IMFAttributes>(activate.get());
  ASSERT_TRUE(attributes);
  EXPECT_EQ(static_cast<void*>(attributes.get()), static_cast<void*>(activate.get()));

  const ComRef<IUnknown> identity = query<IUnknown>(activate.get());
  ASSERT_TRUE(identity);
  for (const IID& iid : {__uuidof(IInspectable), __uuidof(IAgileObject),
                         __uuidof(IWeakReferenceSource), __uuidof(IMarshal)}) {
    ComRef<IUnknown> found;
    ASSERT_EQ(activate->QueryInterface(iid, reinterpret_cast<void**>(found.put())), S_OK);
    EXPECT_EQ(query<IUnknown>(found.get()).get(), identity.get());
  }
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(activate->QueryInterface(__uuidof(IMFMediaSource), &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  out = reinterpret_cast<void*>(1);
  EXPECT_EQ(mf_test::query_null_iid(activate.get(), &out), E_POINTER);
  EXPECT_EQ(out, reinterpret_cast<void*>(1));
  EXPECT_EQ(activate->QueryInterface(__uuidof(IMFAttributes), nullptr), E_POINTER);

  const ComRef<IInspectable> inspectable = query<IInspectable>(activate.get());
  ASSERT_TRUE(inspectable);
  ULONG count = 9;
  IID* iids = reinterpret_cast<IID*>(1);
  EXPECT_EQ(inspectable->GetIids(&count, &iids), S_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(iids, nullptr);
  HSTRING name = reinterpret_cast<HSTRING>(1);
  EXPECT_EQ(inspectable->GetRuntimeClassName(&name), S_OK);
  EXPECT_EQ(name, nullptr) << "the empty string";
  TrustLevel level = FullTrust;
  EXPECT_EQ(inspectable->GetTrustLevel(&level), S_OK);
  EXPECT_EQ(level, BaseTrust);
  EXPECT_EQ(inspectable->GetIids(nullptr, &iids), E_POINTER);
  EXPECT_EQ(inspectable->GetRuntimeClassName(nullptr), E_POINTER);
  EXPECT_EQ(inspectable->GetTrustLevel(nullptr), E_POINTER);
}

TEST(ActivateAttributes, ForwardedToTheInnerStore) {
  const ComRef<IMFActivate> activate = new_activate();
  ASSERT_TRUE(activate);
  const ComRef<IMFAttributes> attributes = query<IMFAttributes>(activate.get());
  ASSERT_TRUE(attributes);
  UINT32 count = 9;
  ASSERT_EQ(activate->GetCount(&count), S_OK);
  EXPECT_EQ(count, 0u) << "nothing put into the store";

  ASSERT_EQ(attributes->SetUINT32(KEY, 42), S_OK);
  UINT32 value = 0;
  EXPECT_EQ(activate->GetUINT32(KEY, &value), S_OK);
  EXPECT_EQ(value, 42u);
  MF_ATTRIBUTE_TYPE type = MF_ATTRIBUTE_BLOB;
  EXPECT_EQ(activate->GetItemType(KEY, &type), S_OK);
  EXPECT_EQ(type, MF_ATTRIBUTE_UINT32);

  ASSERT_EQ(activate->SetString(KEY, L"camera"), S_OK);
  UINT32 length = 0;
  EXPECT_EQ(activate->GetStringLength(KEY, &length), S_OK);
  EXPECT_EQ(length, 6u);
  wchar_t text[16] = {};
  EXPECT_EQ(activate->GetString(KEY, text, 16, &length), S_OK);
  EXPECT_STREQ(text, L"camera");

  ComRef<IMFAttributes> copy;
  ASSERT_EQ(MFCreateAttributes(copy.put(), 1), S_OK);
  ASSERT_EQ(activate->CopyAllItems(copy.get()), S_OK);
  BOOL same = FALSE;
  EXPECT_EQ(activate->Compare(copy.get(), MF_ATTRIBUTES_MATCH_ALL_ITEMS, &same), S_OK);
  EXPECT_TRUE(same);
  ASSERT_EQ(activate->DeleteAllItems(), S_OK);
  EXPECT_EQ(attributes->GetCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
}

TEST(ActivateAttributes, FailedGetsLeaveTheCallersVariable) {
  const ComRef<IMFActivate> activate = new_activate();
  ASSERT_TRUE(activate);
  struct Case {
    const char* name;
    std::function<HRESULT()> call;
    std::function<bool()> untouched;
  };
  UINT32 u32 = 7;
  UINT64 u64 = 7;
  double f64 = 7;
  GUID guid = KEY;
  MF_ATTRIBUTE_TYPE type = MF_ATTRIBUTE_BLOB;
  const Case cases[] = {
      {"GetUINT32", [&] { return activate->GetUINT32(KEY, &u32); }, [&] { return u32 == 7; }},
      {"GetUINT64", [&] { return activate->GetUINT64(KEY, &u64); }, [&] { return u64 == 7; }},
      {"GetDouble", [&] { return activate->GetDouble(KEY, &f64); }, [&] { return f64 == 7; }},
      {"GetGUID", [&] { return activate->GetGUID(KEY, &guid); }, [&] { return guid == KEY; }},
      {"GetItemType", [&] { return activate->GetItemType(KEY, &type); },
       [&] { return type == MF_ATTRIBUTE_BLOB; }},
      {"GetStringLength", [&] { return activate->GetStringLength(KEY, &u32); },
       [&] { return u32 == 7; }},
      {"GetBlobSize", [&] { return activate->GetBlobSize(KEY, &u32); }, [&] { return u32 == 7; }},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.call(), MF_E_ATTRIBUTENOTFOUND) << c.name;
    EXPECT_TRUE(c.untouched()) << c.name;
  }
  // A value of another type than asked for: the store's failure, still nothing written.
  ASSERT_EQ(activate->SetDouble(KEY, 1.5), S_OK);
  EXPECT_EQ(activate->GetUINT32(KEY, &u32), MF_E_INVALIDTYPE);
  EXPECT_EQ(u32, 7u);

  EXPECT_EQ(activate->GetUINT32(KEY, nullptr), E_POINTER);
  EXPECT_EQ(activate->GetCount(nullptr), E_POINTER);
}

TEST(ActivateObject, OneSourceUntilDetachedOrShutDown) {
  const ComRef<IMFActivate> activate = new_activate();
  ASSERT_TRUE(activate);
  EXPECT_EQ(activate->DetachObject(), S_OK) << "never activated";
  EXPECT_EQ(activate->ShutdownObject(), S_OK) << "never activated";

  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(activate->ActivateObject(__uuidof(IMFActivate), &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  const ComRef<IMFMediaSource> first = activated(activate.get());
  ASSERT_TRUE(first);
  EXPECT_EQ(activated(activate.get()).get(), first.get());
  ComRef<IMFMediaSourceEx> ex;
  EXPECT_EQ(activate->ActivateObject(__uuidof(IMFMediaSourceEx),
                                     reinterpret_cast<void**>(ex.put())),
            S_OK);
  EXPECT_EQ(query<IUnknown>(ex.get()).get(), query<IUnknown>(first.get()).get());
  EXPECT_EQ(activate->ActivateObject(__uuidof(IMFMediaSource), nullptr), E_POINTER);

  ASSERT_EQ(activate->DetachObject(), S_OK);
  const ComRef<IMFMediaSource> second = activated(activate.get());
  ASSERT_TRUE(second);
  EXPECT_NE(second.get(), first.get());
  EXPECT_FALSE(shut_down(first.get())) << "a detached source keeps running";
  ComRef<IMFPresentationDescriptor> presentation;
  EXPECT_EQ(first->CreatePresentationDescriptor(presentation.put()), S_OK);

  ASSERT_EQ(activate->ShutdownObject(), S_OK);
  EXPECT_TRUE(shut_down(second.get()));
  EXPECT_FALSE(shut_down(first.get()));
  const ComRef<IMFMediaSource> third = activated(activate.get());
  ASSERT_TRUE(third);
  EXPECT_NE(third.get(), second.get());
  EXPECT_FALSE(shut_down(third.get()));

  first->Shutdown();
  activate->ShutdownObject();
}

TEST(ActivateObject, EveryActivationObjectHasItsOwnSource) {
  const ComRef<IMFActivate> one = new_activate(2);
  ASSERT_TRUE(one);
  const ComRef<IMFActivate> two = new_activate(2);
  ASSERT_TRUE(two);
  const ComRef<IMFMediaSource> a = activated(one.get());
  ASSERT_TRUE(a);
  const ComRef<IMFMediaSource> b = activated(two.get());
  ASSERT_TRUE(b);
  ASSERT_TRUE(a && b);
  EXPECT_NE(a.get(), b.get());
  ASSERT_EQ(one->ShutdownObject(), S_OK);
  EXPECT_TRUE(shut_down(a.get()));
  EXPECT_FALSE(shut_down(b.get()));
  two->ShutdownObject();
}

TEST(ActivateObject, ReleasingTheActivationObjectLeavesTheSourceRunning) {
  ComRef<IMFActivate> activate = new_activate();
  ASSERT_TRUE(activate);
  const ComRef<IMFMediaSource> source = activated(activate.get());
  ASSERT_TRUE(source);
  activate.reset();
  EXPECT_FALSE(shut_down(source.get()));
  source->Shutdown();
}

TEST(ActivateObject, ConcurrentFirstActivationsMakeOneSource) {
  for (int round = 0; round < 20; ++round) {
    const ComRef<IMFActivate> activate = new_activate();
    ASSERT_TRUE(activate);
    constexpr int THREADS = 8;
    std::vector<ComRef<IUnknown>> got(THREADS);
    std::vector<std::thread> threads;
    for (int i = 0; i < THREADS; ++i) {
      threads.emplace_back([&, i] {
        activate->ActivateObject(__uuidof(IUnknown), reinterpret_cast<void**>(got[i].put()));
      });
    }
    for (std::thread& thread : threads) thread.join();
    for (const ComRef<IUnknown>& source : got) {
      ASSERT_TRUE(source);
      EXPECT_EQ(source.get(), got[0].get()) << "round " << round;
    }
    activate->ShutdownObject();
  }
}

}  // namespace
