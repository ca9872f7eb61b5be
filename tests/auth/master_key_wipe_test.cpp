// The request of a master key change holds only zeros once the call is
// over, whatever became of the command.
#include <gtest/gtest.h>

#include <cstring>

#include "auth/master_key.h"
#include "calls.h"
#include "support/hex.h"
#include "support/open_token.h"

using namespace vuxa_test;

namespace {

constexpr uint32_t kErrorInvalidHandle = 6;

struct WipeCase {
    const char *name;
    DriverReply reply;
    uint32_t status;
};

TEST(ModifyMasterKey, RequestIsWipedOnEveryPath)
{
    const WipeCase cases[] = {
        {"accepted", DriverReply::status(0x00), PYXO_OK},
        {"refused", DriverReply::status(0x01), PYXO_ERR_ACCESS_DENIED},
        {"answer of the wrong length", DriverReply::bytes({0, 0}), PYXO_ERR_RESPONSE_LENGTH},
        {"driver failure", DriverReply::fail(kErrorInvalidHandle), PYXO_ERR_INVALID_HANDLE},
    };
    for (const WipeCase &row : cases) {
        SCOPED_TRACE(row.name);
        OpenToken token;
        token.driver.script_command(row.reply);
        uint8_t request[PYXO_MODIFY_MASTER_KEY_REQUEST_SIZE];
        std::memset(request, 0xAA, sizeof request);
        EXPECT_EQ(pyxo_modify_master_key(&token.context, kMasterKey, request), row.status);
        EXPECT_EQ(to_hex(request, sizeof request), to_hex(zeros(12)));
        const auto commands = token.driver.commands();
        ASSERT_EQ(commands.size(), 1u);
        EXPECT_EQ(to_hex(commands[0].request()), to_hex(hex("02 00 00 00 11 22 33 44 55 66 77 88")));
    }
}

TEST(ModifyMasterKey, RequestIsWipedWhenTheContextIsNotOpen)
{
    PYXO_CONTEXT context = unopened_context();
    uint8_t request[PYXO_MODIFY_MASTER_KEY_REQUEST_SIZE];
    std::memset(request, 0xAA, sizeof request);
    EXPECT_EQ(pyxo_modify_master_key(&context, kMasterKey, request), PYXO_ERR_NO_DEVICE);
    EXPECT_EQ(to_hex(request, sizeof request), to_hex(zeros(12)));
}

} // namespace
