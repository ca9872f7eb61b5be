// The 80-byte request of Pyxo_HashToken in each mode, the fix-up of the
// answer, the masking of the mode argument and the wipe of the request.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "support/hex.h"
#include "support/open_token.h"
#include "tokenhash/hash_request.h"

using namespace vuxa_test;

namespace {

const char *const kInitialValueHex = "01 23 45 67 89 AB CD EF FE DC BA 98 76 54 32 10";
const char *const kZeroChainingHex = "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";
constexpr uint32_t kErrorInvalidHandle = 6;

// Data bytes 01 02 03 ... 64 (decimal 100): none of them is 0x80.
std::vector<uint8_t> counting_data()
{
    std::vector<uint8_t> data(100);
    for (size_t i = 0; i < data.size(); i++)
        data[i] = (uint8_t)(i + 1);
    return data;
}

struct BlockCase {
    uint32_t mode;
    uint32_t length;
    uint32_t status;
    uint16_t command;
    const char *chaining;  // request bytes 0-15
    int end_marker;        // block byte holding 0x80, or -1
    const char *bit_count; // block bytes 56-59, or "" for none
};

const BlockCase kBlockCases[] = {
    // Raw: the block as the caller gave it, never any addition.
    {0, 0, PYXO_OK, 0x110, kInitialValueHex, -1, ""},
    {0, 16, PYXO_OK, 0x110, kInitialValueHex, -1, ""},
    {0, 52, PYXO_OK, 0x110, kInitialValueHex, -1, ""},
    {0, 53, PYXO_OK, 0x110, kInitialValueHex, -1, ""},
    {0, 55, PYXO_OK, 0x110, kInitialValueHex, -1, ""},
    {0, 56, PYXO_OK, 0x110, kInitialValueHex, -1, ""},
    {0, 63, PYXO_OK, 0x110, kInitialValueHex, -1, ""},
    {0, 64, PYXO_OK, 0x110, kInitialValueHex, -1, ""},
    {0, 100, PYXO_OK, 0x110, kInitialValueHex, -1, ""},
    // Keyed: end marker while there is room, bit count 512 + 8 x length below 56.
    {1, 0, PYXO_OK, 0x111, kZeroChainingHex, 0, "00 02 00 00"},
    {1, 16, PYXO_OK, 0x111, kZeroChainingHex, 16, "80 02 00 00"},
    {1, 52, PYXO_OK, 0x111, kZeroChainingHex, 52, "A0 03 00 00"},
    {1, 53, PYXO_OK, 0x111, kZeroChainingHex, 53, "A8 03 00 00"},
    {1, 55, PYXO_OK, 0x111, kZeroChainingHex, 55, "B8 03 00 00"},
    {1, 56, PYXO_OK, 0x111, kZeroChainingHex, 56, ""},
    {1, 63, PYXO_OK, 0x111, kZeroChainingHex, 63, ""},
    {1, 64, PYXO_OK, 0x111, kZeroChainingHex, -1, ""},
    {1, 100, PYXO_OK, 0x111, kZeroChainingHex, -1, ""},
    // CHAP: end marker, no bit count, at most 52 bytes.
    {2, 0, PYXO_OK, 0x118, kInitialValueHex, 0, ""},
    {2, 16, PYXO_OK, 0x118, kInitialValueHex, 16, ""},
    {2, 52, PYXO_OK, 0x118, kInitialValueHex, 52, ""},
    {2, 53, PYXO_ERR_DATA_TOO_LONG, 0, "", -1, ""},
    {2, 55, PYXO_ERR_DATA_TOO_LONG, 0, "", -1, ""},
    {2, 56, PYXO_ERR_DATA_TOO_LONG, 0, "", -1, ""},
    {2, 63, PYXO_ERR_DATA_TOO_LONG, 0, "", -1, ""},
    {2, 64, PYXO_ERR_DATA_TOO_LONG, 0, "", -1, ""},
    {2, 100, PYXO_ERR_DATA_TOO_LONG, 0, "", -1, ""},
};

// The request a row stands for: chaining field, the data bytes that fit,
// zeros, then the row's end marker and bit count.
std::string expected_request(const BlockCase &row, const std::vector<uint8_t> &data)
{
    std::vector<uint8_t> block(data.begin(), data.begin() + std::min(row.length, 64u));
    block.resize(64);
    if (row.end_marker >= 0)
        block[(size_t)row.end_marker] = 0x80;
    const std::vector<uint8_t> bit_count = hex(row.bit_count);
    std::copy(bit_count.begin(), bit_count.end(), block.begin() + 56);
    return std::string(row.chaining) + " " + to_hex(block);
}

TEST(HashRequest, EveryModeAndBoundaryLength)
{
    const std::vector<uint8_t> data = counting_data();
    for (const BlockCase &row : kBlockCases) {
        SCOPED_TRACE("mode " + std::to_string(row.mode) + ", length " + std::to_string(row.length));
        OpenToken token;
        token.driver.script_command(DriverReply::bytes(zeros(16)));
        uint8_t digest[16];
        EXPECT_EQ(Pyxo_HashToken(&token.context, row.mode, data.data(), row.length, digest),
                  row.status);
        const auto commands = token.driver.commands();
        if (row.status != PYXO_OK) {
            EXPECT_TRUE(commands.empty());
            continue;
        }
        ASSERT_EQ(commands.size(), 1u);
        EXPECT_EQ(commands[0].command, row.command);
        EXPECT_EQ(commands[0].payload_length, 76);
        EXPECT_EQ(commands[0].out_size, 16u);
        EXPECT_EQ(to_hex(commands[0].request()), to_hex(hex(expected_request(row, data))));
    }
}

// Two blocks written out whole, as the token receives them.
TEST(HashRequest, WholeRequestsWrittenOut)
{
    struct {
        uint32_t mode;
        std::vector<uint8_t> data;
        std::string request;
    } cases[] = {
        {PYXO_HASH_MODE_KEYED, hex("00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF"),
         std::string(kZeroChainingHex) + " 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF 80 " +
             to_hex(zeros(39)) + " 80 02 00 00 00 00 00 00"},
        {PYXO_HASH_MODE_CHAP, hex("FF 0F"),
         std::string(kInitialValueHex) + " FF 0F 80 " + to_hex(zeros(61))},
        {PYXO_HASH_MODE_RAW, hex("AB CD"),
         std::string(kInitialValueHex) + " AB CD " + to_hex(zeros(62))},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.mode);
        OpenToken token;
        token.driver.script_command(DriverReply::bytes(zeros(16)));
        uint8_t digest[16];
        ASSERT_EQ(Pyxo_HashToken(&token.context, row.mode, row.data.data(),
                                 (uint32_t)row.data.size(), digest),
                  PYXO_OK);
        const auto commands = token.driver.commands();
        ASSERT_EQ(commands.size(), 1u);
        EXPECT_EQ(to_hex(commands[0].request()), to_hex(hex(row.request)));
    }
}

