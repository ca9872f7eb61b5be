/*
 * The four memory routines the compiler may call on its own (for struct
 * copies, zero-initialised arrays and loops it recognises).  The DLLs and
 * the kernel driver link no C runtime, so they bring these themselves.
 *
 * Built with -ffreestanding -fno-tree-loop-distribute-patterns: otherwise
 * GCC recognises each loop below as the very function it sits in and turns
 * it into a call to itself.
 */
#include <stddef.h>

void *memset(void *dest, int value, size_t n)
{
    unsigned char *d = dest;
    while (n--)
        *d++ = (unsigned char)value;
    return dest;
}

void *memcpy(void *restrict dest, const void *restrict src, size_t n)
{
    unsigned char *d = dest;
    const unsigned char *s = src;
    while (n--)
        *d++ = *s++;
    return dest;
}

void *memmove(void *dest, const void *src, size_t n)
{
    unsigned char *d = dest;
    const unsigned char *s = src;
    if (d < s) {
        while (n--)
            *d++ = *s++;
        return dest;
    }
    d += n;
    s += n;
    while (n--)
        *--d = *--s;
    return dest;
}

int memcmp(const void *a, const void *b, size_t n)
{
    const unsigned char *x = a;
    const unsigned char *y = b;
    for (; n; n--, x++, y++) {
        if (*x != *y)
            return *x - *y;
    }
    return 0;
}
