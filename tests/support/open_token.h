// The common starting point of tests past the open: a scripted driver with
// one token, a context opened on it, and the requests of the open cleared.
#ifndef VUXA_TEST_OPEN_TOKEN_H
#define VUXA_TEST_OPEN_TOKEN_H

#include "pyxo.h"
#include "scripted_driver.h"

namespace vuxa_test {

constexpr uint8_t kWideModel = 0x50;   // 32-bit identifiers (id_size 8)
constexpr uint8_t kNarrowModel = 0x4F; // 16-bit identifiers (id_size 4)

struct OpenToken {
    explicit OpenToken(uint8_t model = kWideModel, uint16_t memory_words = 0x1000);
    ~OpenToken();

    ScriptedDriver driver;
    PYXO_CONTEXT context{};
};

// A record that never went through Pyxo_OpenDevice (all zero).
inline PYXO_CONTEXT unopened_context()
{
    return PYXO_CONTEXT{};
}

} // namespace vuxa_test

#endif
