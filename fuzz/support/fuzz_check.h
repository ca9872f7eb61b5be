// Invariant checks of the fuzz targets.  A failed check aborts, which
// libFuzzer reports as a crash and saves the input, and which fails the
// regression test that replays the corpus.
#ifndef VUXA_FUZZ_FUZZ_CHECK_H
#define VUXA_FUZZ_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, what)                                                          \
    do {                                                                                     \
        if (!(condition)) {                                                                  \
            std::fprintf(stderr, "%s:%d: invariant broken: %s (%s)\n", __FILE__, __LINE__,   \
                         what, #condition);                                                  \
            std::abort();                                                                    \
        }                                                                                    \
    } while (0)

#endif