struct FixUpCase {
    const char *name;
    uint32_t mode;
    const char *answer;
    const char *digest;
};

TEST(HashRequest, AnswerIsFinishedByMode)
{
    const FixUpCase cases[] = {
        {"raw, zero answer", 0, "00000000 00000000 00000000 00000000",
         "01234567 89ABCDEF FEDCBA98 76543210"},
        {"chap, zero answer", 2, "00000000 00000000 00000000 00000000",
         "01234567 89ABCDEF FEDCBA98 76543210"},
        {"keyed, zero answer", 1, "00000000 00000000 00000000 00000000",
         "00000000 00000000 00000000 00000000"},
        {"keyed, passed on unchanged", 1, "00112233 44556677 8899AABB CCDDEEFF",
         "00112233 44556677 8899AABB CCDDEEFF"},
        // 0xFFFFFFFF + 0x67452301 wraps to 0x67452300.
        {"raw, first word wraps", 0, "FFFFFFFF 00000000 00000000 00000000",
         "00234567 89ABCDEF FEDCBA98 76543210"},
        {"chap, every word wraps", 2, "FFFFFFFF FFFFFFFF FFFFFFFF FFFFFFFF",
         "00234567 88ABCDEF FDDCBA98 75543210"},
        // 0x98BADCFE + 0x67452301 = 0xFFFFFFFF; 0x10325477 + 0xEFCDAB89 = 2^32.
        {"raw, carries through every byte", 0, "FEDCBA98 77543210 00000000 00000000",
         "FFFFFFFF 00000000 FEDCBA98 76543210"},
    };
    for (const FixUpCase &row : cases) {
        SCOPED_TRACE(row.name);
        OpenToken token;
        token.driver.script_command(DriverReply::bytes(hex(row.answer)));
        const uint8_t data[4] = {1, 2, 3, 4};
        uint8_t digest[16];
        ASSERT_EQ(Pyxo_HashToken(&token.context, row.mode, data, sizeof data, digest), PYXO_OK);
        EXPECT_EQ(to_hex(digest, 16), to_hex(hex(row.digest)));
    }
}

