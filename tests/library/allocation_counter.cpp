// Under AddressSanitizer the sanitizer owns malloc and reports each
// allocation to a hook; otherwise this program's own malloc family stands
// in front of the C library's.
#include "allocation_counter.h"

#include <cstdlib>

namespace vuxa_test {
namespace {

thread_local bool counting = false;
thread_local size_t allocations = 0;

void count_allocation()
{
    if (counting)
        ++allocations;
}

} // namespace

void start_counting_allocations()
{
    allocations = 0;
    counting = true;
}

size_t stop_counting_allocations()
{
    counting = false;
    return allocations;
}

} // namespace vuxa_test

#if defined(__SANITIZE_ADDRESS__)
#define VUXA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VUXA_ASAN 1
#endif
#endif

#if defined(VUXA_ASAN)
// From the sanitizers' allocator interface (its header does not come with
// every compiler).
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*malloc_hook)(const volatile void *, size_t), void (*free_hook)(const volatile void *));

namespace {

void on_malloc(const volatile void *, size_t)
{
    vuxa_test::count_allocation();
}

void on_free(const volatile void *) {}

struct InstallHooks {
    InstallHooks() { __sanitizer_install_malloc_and_free_hooks(on_malloc, on_free); }
} install_hooks;

} // namespace

#else

extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
void __libc_free(void *);

void *malloc(size_t size)
{
    vuxa_test::count_allocation();
    return __libc_malloc(size);
}

void *calloc(size_t count, size_t size)
{
    vuxa_test::count_allocation();
    return __libc_calloc(count, size);
}

void *realloc(void *block, size_t size)
{
    vuxa_test::count_allocation();
    return __libc_realloc(block, size);
}

void free(void *block)
{
    __libc_free(block);
}
}

#endif
