// The no-heap test: each row calls one library function through the
// scripted driver, on a context opened on one token, and the call must
// allocate nothing on the heap.
//
// To cover more functions, add a file tests/library/no_heap_<area>_test.cpp:
//
//     #include "no_heap.h"
//     namespace vuxa_test {
//     const HeapCase kFileCases[] = {
//         {"Pyxo_SelectFile",
//          [](ScriptedDriver &d) { d.script_command(DriverReply::bytes({0x10, 0, 0x22, 0})); },
//          [](PYXO_CONTEXT *c) { return Pyxo_SelectFile(c, 1, 2); }, PYXO_OK},
//     };
//     INSTANTIATE_TEST_SUITE_P(FileSystem, NoHeap, ::testing::ValuesIn(kFileCases),
//                              heap_case_name);
//     }
//
// Rows name the expected status so that a call that fails early (and so
// never reaches the code under test) shows.  prepare may be null.
#ifndef VUXA_TEST_NO_HEAP_H
#define VUXA_TEST_NO_HEAP_H

#include <gtest/gtest.h>

#include <string>

#include "pyxo.h"
#include "support/open_token.h"

namespace vuxa_test {

struct HeapCase {
    const char *name;
    void (*prepare)(ScriptedDriver &driver); // scripted replies, devices; may be null
    uint32_t (*call)(PYXO_CONTEXT *context);
    uint32_t expected;
};

class NoHeap : public ::testing::TestWithParam<HeapCase> {};

// Test names from the rows' names.
std::string heap_case_name(const ::testing::TestParamInfo<HeapCase> &info);

} // namespace vuxa_test

#endif
