/*
 * Entry point of vuxamt.dll, the build for the multi-threaded runtime.
 *
 * It does nothing and keeps the default, so the loader goes on calling it
 * for every thread that starts or ends in the process, as it does for any
 * library whose runtime keeps data per thread.  The library itself keeps
 * none and needs no set-up or tear-down.
 */
#include <windows.h>

BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
