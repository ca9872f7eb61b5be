// The common start of the portable tests: fresh tokens at the first
// positions and a context opened on the first one.
#ifndef VUXA_E2E_TOKEN_TEST_H
#define VUXA_E2E_TOKEN_TEST_H

#include <gtest/gtest.h>

#include "pyxo.h"
#include "token_files.h"
#include "token_rack.h"

namespace e2e {

class TokenTest : public ::testing::Test {
protected:
    // Tokens token_options(0), token_options(1), ... at positions 0, 1, ...
    explicit TokenTest(int tokens = 1, uint8_t model = 0x50) : tokens_(tokens), model_(model) {}

    void SetUp() override
    {
        ASSERT_EQ(rack_.error(), 0u) << "the management client cannot reach the driver";
        for (int i = 0; i < tokens_; ++i)
            ASSERT_EQ(rack_.insert(uint32_t(i), token_options(uint8_t(i), model_)), 0u);
        ASSERT_EQ(Pyxo_OpenDevice(&context_, PYXO_OPEN_FIRST), PYXO_OK);
    }

    void TearDown() override { Pyxo_CloseDevice(&context_); }

    TokenRack rack_;
    PYXO_CONTEXT context_{};

private:
    int tokens_;
    uint8_t model_;
};

} // namespace e2e

#endif
