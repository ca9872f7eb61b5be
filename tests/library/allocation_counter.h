// Counts heap allocations made by the calling thread between start and
// stop: malloc, calloc, realloc and, through them, operator new.  Other
// threads (the scripted driver's) are not counted.
#ifndef VUXA_TEST_ALLOCATION_COUNTER_H
#define VUXA_TEST_ALLOCATION_COUNTER_H

#include <cstddef>

namespace vuxa_test {

void start_counting_allocations();
size_t stop_counting_allocations(); // allocations since the start

} // namespace vuxa_test

#endif
