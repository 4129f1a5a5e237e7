// Stands in for a DLL that someone put beside the helper under the name of a system DLL: it
// ends whatever process loads it with its own exit code, so that a test sees the load.
#include <windows.h>

namespace {
constexpr UINT PLANTED_EXIT_CODE = 77;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) TerminateProcess(GetCurrentProcess(), PLANTED_EXIT_CODE);
  return TRUE;
}
