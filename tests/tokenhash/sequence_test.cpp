// The select and hash sequences of Pyxo_HMAC_MD5 and Pyxo_CHAP_MD5, their
// failures, and the argument checks that come before anything is sent.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>

#include "support/hex.h"
#include "support/open_token.h"

using namespace vuxa_test;

namespace {

const std::string kInitialValueHex = "01 23 45 67 89 AB CD EF FE DC BA 98 76 54 32 10";
const std::string kZeroChainingHex = "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";
const char *const kInnerHex = "C0 C1 C2 C3 C4 C5 C6 C7 C8 C9 CA CB CC CD CE CF";
const char *const kOuterHex = "D0 D1 D2 D3 D4 D5 D6 D7 D8 D9 DA DB DC DD DE DF";
// A selection answer: 8 words, type 2, attributes 3.
const std::vector<uint8_t> kSelected = {0x08, 0x00, 0x43, 0x00};

std::string zero_hex(size_t count)
{
    return to_hex(zeros(count));
}

struct Sent {
    uint16_t command;
    std::string request;
};

void expect_sent(const ScriptedDriver &driver, const std::vector<Sent> &expected)
{
    const auto commands = driver.commands();
    ASSERT_EQ(commands.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++) {
        SCOPED_TRACE("command " + std::to_string(i));
        EXPECT_EQ(commands[i].command, expected[i].command);
        EXPECT_EQ(to_hex(commands[i].request()), to_hex(hex(expected[i].request)));
    }
}

TEST(HmacSequence, SelectsAndHashesInnerThenOuter)
{
    OpenToken token;
    token.driver.script_command(DriverReply::bytes(kSelected));
    token.driver.script_command(DriverReply::bytes(hex(kInnerHex)));
    token.driver.script_command(DriverReply::bytes(kSelected));
    token.driver.script_command(DriverReply::bytes(hex(kOuterHex)));
    std::vector<uint8_t> data(55);
    for (size_t i = 0; i < data.size(); i++)
        data[i] = (uint8_t)(0x10 + i);
    uint8_t digest[16];
    ASSERT_EQ(Pyxo_HMAC_MD5(&token.context, 0x01020304, 5, 0x0A0B0C0D, 6, data.data(), 55, digest),
              PYXO_OK);
    expect_sent(token.driver,
                {
                    {0x105, "04 03 02 01 05 00 00 00"},
                    // 55 bytes, 0x80 at block byte 55, bit count 952.
                    {0x111, kZeroChainingHex + " " + to_hex(data) + " 80 B8 03 00 00 00 00 00 00"},
                    {0x105, "0D 0C 0B 0A 06 00 00 00"},
                    // The inner hash, 0x80 at block byte 16, bit count 640.
                    {0x111, kZeroChainingHex + " " + kInnerHex + " 80 " + zero_hex(39) +
                                " 80 02 00 00 00 00 00 00"},
                });
    EXPECT_EQ(to_hex(digest, 16), to_hex(hex(kOuterHex)));
    // The outer key file stays selected.
    EXPECT_EQ(token.context.current_dir_id, 0x0A0B0C0Du);
    EXPECT_EQ(token.context.current_file_id, 6u);
    EXPECT_EQ(token.context.current_file_type, 2);
    EXPECT_EQ(token.context.current_file_attr, 3);
}

TEST(HmacSequence, EmptyMessage)
{
    OpenToken token(kNarrowModel);
    token.driver.script_command(DriverReply::bytes(kSelected));
    token.driver.script_command(DriverReply::bytes(hex(kInnerHex)));
    token.driver.script_command(DriverReply::bytes(kSelected));
    token.driver.script_command(DriverReply::bytes(hex(kOuterHex)));
    uint8_t digest[16];
    ASSERT_EQ(Pyxo_HMAC_MD5(&token.context, 0x1234, 0x56, 0xFFFF, 0xFF, nullptr, 0, digest),
              PYXO_OK);
    expect_sent(token.driver,
                {
                    {0x105, "34 12 56 00"},
                    {0x111, kZeroChainingHex + " 80 " + zero_hex(55) + " 00 02 00 00 00 00 00 00"},
                    {0x105, "FF FF FF 00"},
                    {0x111, kZeroChainingHex + " " + kInnerHex + " 80 " + zero_hex(39) +
                                " 80 02 00 00 00 00 00 00"},
                });
    EXPECT_EQ(to_hex(digest, 16), to_hex(hex(kOuterHex)));
}

struct StepFailure {
    const char *name;
    size_t step; // the command that fails, counted from 0
    DriverReply reply;
    uint32_t status;
};

// Scripts success up to the failing step and checks that nothing follows it.
void run_failure(const StepFailure &row, const std::vector<DriverReply> &successes,
                 const std::function<uint32_t(PYXO_CONTEXT *)> &call)
{
    SCOPED_TRACE(row.name);
    OpenToken token;
    for (size_t i = 0; i < row.step; i++)
        token.driver.script_command(successes[i]);
    token.driver.script_command(row.reply);
    EXPECT_EQ(call(&token.context), row.status);
    EXPECT_EQ(token.driver.commands().size(), row.step + 1);
}

TEST(HmacSequence, FailureAtEachStepEndsTheCall)
{
    const std::vector<DriverReply> successes = {
        DriverReply::bytes(kSelected), DriverReply::bytes(hex(kInnerHex)),
        DriverReply::bytes(kSelected), DriverReply::bytes(hex(kOuterHex))};
    const StepFailure cases[] = {
        {"inner select refused", 0, DriverReply::status(0x0A), PYXO_ERR_NO_SPACE},
        {"inner hash refused", 1, DriverReply::status(0x01), PYXO_ERR_ACCESS_DENIED},
        {"inner hash short", 1, DriverReply::bytes({1, 2, 3}), PYXO_ERR_RESPONSE_LENGTH},
        {"outer select refused", 2, DriverReply::status(0x03), PYXO_ERR_3},
        {"outer hash refused", 3, DriverReply::status(0x0B), PYXO_ERR_INVALID_PARAMETER},
    };
    const uint8_t data[4] = {1, 2, 3, 4};
    for (const StepFailure &row : cases) {
        run_failure(row, successes, [&](PYXO_CONTEXT *context) {
            uint8_t digest[16];
            return Pyxo_HMAC_MD5(context, 1, 2, 3, 4, data, sizeof data, digest);
        });
    }
}

TEST(ChapSequence, SelectsTheSecretAndHashesIdentifierLengthChallenge)
{
    OpenToken token;
    token.driver.script_command(DriverReply::bytes(kSelected));
    token.driver.script_command(DriverReply::bytes(zeros(16)));
    std::vector<uint8_t> challenge(50);
    for (size_t i = 0; i < challenge.size(); i++)
        challenge[i] = (uint8_t)(0x40 + i);
    uint8_t digest[16];
    ASSERT_EQ(Pyxo_CHAP_MD5(&token.context, 9, 0x100, 0x1FF, challenge.data(), 50, digest),
              PYXO_OK);
    expect_sent(token.driver,
                {
                    {0x105, "09 00 00 00 00 01 00 00"},
                    // Identifier 0xFF, length 50 (0x32), challenge, 0x80 at block byte 52.
                    {0x118, kInitialValueHex + " FF 32 " + to_hex(challenge) + " 80 " + zero_hex(11)},
                });
    EXPECT_EQ(to_hex(digest, 16), to_hex(hex(kInitialValueHex)));
    EXPECT_EQ(token.context.current_dir_id, 9u);
    EXPECT_EQ(token.context.current_file_id, 0x100u);
}

TEST(ChapSequence, EmptyChallenge)
{
    OpenToken token;
    token.driver.script_command(DriverReply::bytes(kSelected));
    token.driver.script_command(DriverReply::bytes(zeros(16)));
    uint8_t digest[16];
    ASSERT_EQ(Pyxo_CHAP_MD5(&token.context, 1, 2, 7, nullptr, 0, digest), PYXO_OK);
    expect_sent(token.driver, {
                                  {0x105, "01 00 00 00 02 00 00 00"},
                                  {0x118, kInitialValueHex + " 07 00 80 " + zero_hex(61)},
                              });
}

TEST(ChapSequence, FailureAtEachStepEndsTheCall)
{
    const std::vector<DriverReply> successes = {DriverReply::bytes(kSelected),
                                                DriverReply::bytes(zeros(16))};
    const StepFailure cases[] = {
        {"select refused", 0, DriverReply::status(0x01), PYXO_ERR_ACCESS_DENIED},
        {"select answer short", 0, DriverReply::bytes({1, 2}), PYXO_ERR_RESPONSE_LENGTH},
        {"hash refused", 1, DriverReply::status(0x0C), PYXO_ERR_20},
    };
    const uint8_t challenge[8] = {};
    for (const StepFailure &row : cases) {
        run_failure(row, successes, [&](PYXO_CONTEXT *context) {
            uint8_t digest[16];
            return Pyxo_CHAP_MD5(context, 1, 2, 3, challenge, sizeof challenge, digest);
        });
    }
}

// One argument check: what it answers on a context that is not open, and
// whether an open context lets the call go on to send.
struct ArgumentCase {
    const char *name;
    std::function<uint32_t(PYXO_CONTEXT *, const uint8_t *data)> call;
    uint32_t unopened_status; // also the answer on an open context when nothing is sent
    bool sends;
};

std::vector<ArgumentCase> argument_cases()
{
    const auto hmac = [](int32_t length) {
        return [length](PYXO_CONTEXT *c, const uint8_t *data) {
            uint8_t digest[16];
            return Pyxo_HMAC_MD5(c, 1, 1, 1, 2, data, length, digest);
        };
    };
    const auto chap = [](int32_t length) {
        return [length](PYXO_CONTEXT *c, const uint8_t *data) {
            uint8_t digest[16];
            return Pyxo_CHAP_MD5(c, 1, 3, 0, data, length, digest);
        };
    };
    const auto hash = [](uint32_t mode, uint32_t length) {
        return [mode, length](PYXO_CONTEXT *c, const uint8_t *data) {
            uint8_t digest[16];
            return Pyxo_HashToken(c, mode, data, length, digest);
        };
    };
    return {
        {"HMAC 56 bytes", hmac(56), PYXO_ERR_DATA_TOO_LONG, false},
        {"HMAC length -1", hmac(-1), PYXO_ERR_INVALID_PARAMETER, false},
        {"HMAC length INT32_MIN", hmac(INT32_MIN), PYXO_ERR_INVALID_PARAMETER, false},
        {"HMAC 55 bytes", hmac(55), PYXO_ERR_NO_DEVICE, true},
        {"CHAP 51 bytes", chap(51), PYXO_ERR_DATA_TOO_LONG, false},
        {"CHAP length -1", chap(-1), PYXO_ERR_INVALID_PARAMETER, false},
        {"CHAP length INT32_MIN", chap(INT32_MIN), PYXO_ERR_INVALID_PARAMETER, false},
        {"CHAP 50 bytes", chap(50), PYXO_ERR_NO_DEVICE, true},
        {"hash mode 3", hash(3, 8), PYXO_ERR_INVALID_PARAMETER, false},
        {"hash mode 0xF3", hash(0xF3, 8), PYXO_ERR_INVALID_PARAMETER, false},
        {"hash CHAP mode 53 bytes", hash(PYXO_HASH_MODE_CHAP, 53), PYXO_ERR_DATA_TOO_LONG, false},
        {"hash CHAP mode 52 bytes", hash(PYXO_HASH_MODE_CHAP, 52), PYXO_ERR_NO_DEVICE, true},
        {"hash raw mode 64 bytes", hash(PYXO_HASH_MODE_RAW, 64), PYXO_ERR_NO_DEVICE, true},
    };
}

TEST(ArgumentChecks, AnsweredBeforeTheExchangeEvenWhenNotOpen)
{
    const std::vector<uint8_t> data(64, 0x5A);
    for (const ArgumentCase &row : argument_cases()) {
        SCOPED_TRACE(row.name);
        PYXO_CONTEXT context = unopened_context();
        EXPECT_EQ(row.call(&context, data.data()), row.unopened_status);
    }
}

TEST(ArgumentChecks, RefusedCallsSendNothingAndLeaveTheContextAlone)
{
    const std::vector<uint8_t> data(64, 0x5A);
    for (const ArgumentCase &row : argument_cases()) {
        if (row.sends)
            continue;
        SCOPED_TRACE(row.name);
        OpenToken token;
        token.context.current_dir_id = 0x11;
        token.context.current_file_id = 0x22;
        token.context.current_file_type = 4;
        token.context.current_file_attr = 1;
        const PYXO_CONTEXT before = token.context;
        EXPECT_EQ(row.call(&token.context, data.data()), row.unopened_status);
        EXPECT_TRUE(token.driver.commands().empty());
        EXPECT_EQ(std::memcmp(&before, &token.context, sizeof before), 0);
    }
}

// Identifiers that do not fit the narrow form stop the sequence in its
// first selection, before anything is sent.
TEST(ArgumentChecks, NarrowIdentifiersOutOfRangeStopTheFirstSelection)
{
    OpenToken token(kNarrowModel);
    const uint8_t data[4] = {};
    uint8_t digest[16];
    EXPECT_EQ(Pyxo_HMAC_MD5(&token.context, 0x10000, 1, 1, 2, data, 4, digest),
              PYXO_ERR_INVALID_PARAMETER);
    EXPECT_EQ(Pyxo_CHAP_MD5(&token.context, 1, 0x100, 0, data, 4, digest),
              PYXO_ERR_INVALID_PARAMETER);
    EXPECT_TRUE(token.driver.commands().empty());
}

} // namespace
