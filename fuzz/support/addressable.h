// Whether memory the library hands to the kernel really is the caller's:
// with AddressSanitizer, a buffer whose claimed size reaches into a red
// zone is caught at the call, before anything is written into it.
#ifndef VUXA_FUZZ_ADDRESSABLE_H
#define VUXA_FUZZ_ADDRESSABLE_H

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define VUXA_FUZZ_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VUXA_FUZZ_ASAN 1
#endif
#endif

#ifdef VUXA_FUZZ_ASAN
#include <sanitizer/asan_interface.h>
#endif

inline bool addressable(const void *memory, size_t size)
{
#ifdef VUXA_FUZZ_ASAN
    return size == 0 || __asan_region_is_poisoned(const_cast<void *>(memory), size) == nullptr;
#else
    (void)memory;
    (void)size;
    return true;
#endif
}

#endif
