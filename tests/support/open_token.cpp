#include "open_token.h"

#include <gtest/gtest.h>

namespace vuxa_test {

OpenToken::OpenToken(uint8_t model, uint16_t memory_words)
{
    driver.add_device(DriverDevice::token(model, memory_words));
    EXPECT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST), PYXO_OK) << "opening the scripted token";
    driver.clear_requests();
}

OpenToken::~OpenToken()
{
    Pyxo_CloseDevice(&context);
}

} // namespace vuxa_test