struct MaskCase {
    uint32_t mode;
    uint32_t status;
    uint16_t command; // 0: nothing sent
};

TEST(HashRequest, OnlyTheLowFourBitsOfTheModeCount)
{
    const MaskCase cases[] = {
        {0x10, PYXO_OK, 0x110},
        {0x11, PYXO_OK, 0x111},
        {0x12, PYXO_OK, 0x118},
        {0x21, PYXO_OK, 0x111},
        {0xFFFFFFF0, PYXO_OK, 0x110},
        {3, PYXO_ERR_INVALID_PARAMETER, 0},
        {0xF3, PYXO_ERR_INVALID_PARAMETER, 0},
        {0x0F, PYXO_ERR_INVALID_PARAMETER, 0},
        {0x104, PYXO_ERR_INVALID_PARAMETER, 0},
    };
    for (const MaskCase &row : cases) {
        SCOPED_TRACE(row.mode);
        OpenToken token;
        token.driver.script_command(DriverReply::bytes(zeros(16)));
        const uint8_t data[8] = {};
        uint8_t digest[16];
        std::memset(digest, 0x5A, sizeof digest);
        EXPECT_EQ(Pyxo_HashToken(&token.context, row.mode, data, sizeof data, digest), row.status);
        const auto commands = token.driver.commands();
        if (row.command == 0) {
            EXPECT_TRUE(commands.empty());
            EXPECT_EQ(to_hex(digest, 16), to_hex(std::vector<uint8_t>(16, 0x5A)));
            continue;
        }
        ASSERT_EQ(commands.size(), 1u);
        EXPECT_EQ(commands[0].command, row.command);
    }
}

TEST(HashRequest, LengthRefusedInChapModeLeavesTheDigestAlone)
{
    OpenToken token;
    const std::vector<uint8_t> data(53, 0x33);
    uint8_t digest[16];
    std::memset(digest, 0x5A, sizeof digest);
    EXPECT_EQ(Pyxo_HashToken(&token.context, PYXO_HASH_MODE_CHAP, data.data(), 53, digest),
              PYXO_ERR_DATA_TOO_LONG);
    EXPECT_EQ(to_hex(digest, 16), to_hex(std::vector<uint8_t>(16, 0x5A)));
    EXPECT_TRUE(token.driver.commands().empty());
}

