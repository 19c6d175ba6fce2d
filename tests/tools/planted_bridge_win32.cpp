// A stand-in for the bridge vendor's library, planted by the tests where a
// load by bare file name would find it. It reports devices so a load that
// reached it would also show in the count.
#include <windows.h>

extern "C" __declspec(dllexport) DWORD WINAPI FT_ListDevices(void* count, void*, DWORD) {
    if (count) *static_cast<DWORD*>(count) = 7;
    return 0;
}
