// The one way the library clears memory that held a secret or a request.
// A plain memset of a buffer that is dead afterwards may be removed by the
// compiler; the stores here go through a volatile pointer, which it must
// keep.
#ifndef VUXA_UTIL_WIPE_H
#define VUXA_UTIL_WIPE_H

#include <stddef.h>

inline void pyxo_wipe(void *buffer, size_t size)
{
    volatile unsigned char *p = (volatile unsigned char *)buffer;
    while (size--)
        *p++ = 0;
}

#endif
