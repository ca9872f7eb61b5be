/*
 * Entry point of vuxast.dll, the build for the single-threaded runtime.
 *
 * A single-threaded runtime keeps no data per thread, so the library asks
 * the loader, once on process attach, to stop calling it for every thread
 * that starts or ends.  Nothing else happens at load or unload.
 */
#include <windows.h>

BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(instance);
    return TRUE;
}
