// Device services: self-test, reset, raw answer, serial number, LED.
#include <gtest/gtest.h>

#include <cstring>

#include "support/hex.h"
#include "support/open_token.h"

namespace vuxa_test {
namespace {

// The 16 bytes that head a command block: index 1 (the first token),
// reserved 0, param1, param2, command, payload length.
std::string head(const CommandBlock &block)
{
    return to_hex(std::vector<uint8_t>(block.raw.begin(), block.raw.begin() + 16));
}

// ------------------------------------------------------------ Diagnose

struct DiagnoseCase {
    const char *name;
    uint16_t memory_words; // memory_size is twice this
    const char *answer;
    uint32_t status;
    uint16_t result0, result1;
};

const DiagnoseCase kDiagnoseCases[] = {
    {"all passed, 8192 bytes", 0x1000, "34 12 ff 00 ff 10", PYXO_OK, 0x1234, 0xFFFF},
    {"memory blocks one short", 0x1000, "34 12 ff 00 ff 0f", PYXO_ERR_MEMORY, 0x1234, 0x0FFF},
    {"memory test failed", 0x1000, "34 12 ff 00 00 10", PYXO_ERR_MEMORY, 0x1234, 0x1000},
    {"self-test 00: memory check skipped", 0x1000, "34 12 00 00 00 00", PYXO_ERR_SELFTEST, 0x1234,
     0x0000},
    {"self-test 7f", 0x1000, "00 00 7f aa ff 10", PYXO_ERR_SELFTEST, 0x0000, 0x007F},
    {"512 bytes: bytes 4 and 5 not checked", 0x0100, "01 00 ff 00 00 00", PYXO_OK, 0x0001, 0xFFFF},
    {"1000 bytes need one block", 500, "01 00 ff 00 ff 01", PYXO_OK, 0x0001, 0xFFFF},
    {"1000 bytes, two blocks reported", 500, "01 00 ff 00 ff 02", PYXO_ERR_MEMORY, 0x0001, 0x02FF},
    {"byte 3 not read", 0x1000, "00 00 ff 5a ff 10", PYXO_OK, 0x0000, 0xFFFF},
};

class Diagnose : public ::testing::TestWithParam<DiagnoseCase> {};

TEST_P(Diagnose, JudgesTheAnswer)
{
    const DiagnoseCase &c = GetParam();
    OpenToken token(kWideModel, c.memory_words);
    token.driver.script_command(DriverReply::bytes(hex(c.answer)));
    uint16_t result[2] = {0xDEAD, 0xBEEF};
    EXPECT_EQ(Pyxo_Diagnose(&token.context, result), c.status);
    EXPECT_EQ(result[0], c.result0);
    EXPECT_EQ(result[1], c.result1);
    const auto commands = token.driver.commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(head(commands[0]), "01 00 00 00 00 00 00 00 00 00 00 00 02 00 00 00");
    EXPECT_EQ(commands[0].out_size, 6u);
}

INSTANTIATE_TEST_SUITE_P(Services, Diagnose, ::testing::ValuesIn(kDiagnoseCases),
                         [](const auto &info) { return "row" + std::to_string(info.index); });

TEST(Services, DiagnoseWritesNothingWhenTheExchangeFails)
{
    OpenToken token;
    token.driver.script_command(DriverReply::status(0x07));
    uint16_t result[2] = {0xDEAD, 0xBEEF};
    EXPECT_EQ(Pyxo_Diagnose(&token.context, result), PYXO_ERR_SELFTEST);
    EXPECT_EQ(result[0], 0xDEAD);
    EXPECT_EQ(result[1], 0xBEEF);
}

// --------------------------------------------------------- GetResponse

struct ResponseCase {
    const char *name;
    DriverReply reply;
    uint32_t status;
    uint32_t length;
};

const ResponseCase kResponseCases[] = {
    {"no byte", DriverReply::empty(), PYXO_ERR_IO, 0},
    {"status 00", DriverReply::status(0x00), PYXO_OK, 1},
    {"status 01", DriverReply::status(0x01), PYXO_ERR_ACCESS_DENIED, 1},
    {"ten bytes", DriverReply::bytes(hex("a0 a1 a2 a3 a4 a5 a6 a7 a8 a9")), PYXO_OK, 10},
    {"64 bytes", DriverReply::bytes(std::vector<uint8_t>(64, 0xA0)), PYXO_OK, 64},
    {"more than 64 cut by the driver", DriverReply::bytes(std::vector<uint8_t>(70, 0xA0)), PYXO_OK,
     64},
    {"driver fails", DriverReply::fail(5), PYXO_ERR_ACCESS_DENIED, 0},
};

class GetResponse : public ::testing::TestWithParam<ResponseCase> {};

TEST_P(GetResponse, DeliversTheAnswerPaddedWithZeros)
{
    const ResponseCase &c = GetParam();
    OpenToken token;
    token.driver.script_command(c.reply);
    uint8_t buffer[64];
    std::memset(buffer, 0xEE, sizeof buffer);
    uint32_t length = 12345;
    EXPECT_EQ(Pyxo_GetResponse(&token.context, buffer, &length), c.status);
    EXPECT_EQ(length, c.length);
    if (c.reply.error == 0) {
        std::vector<uint8_t> expected = c.reply.output;
        expected.resize(64, 0);
        EXPECT_EQ(to_hex(buffer, 64), to_hex(expected));
    }
    const auto commands = token.driver.commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(head(commands[0]), "01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00");
    EXPECT_EQ(commands[0].raw.size(), 272u);
    EXPECT_EQ(commands[0].out_size, 64u);
}

INSTANTIATE_TEST_SUITE_P(Services, GetResponse, ::testing::ValuesIn(kResponseCases),
                         [](const auto &info) { return "row" + std::to_string(info.index); });

TEST(Services, GetResponseOnARecordThatIsNotOpen)
{
    ScriptedDriver driver;
    PYXO_CONTEXT context = unopened_context();
    uint8_t buffer[64];
    uint32_t length = 99;
    EXPECT_EQ(Pyxo_GetResponse(&context, buffer, &length), PYXO_ERR_NO_DEVICE);
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(driver.requests().empty());
}

// ------------------------------------------------------ serial number

TEST(Services, GetSerialNumberReadsTwoLittleEndianWords)
{
    OpenToken token;
    token.driver.script_command(DriverReply::bytes(hex("01 02 03 04 05 06 07 08")));
    uint32_t serial[2] = {};
    EXPECT_EQ(Pyxo_GetSerialNumber(&token.context, serial), PYXO_OK);
    EXPECT_EQ(serial[0], 0x04030201u);
    EXPECT_EQ(serial[1], 0x08070605u);
    const auto commands = token.driver.commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(head(commands[0]), "01 00 00 00 00 00 00 00 00 00 00 00 02 01 00 00");
    EXPECT_EQ(commands[0].out_size, 8u);
}

TEST(Services, GetSerialNumberWritesNothingOnFailure)
{
    OpenToken token;
    token.driver.script_command(DriverReply::bytes(hex("01 02 03 04 05 06 07")));
    uint32_t serial[2] = {7, 9};
    EXPECT_EQ(Pyxo_GetSerialNumber(&token.context, serial), PYXO_ERR_RESPONSE_LENGTH);
    EXPECT_EQ(serial[0], 7u);
    EXPECT_EQ(serial[1], 9u);
}

// ----------------------------------------------------------------- LED

struct LedCase {
    uint32_t value;
    const char *head;
};

const LedCase kLedCases[] = {
    {0x0000, "01 00 00 00 00 00 00 00 00 00 00 00 03 00 00 00"},
    {0x1234, "01 00 00 00 00 00 00 00 34 12 00 00 03 00 00 00"},
    {0xFFFF, "01 00 00 00 00 00 00 00 ff ff 00 00 03 00 00 00"},
    // only the low 16 bits travel; param2 stays 0
    {0xABCD1234, "01 00 00 00 00 00 00 00 34 12 00 00 03 00 00 00"},
};

class LedControl : public ::testing::TestWithParam<LedCase> {};

TEST_P(LedControl, SendsTheLowSixteenBitsInParam1)
{
    OpenToken token;
    EXPECT_EQ(Pyxo_LedControl(&token.context, GetParam().value), PYXO_OK);
    const auto commands = token.driver.commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(head(commands[0]), GetParam().head);
    EXPECT_EQ(commands[0].out_size, 2u); // a status-only command
}

INSTANTIATE_TEST_SUITE_P(Services, LedControl, ::testing::ValuesIn(kLedCases));

TEST(Services, LedControlReportsTheTokenStatus)
{
    OpenToken token;
    token.driver.script_command(DriverReply::status(0x0A));
    EXPECT_EQ(Pyxo_LedControl(&token.context, 1), PYXO_ERR_NO_SPACE);
}

// --------------------------------------------------------------- reset

TEST(Services, ResetAwaitsNoAnswerAndDropsTheSelection)
{
    OpenToken token;
    token.context.current_file_type = 2;
    token.context.current_file_attr = 9;
    token.driver.script_command(DriverReply::status(0x05)); // not examined
    EXPECT_EQ(Pyxo_ResetDevice(&token.context), PYXO_OK);
    EXPECT_EQ(token.context.current_file_type, 0xFF);
    EXPECT_EQ(token.context.current_file_attr, 0);
    const auto commands = token.driver.commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(head(commands[0]), "01 00 00 00 00 00 00 00 00 00 00 00 00 01 00 00");
    EXPECT_EQ(commands[0].out_size, 0u);
}

TEST(Services, ResetReportsADriverFailure)
{
    OpenToken token;
    token.driver.script_command(DriverReply::fail(6));
    EXPECT_EQ(Pyxo_ResetDevice(&token.context), PYXO_ERR_INVALID_HANDLE);
}

TEST(Services, ResetOnARecordThatIsNotOpenStillDropsTheSelection)
{
    ScriptedDriver driver;
    PYXO_CONTEXT context = unopened_context();
    context.current_file_type = 3;
    context.current_file_attr = 4;
    EXPECT_EQ(Pyxo_ResetDevice(&context), PYXO_ERR_NO_DEVICE);
    EXPECT_EQ(context.current_file_type, 0xFF);
    EXPECT_EQ(context.current_file_attr, 0);
    EXPECT_TRUE(driver.requests().empty());
}

// Every service through a record that is not open: 6, nothing sent.
TEST(Services, NeedAnOpenRecord)
{
    ScriptedDriver driver;
    driver.add_device(DriverDevice::token(kWideModel, 0x1000));
    PYXO_CONTEXT context{};
    ASSERT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST), PYXO_OK);
    Pyxo_CloseDevice(&context);
    driver.clear_requests();

    uint16_t diagnosis[2];
    uint32_t serial[2];
    EXPECT_EQ(Pyxo_Diagnose(&context, diagnosis), PYXO_ERR_NO_DEVICE);
    EXPECT_EQ(Pyxo_GetSerialNumber(&context, serial), PYXO_ERR_NO_DEVICE);
    EXPECT_EQ(Pyxo_LedControl(&context, 1), PYXO_ERR_NO_DEVICE);
    EXPECT_EQ(Pyxo_ResetDevice(&context), PYXO_ERR_NO_DEVICE);
    EXPECT_TRUE(driver.requests().empty());
}

} // namespace
} // namespace vuxa_test
