// The painting and searching behind traces_after.
#include "stack_scan.h"

#include <cstring>

namespace vuxa_test {
namespace {

constexpr size_t kRegionSize = 128 * 1024; // far more than any call scanned uses
constexpr uint8_t kPaint = 0xC3;

bool window_at(volatile uint8_t *at, const Secret &secret)
{
    for (size_t s = 0; s + kStackScanWindow <= secret.size; ++s) {
        size_t k = 0;
        while (k < kStackScanWindow && at[k] == secret.bytes[s + k])
            ++k;
        if (k == kStackScanWindow)
            return true;
    }
    return false;
}

} // namespace

// The compiler may adjust the stack pointer around a call by a few bytes,
// hence the overlap of both regions.  Reading the region before writing it
// is the point of the scan.
__attribute__((noinline)) size_t stack_region(const Secret *secret, uintptr_t *painted)
{
    volatile uint8_t region[kRegionSize];
    const uintptr_t here = reinterpret_cast<uintptr_t>(&region[0]);
    if (secret == nullptr) {
        for (size_t i = 0; i < kRegionSize; ++i)
            region[i] = kPaint;
        *painted = here;
        return 0;
    }
    const uintptr_t low = here > *painted ? here : *painted;
    const uintptr_t high = (here < *painted ? here : *painted) + kRegionSize;
    size_t hits = 0;
    for (uintptr_t at = low; at + kStackScanWindow <= high; ++at)
        if (window_at(region + (at - here), *secret))
            ++hits;
    return hits;
}

__attribute__((noinline)) void leave_a_copy(const uint8_t *bytes, size_t size)
{
    uint8_t copy[64];
    std::memcpy(copy, bytes, size < sizeof copy ? size : sizeof copy);
    asm volatile("" : : "r"(copy) : "memory"); // keep the stores
}

} // namespace vuxa_test
