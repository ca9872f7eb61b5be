// Scanning the stack memory a call used for copies of a secret: the stack
// below the caller is painted, the call runs, and the same memory is then
// searched for any four consecutive bytes of the secret.
//
// Only meaningful in an optimised build without AddressSanitizer (which
// moves locals to a heap-backed fake stack and guards stack memory).  The
// program is bound at load (see CMakeLists.txt), as the shared library is.
#ifndef VUXA_TEST_STACK_SCAN_H
#define VUXA_TEST_STACK_SCAN_H

#include <cstddef>
#include <cstdint>

namespace vuxa_test {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kStackScanUnreliable = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kStackScanUnreliable = true;
#else
constexpr bool kStackScanUnreliable = false;
#endif
#else
constexpr bool kStackScanUnreliable = false;
#endif

constexpr size_t kStackScanWindow = 4; // a copy of half a key is a leak too

struct Secret {
    const uint8_t *bytes;
    size_t size;
};

// Paints the region below the caller (secret null), or counts the places
// in the painted memory where a window of the secret occurs.  Called twice
// from one frame of the caller the region lies at nearly the same place
// both times; only memory inside both the painted and the scanned region
// is searched.
size_t stack_region(const Secret *secret, uintptr_t *painted);

// What a careless implementation does: a stack copy of the bytes that
// nobody clears (size at most 64).  A scan must find it, or it proves
// nothing.
void leave_a_copy(const uint8_t *bytes, size_t size);

// Runs one call between painting and scanning the stack below this frame;
// returns the number of places a window of the secret was found.
template <typename Call>
__attribute__((noinline)) size_t traces_after(const Secret &secret, Call call)
{
    uintptr_t painted = 0;
    stack_region(nullptr, &painted);
    call();
    uintptr_t scanned = painted;
    return stack_region(&secret, &scanned);
}

} // namespace vuxa_test

#endif
