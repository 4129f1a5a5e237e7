// A DLL with nothing in it but its entry point: the installer and signature tests sign copies
// of it under the two camera DLL names.
#include <windows.h>

#ifndef VT_TEST_DLL_VARIANT
#define VT_TEST_DLL_VARIANT 1
#endif

extern "C" __declspec(dllexport) int vt_test_dll_variant() {
  return VT_TEST_DLL_VARIANT;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}
