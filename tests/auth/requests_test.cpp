// The exact command each authentication call sends, and how its answer is
// judged.
#include <gtest/gtest.h>

#include "calls.h"
#include "support/hex.h"
#include "support/open_token.h"

using namespace vuxa_test;

namespace {

constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidFunction = 1;

struct RequestCase {
    std::string name;
    std::function<uint32_t(PYXO_CONTEXT *)> call;
    uint16_t command;
    const char *request; // request bytes in hex; an empty request reads as four zeros
    uint16_t payload_length;
    uint32_t offered; // answer size offered to the driver
    DriverReply reply;
};

std::vector<RequestCase> request_cases()
{
    const auto settings = [](PYXO_ACCESS_SETTINGS s) {
        return [s](PYXO_CONTEXT *c) { return Pyxo_SetAccessSettings(c, &s); };
    };
    const DriverReply ok = DriverReply::status(0x00);
    return {
        // The PIN least significant byte first, all of it in the parameter words.
        {"VerifyPIN", [](PYXO_CONTEXT *c) { return Pyxo_VerifyPIN(c, 0x12345678); }, 0x10E,
         "78 56 34 12", 0, 2, ok},
        {"VerifyPIN 0xA1B2C3D4", [](PYXO_CONTEXT *c) { return Pyxo_VerifyPIN(c, 0xA1B2C3D4); },
         0x10E, "D4 C3 B2 A1", 0, 2, ok},
        {"VerifyMasterKey", [](PYXO_CONTEXT *c) { return Pyxo_VerifyMasterKey(c, kMasterKey); },
         0x10F, "11 22 33 44 55 66 77 88", 4, 2, ok},
        // Sub-operation 0: four zero bytes, then the new PIN.
        {"ModifyPIN", [](PYXO_CONTEXT *c) { return Pyxo_ModifyPIN(c, 0x12345678); }, 0x101,
         "00 00 00 00 78 56 34 12", 4, 2, ok},
        // Sub-operation 1: settings byte 0 (octal values), settings byte 1 (nibbles).
        {"SetAccessSettings max", settings({15, 15, 7, 7}), 0x101, "01 00 00 00 3F FF", 2, 2, ok},
        {"SetAccessSettings zero", settings({0, 0, 0, 0}), 0x101, "01 00 00 00 00 00", 2, 2, ok},
        {"SetAccessSettings mixed", settings({10, 3, 2, 5}), 0x101, "01 00 00 00 15 A3", 2, 2, ok},
        {"SetAccessSettings octals", settings({0, 0, 7, 0}), 0x101, "01 00 00 00 38 00", 2, 2, ok},
        // Sub-operation 2: the new key in the caller's order.
        {"ModifyMasterKey", [](PYXO_CONTEXT *c) { return Pyxo_ModifyMasterKey(c, kMasterKey); },
         0x101, "02 00 00 00 11 22 33 44 55 66 77 88", 8, 2, ok},
        {"GetChallenge",
         [](PYXO_CONTEXT *c) {
             uint8_t challenge[8];
             return Pyxo_GetChallenge(c, challenge);
         },
         0x112, "00 00 00 00", 0, 8, DriverReply::bytes(std::vector<uint8_t>(8, 0x5A))},
        {"GetAccessSettings",
         [](PYXO_CONTEXT *c) {
             PYXO_ACCESS_SETTINGS s{};
             return Pyxo_GetAccessSettings(c, &s);
         },
         0x103, "00 00 00 00", 0, 2, DriverReply::bytes({0x00, 0x00})},
    };
}

TEST(AuthRequests, EachCallSendsOneCommandWithItsExactRequest)
{
    for (const RequestCase &row : request_cases()) {
        SCOPED_TRACE(row.name);
        OpenToken token;
        token.driver.script_command(row.reply);
        EXPECT_EQ(row.call(&token.context), PYXO_OK);
        const auto commands = token.driver.commands();
        ASSERT_EQ(commands.size(), 1u);
        EXPECT_EQ(commands[0].command, row.command);
        EXPECT_EQ(commands[0].payload_length, row.payload_length);
        EXPECT_EQ(to_hex(commands[0].request()), to_hex(hex(row.request)));
        EXPECT_EQ(commands[0].out_size, row.offered);
    }
}

TEST(AuthRequests, ChallengeIsHandedOverAsTheTokenSendsIt)
{
    OpenToken token;
    token.driver.script_command(DriverReply::bytes(hex("F0 E1 D2 C3 B4 A5 96 87")));
    uint8_t challenge[8] = {};
    ASSERT_EQ(Pyxo_GetChallenge(&token.context, challenge), PYXO_OK);
    EXPECT_EQ(to_hex(challenge, 8), to_hex(hex("F0 E1 D2 C3 B4 A5 96 87")));
}

// An answer shorter than the challenge is no challenge.  (Longer answers
// never arrive: the driver delivers at most the size offered.)
TEST(AuthRequests, ShortChallengeIsAWrongLength)
{
    OpenToken token;
    token.driver.script_command(DriverReply::bytes(hex("01 02 03 04 05 06 07")));
    uint8_t challenge[8];
    EXPECT_EQ(Pyxo_GetChallenge(&token.context, challenge), PYXO_ERR_RESPONSE_LENGTH);
}

struct StatusCase {
    const char *name;
    DriverReply reply;
    uint32_t status;
};

TEST(AuthRequests, StatusOnlyCallsReturnTheTranslatedAnswer)
{
    const StatusCase cases[] = {
        {"accepted", DriverReply::status(0x00), PYXO_OK},
        {"refused, token status 1", DriverReply::status(0x01), PYXO_ERR_ACCESS_DENIED},
        {"token status 11, high bits set", DriverReply::status(0x2B), PYXO_ERR_INVALID_PARAMETER},
        {"two bytes", DriverReply::bytes({0x00, 0x00}), PYXO_ERR_RESPONSE_LENGTH},
        {"no byte", DriverReply::empty(), PYXO_ERR_RESPONSE_LENGTH},
        {"driver access denied", DriverReply::fail(kErrorAccessDenied), PYXO_ERR_ACCESS_DENIED},
        {"driver other error", DriverReply::fail(kErrorInvalidFunction), PYXO_ERR_IO},
    };
    for (const AuthCall &call : status_only_calls()) {
        for (const StatusCase &row : cases) {
            SCOPED_TRACE(call.name + ": " + row.name);
            OpenToken token;
            token.driver.script_command(row.reply);
            EXPECT_EQ(call.call(&token.context), row.status);
            EXPECT_EQ(token.driver.commands().size(), 1u);
        }
    }
}

TEST(AuthRequests, DataCallsNeedTheirFullAnswer)
{
    const StatusCase cases[] = {
        {"status byte 0", DriverReply::status(0x00), PYXO_ERR_RESPONSE_LENGTH},
        {"status byte 1", DriverReply::status(0x01), PYXO_ERR_ACCESS_DENIED},
        {"status byte 0x2C", DriverReply::status(0x2C), PYXO_ERR_20},
        {"no byte", DriverReply::empty(), PYXO_ERR_RESPONSE_LENGTH},
        {"driver access denied", DriverReply::fail(kErrorAccessDenied), PYXO_ERR_ACCESS_DENIED},
    };
    for (const AuthCall &call : data_calls()) {
        for (const StatusCase &row : cases) {
            SCOPED_TRACE(call.name + ": " + row.name);
            OpenToken token;
            token.driver.script_command(row.reply);
            EXPECT_EQ(call.call(&token.context), row.status);
        }
    }
}

// None of these calls looks at the context itself: the exchange reports it.
TEST(AuthRequests, ContextNotOpenGivesNoDevice)
{
    std::vector<AuthCall> calls = status_only_calls();
    for (const AuthCall &call : data_calls())
        calls.push_back(call);
    for (const AuthCall &call : calls) {
        SCOPED_TRACE(call.name);
        PYXO_CONTEXT context = unopened_context();
        EXPECT_EQ(call.call(&context), PYXO_ERR_NO_DEVICE);
    }
}

} // namespace