// The data is in the request before the answer lands on it.
TEST(HashRequest, DataAndDigestInTheSameBuffer)
{
    for (uint32_t mode : {PYXO_HASH_MODE_RAW, PYXO_HASH_MODE_KEYED, PYXO_HASH_MODE_CHAP}) {
        SCOPED_TRACE(mode);
        OpenToken token;
        token.driver.script_command(
            DriverReply::bytes(hex("10 00 00 00 20 00 00 00 30 00 00 00 40 00 00 00")));
        uint8_t buffer[16];
        for (uint8_t i = 0; i < 16; i++)
            buffer[i] = (uint8_t)(0xA0 + i);
        ASSERT_EQ(Pyxo_HashToken(&token.context, mode, buffer, 16, buffer), PYXO_OK);
        const auto commands = token.driver.commands();
        ASSERT_EQ(commands.size(), 1u);
        const std::vector<uint8_t> request = commands[0].request();
        EXPECT_EQ(to_hex(&request[16], 16), to_hex(hex("A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF")));
        const char *expected = mode == PYXO_HASH_MODE_KEYED
                                   ? "10 00 00 00 20 00 00 00 30 00 00 00 40 00 00 00"
                                   : "11 23 45 67 A9 AB CD EF 2E DD BA 98 B6 54 32 10";
        EXPECT_EQ(to_hex(buffer, 16), to_hex(hex(expected)));
    }
}

struct WipeCase {
    const char *name;
    uint32_t mode;
    DriverReply reply;
    uint32_t status;
};

TEST(HashRequest, RequestIsWipedOnEveryPathThatBuiltIt)
{
    const WipeCase cases[] = {
        {"raw", PYXO_HASH_MODE_RAW, DriverReply::bytes(std::vector<uint8_t>(16, 1)), PYXO_OK},
        {"keyed", PYXO_HASH_MODE_KEYED, DriverReply::bytes(std::vector<uint8_t>(16, 1)), PYXO_OK},
        {"chap", PYXO_HASH_MODE_CHAP, DriverReply::bytes(std::vector<uint8_t>(16, 1)), PYXO_OK},
        {"refused", PYXO_HASH_MODE_KEYED, DriverReply::status(0x01), PYXO_ERR_ACCESS_DENIED},
        {"status byte 0", PYXO_HASH_MODE_RAW, DriverReply::status(0x00), PYXO_ERR_RESPONSE_LENGTH},
        {"short answer", PYXO_HASH_MODE_CHAP, DriverReply::bytes(std::vector<uint8_t>(15, 1)),
         PYXO_ERR_RESPONSE_LENGTH},
        {"driver failure", PYXO_HASH_MODE_RAW, DriverReply::fail(kErrorInvalidHandle),
         PYXO_ERR_INVALID_HANDLE},
    };
    const std::vector<uint8_t> data(40, 0x77);
    for (const WipeCase &row : cases) {
        SCOPED_TRACE(row.name);
        OpenToken token;
        token.driver.script_command(row.reply);
        uint8_t request[PYXO_HASH_REQUEST_SIZE];
        std::memset(request, 0xAA, sizeof request);
        uint8_t digest[16];
        EXPECT_EQ(pyxo_hash_token(&token.context, row.mode, data.data(), 40, digest, request),
                  row.status);
        EXPECT_EQ(to_hex(request, sizeof request), to_hex(zeros(80)));
        const auto commands = token.driver.commands();
        ASSERT_EQ(commands.size(), 1u);
        EXPECT_EQ(commands[0].request()[16], 0x77); // the data did go out
    }
    PYXO_CONTEXT unopened = unopened_context();
    uint8_t request[PYXO_HASH_REQUEST_SIZE];
    std::memset(request, 0xAA, sizeof request);
    uint8_t digest[16];
    EXPECT_EQ(pyxo_hash_token(&unopened, PYXO_HASH_MODE_KEYED, data.data(), 40, digest, request),
              PYXO_ERR_NO_DEVICE);
    EXPECT_EQ(to_hex(request, sizeof request), to_hex(zeros(80)));
}

} // namespace
