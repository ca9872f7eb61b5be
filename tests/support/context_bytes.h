// Comparing PYXO_CONTEXT records byte for byte, all 424 bytes, with the
// differences named by field.
#ifndef VUXA_TEST_CONTEXT_BYTES_H
#define VUXA_TEST_CONTEXT_BYTES_H

#include <gtest/gtest.h>

#include "pyxo.h"

namespace vuxa_test {

// The record as the library leaves it right after initialising it: all
// zero but the signature, context version 2, handle INVALID_HANDLE_VALUE,
// no file selected.
PYXO_CONTEXT initialised_context();

// Every byte of actual equals that of expected; otherwise the message lists
// each differing byte with its offset and field.
::testing::AssertionResult same_record(const PYXO_CONTEXT &expected, const PYXO_CONTEXT &actual);

} // namespace vuxa_test

#endif
