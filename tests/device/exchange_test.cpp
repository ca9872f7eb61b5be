// The command exchange: how requests become command blocks, how answers
// are judged, and how driver failures and token statuses are translated.
#include <gtest/gtest.h>

#include <cstring>

#include "device/driver_interface.h"
#include "device/exchange.h"
#include "support/hex.h"
#include "support/open_token.h"

namespace vuxa_test {
namespace {

std::vector<uint8_t> counting_bytes(size_t n, uint8_t first = 1)
{
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = uint8_t(first + i);
    return bytes;
}

// ----------------------------------------------------- request -> block

struct BlockCase {
    const char *name;
    size_t request_length;
    const char *head; // block bytes 0-15: index, reserved, param1, param2, command, length
};

// Requests of counting bytes 01 02 03 ..., command 0x10E, context
// device_index 1 (the first token's position plus one).
const BlockCase kBlockCases[] = {
    {"empty", 0, "01 00 00 00 00 00 00 00 00 00 00 00 0e 01 00 00"},
    {"two bytes fill param1 only", 2, "01 00 00 00 00 00 00 00 01 02 00 00 0e 01 00 00"},
    // the library forms none of these two; they must not read past the request
    {"one byte", 1, "01 00 00 00 00 00 00 00 01 00 00 00 0e 01 00 00"},
    {"three bytes", 3, "01 00 00 00 00 00 00 00 01 02 03 00 0e 01 00 00"},
    {"four bytes fill both words, no payload", 4,
     "01 00 00 00 00 00 00 00 01 02 03 04 0e 01 00 00"},
    {"five bytes: one payload byte", 5, "01 00 00 00 00 00 00 00 01 02 03 04 0e 01 01 00"},
    {"eighty bytes: 76 payload bytes", 80, "01 00 00 00 00 00 00 00 01 02 03 04 0e 01 4c 00"},
    {"260 bytes fill the payload", 260, "01 00 00 00 00 00 00 00 01 02 03 04 0e 01 00 01"},
};

class RequestToBlock : public ::testing::TestWithParam<BlockCase> {};

TEST_P(RequestToBlock, FillsTheBlockExactly)
{
    const BlockCase &c = GetParam();
    OpenToken token;
    const std::vector<uint8_t> request = counting_bytes(c.request_length);
    EXPECT_EQ(pyxo_exchange(&token.context, 0x10E, uint32_t(request.size()), request.data(), 1,
                            nullptr),
              PYXO_OK);

    const auto commands = token.driver.commands();
    ASSERT_EQ(commands.size(), 1u);
    std::vector<uint8_t> expected = hex(c.head);
    if (c.request_length > 4)
        expected.insert(expected.end(), request.begin() + 4, request.end());
    expected.resize(PYXO_COMMAND_BLOCK_SIZE, 0); // the library sends no stale bytes
    EXPECT_EQ(to_hex(commands[0].raw), to_hex(expected));
}

INSTANTIATE_TEST_SUITE_P(Exchange, RequestToBlock, ::testing::ValuesIn(kBlockCases),
                         [](const auto &info) {
                             std::string name = info.param.name;
                             for (char &ch : name)
                                 if (!std::isalnum((unsigned char)ch))
                                     ch = '_';
                             return name;
                         });

TEST(Exchange, RefusesARequestTheBlockCannotHoldBeforeSending)
{
    OpenToken token;
    const std::vector<uint8_t> request = counting_bytes(261);
    EXPECT_EQ(pyxo_exchange(&token.context, 0x108, 261, request.data(), 1, nullptr),
              PYXO_ERR_INVALID_PARAMETER);
    EXPECT_TRUE(token.driver.requests().empty());
}

TEST(Exchange, RefusesAnAbsentRequestOrAnswerBufferBeforeSending)
{
    OpenToken token;
    uint8_t answer[8];
    EXPECT_EQ(pyxo_exchange(&token.context, 0x10E, 4, nullptr, 1, nullptr),
              PYXO_ERR_INVALID_PARAMETER);
    EXPECT_EQ(pyxo_exchange(&token.context, 0x102, 0, nullptr, 8, nullptr),
              PYXO_ERR_INVALID_PARAMETER);
    EXPECT_EQ(pyxo_exchange(&token.context, 0x102, 0, nullptr, 8, answer), PYXO_OK);
    EXPECT_EQ(token.driver.requests().size(), 1u);
}

TEST(Exchange, SendsNothingThroughARecordThatIsNotOpen)
{
    OpenToken token;
    PYXO_CONTEXT zero = unopened_context();
    EXPECT_EQ(pyxo_exchange(&zero, 0x106, 0, nullptr, 1, nullptr), PYXO_ERR_NO_DEVICE);

    // Signature present, handle INVALID_HANDLE_VALUE: closed.
    PYXO_CONTEXT closed = token.context;
    closed.device_handle = reinterpret_cast<void *>(intptr_t(-1));
    EXPECT_EQ(pyxo_exchange(&closed, 0x106, 0, nullptr, 1, nullptr), PYXO_ERR_NO_DEVICE);

    // The flag is not what counts: a handle without it still talks.
    PYXO_CONTEXT unflagged = token.context;
    unflagged.flags = 0;
    token.driver.clear_requests();
    EXPECT_EQ(pyxo_exchange(&unflagged, 0x106, 0, nullptr, 1, nullptr), PYXO_OK);
    EXPECT_EQ(token.driver.commands().size(), 1u);
}

// ------------------------------------------------------ answer outcomes

enum class Kind { none, status_only, data };

struct OutcomeCase {
    const char *name;
    Kind kind;
    uint32_t answer_length;
    DriverReply reply;
    uint32_t expected;
    uint32_t offered; // the answer size the driver is offered
};

const OutcomeCase kOutcomeCases[] = {
    {"no answer awaited, a byte comes", Kind::none, 0, DriverReply::status(0x05), PYXO_OK, 0},
    {"no answer awaited, call fails", Kind::none, 0, DriverReply::fail(31), PYXO_ERR_IO, 0},
    {"status 00", Kind::status_only, 1, DriverReply::status(0x00), PYXO_OK, 2},
    {"status 2b: low bits 11", Kind::status_only, 1, DriverReply::status(0x2B),
     PYXO_ERR_INVALID_PARAMETER, 2},
    {"status 0d", Kind::status_only, 1, DriverReply::status(0x0D), PYXO_ERR_UNKNOWN, 2},
    {"status e0: high bits ignored", Kind::status_only, 1, DriverReply::status(0xE0), PYXO_OK, 2},
    {"status-only, empty answer", Kind::status_only, 1, DriverReply::empty(),
     PYXO_ERR_RESPONSE_LENGTH, 2},
    {"status-only, two bytes", Kind::status_only, 1, DriverReply::bytes({0x00, 0x00}),
     PYXO_ERR_RESPONSE_LENGTH, 2},
    {"data, exact length", Kind::data, 8, DriverReply::bytes(counting_bytes(8, 0xF0)), PYXO_OK, 8},
    {"data, status 00", Kind::data, 8, DriverReply::status(0x00), PYXO_ERR_RESPONSE_LENGTH, 8},
    {"data, status 01", Kind::data, 8, DriverReply::status(0x01), PYXO_ERR_ACCESS_DENIED, 8},
    {"data, status 2c", Kind::data, 8, DriverReply::status(0x2C), PYXO_ERR_20, 8},
    {"data, one byte short", Kind::data, 8, DriverReply::bytes(counting_bytes(7)),
     PYXO_ERR_RESPONSE_LENGTH, 8},
    {"data, empty", Kind::data, 8, DriverReply::empty(), PYXO_ERR_RESPONSE_LENGTH, 8},
    {"data of one byte is data", Kind::data, 1, DriverReply::status(0x05), PYXO_OK, 1},
    {"data of two bytes, status 03", Kind::data, 2, DriverReply::status(0x03), PYXO_ERR_3, 2},
    {"driver: access denied", Kind::data, 8, DriverReply::fail(5), PYXO_ERR_ACCESS_DENIED, 8},
    {"driver: invalid handle", Kind::status_only, 1, DriverReply::fail(6),
     PYXO_ERR_INVALID_HANDLE, 2},
    {"driver: invalid parameter", Kind::data, 8, DriverReply::fail(87),
     PYXO_ERR_INVALID_PARAMETER, 8},
    {"driver: general failure", Kind::data, 8, DriverReply::fail(31), PYXO_ERR_IO, 8},
    {"driver: invalid function", Kind::status_only, 1, DriverReply::fail(1), PYXO_ERR_IO, 2},
    {"driver: no more items", Kind::none, 0, DriverReply::fail(259), PYXO_ERR_IO, 0},
};

class AnswerOutcome : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(AnswerOutcome, IsJudged)
{
    const OutcomeCase &c = GetParam();
    OpenToken token;
    token.driver.script_command(c.reply);
    uint8_t answer[8] = {};
    uint8_t *target = c.kind == Kind::data ? answer : nullptr;
    EXPECT_EQ(pyxo_exchange(&token.context, 0x112, 0, nullptr, c.answer_length, target),
              c.expected);
    const auto commands = token.driver.commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].out_size, c.offered);
    if (c.expected == PYXO_OK && c.kind == Kind::data && c.answer_length == 8)
        EXPECT_EQ(to_hex(answer, 8), to_hex(counting_bytes(8, 0xF0)));
}

