#pragma once
// Test utility: the test program's main thread in COM's multithreaded apartment with Media
// Foundation started, as the media source's callers are. Register it once per test program:
//   testing::AddGlobalTestEnvironment(new test_mf::MediaFoundation);

#include <gtest/gtest.h>

#include <windows.h>

#include <mfapi.h>

namespace test_mf {

class MediaFoundation : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    ASSERT_TRUE(SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_LITE)));
  }
  void TearDown() override {
    MFShutdown();
    CoUninitialize();
  }
};

}  // namespace test_mf
