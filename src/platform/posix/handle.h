// Stand-in handles: a connected socket's descriptor, encoded the way
// Win32 handles look (a nonzero multiple of four), so that a handle never
// equals NULL or INVALID_HANDLE_VALUE and most stray values decode to no
// descriptor at all.
#ifndef VUXA_PLATFORM_POSIX_HANDLE_H
#define VUXA_PLATFORM_POSIX_HANDLE_H

#include <limits.h>
#include <stdint.h>

#include "platform/platform.h"

inline HANDLE pyxo_handle_from_fd(int fd)
{
    return (HANDLE)(((uintptr_t)fd + 1) << 2);
}

// The descriptor behind a handle, or -1 when the value cannot be one.
inline int pyxo_fd_from_handle(HANDLE handle)
{
    const uintptr_t value = (uintptr_t)handle;
    if (value == 0 || (value & 3) != 0)
        return -1;
    const uintptr_t fd = (value >> 2) - 1;
    return fd <= (uintptr_t)INT_MAX ? (int)fd : -1;
}

#endif