INSTANTIATE_TEST_SUITE_P(Exchange, AnswerOutcome, ::testing::ValuesIn(kOutcomeCases),
                         [](const auto &info) { return "row" + std::to_string(info.index); });

// --------------------------------------------- token status translation

TEST(StatusTranslation, MapsEveryTokenStatus)
{
    // Status code for token status 0, 1, 2, ...; 13 to 31 are all 255.
    const uint32_t expected[32] = {0,   4,   5,   3,   9,   10,  11,  12,  14,  15,  16,
                                   17,  20,  255, 255, 255, 255, 255, 255, 255, 255, 255,
                                   255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
    for (uint32_t high = 0; high < 8; ++high) {
        for (uint32_t status = 0; status < 32; ++status) {
            const uint8_t byte = uint8_t(high << 5 | status);
            EXPECT_EQ(pyxo_map_status(&byte, 1), expected[status]) << "byte " << int(byte);
        }
    }
}

TEST(StatusTranslation, JudgesTheLengthFirst)
{
    const uint8_t answer[2] = {0x01, 0x01};
    EXPECT_EQ(pyxo_map_status(answer, 0), PYXO_ERR_IO);
    EXPECT_EQ(pyxo_map_status(answer, 1), PYXO_ERR_ACCESS_DENIED);
    EXPECT_EQ(pyxo_map_status(answer, 2), PYXO_OK);
    EXPECT_EQ(pyxo_map_status(answer, 64), PYXO_OK);
}

} // namespace
} // namespace vuxa_test
