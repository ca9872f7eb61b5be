// The four kernel services the library uses, with the Win32 names,
// signatures and error codes.  On Windows they are KERNEL32's own; on
// other systems src/platform/posix provides a stand-in that reaches the
// driver over a Unix socket.  No other part of the library knows which.
#ifndef VUXA_PLATFORM_PLATFORM_H
#define VUXA_PLATFORM_PLATFORM_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define PYXO_WINAPI __stdcall
#else
#define PYXO_WINAPI
#endif

#if defined(_WIN32)
#define PYXO_SYSCALL_API __declspec(dllimport)
#else
// The stand-in lives inside the library and must never be exported from it.
#define PYXO_SYSCALL_API __attribute__((visibility("hidden")))
#endif

typedef void *HANDLE;
typedef int BOOL;
typedef uint32_t DWORD;

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

enum : DWORD {
    GENERIC_READ = 0x80000000u,
    GENERIC_WRITE = 0x40000000u,
    FILE_SHARE_READ = 0x00000001u,
    FILE_SHARE_WRITE = 0x00000002u,
    OPEN_EXISTING = 3,
};

// The system errors the library and the stand-in single out.
enum : DWORD {
    ERROR_SUCCESS = 0,
    ERROR_FILE_NOT_FOUND = 2,
    ERROR_ACCESS_DENIED = 5,
    ERROR_INVALID_HANDLE = 6,
    ERROR_GEN_FAILURE = 31,
    ERROR_INVALID_PARAMETER = 87,
};

extern "C" {
PYXO_SYSCALL_API HANDLE PYXO_WINAPI CreateFileA(const char *file_name, DWORD desired_access,
                                                DWORD share_mode, void *security_attributes,
                                                DWORD creation_disposition,
                                                DWORD flags_and_attributes, HANDLE template_file);
PYXO_SYSCALL_API BOOL PYXO_WINAPI DeviceIoControl(HANDLE device, DWORD control_code,
                                                  void *in_buffer, DWORD in_size,
                                                  void *out_buffer, DWORD out_size,
                                                  DWORD *bytes_returned, void *overlapped);
PYXO_SYSCALL_API BOOL PYXO_WINAPI CloseHandle(HANDLE object);
PYXO_SYSCALL_API DWORD PYXO_WINAPI GetLastError(void);
}

#endif
