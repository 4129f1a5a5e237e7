#pragma once
// The platform DLLs that the helper loads at their first call (mf, mfplat, crypt32, wintrust)
// may be missing: the N editions of Windows ship without Media Foundation. Without a hook the
// loader raises exception 0xC06D007E at that first call and the service dies where it is meant
// to run on. The hook turns the missing DLL into the failure of each call that needed it.

#include <windows.h>

#include <delayimp.h>

namespace delayload {

// The loader's failure hook, installed as __pfnDliFailureHook2. A DLL of the list that fails to
// load gives this program's own module, so that every lookup in it fails next; that lookup gives
// a stand-in that reports the load error as the function reports failure (an HRESULT, or FALSE
// or null with the thread's last error). Any other failure gives null: the loader raises.
FARPROC WINAPI on_failure(unsigned notification, PDelayLoadInfo info);

}  // namespace delayload
