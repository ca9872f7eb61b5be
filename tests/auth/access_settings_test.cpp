// Packing and unpacking the access settings, and their range check.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "support/hex.h"
#include "support/open_token.h"

using namespace vuxa_test;

namespace {

constexpr uint32_t kErrorInvalidHandle = 6;

bool same(const PYXO_ACCESS_SETTINGS &a, const PYXO_ACCESS_SETTINGS &b)
{
    return a.nibble_high == b.nibble_high && a.nibble_low == b.nibble_low &&
           a.octal_high == b.octal_high && a.octal_low == b.octal_low;
}

std::string show(const PYXO_ACCESS_SETTINGS &s)
{
    return std::to_string(s.nibble_high) + "/" + std::to_string(s.nibble_low) + "/" +
           std::to_string(s.octal_high) + "/" + std::to_string(s.octal_low);
}

struct UnpackCase {
    const char *answer; // settings byte 0, settings byte 1
    PYXO_ACCESS_SETTINGS expected;
};

TEST(AccessSettings, AnswerIsUnpackedIntoFourValues)
{
    const UnpackCase cases[] = {
        {"C5 A3", {10, 3, 0, 5}}, // bits 7-6 of settings byte 0 are dropped
        {"FF FF", {15, 15, 7, 7}},
        {"3F 00", {0, 0, 7, 7}},
        {"00 F0", {15, 0, 0, 0}},
        {"08 0F", {0, 15, 1, 0}},
        {"00 00", {0, 0, 0, 0}},
    };
    for (const UnpackCase &row : cases) {
        SCOPED_TRACE(row.answer);
        OpenToken token;
        token.driver.script_command(DriverReply::bytes(hex(row.answer)));
        PYXO_ACCESS_SETTINGS settings = {99, 99, 99, 99};
        ASSERT_EQ(Pyxo_GetAccessSettings(&token.context, &settings), PYXO_OK);
        EXPECT_TRUE(same(settings, row.expected)) << show(settings);
    }
}

TEST(AccessSettings, FailedReadLeavesTheRecordAlone)
{
    const DriverReply replies[] = {DriverReply::status(0x01), DriverReply::status(0x00),
                                   DriverReply::empty(), DriverReply::fail(kErrorInvalidHandle)};
    for (const DriverReply &reply : replies) {
        OpenToken token;
        token.driver.script_command(reply);
        PYXO_ACCESS_SETTINGS settings = {9, 9, 9, 9};
        EXPECT_NE(Pyxo_GetAccessSettings(&token.context, &settings), PYXO_OK);
        EXPECT_TRUE(same(settings, {9, 9, 9, 9})) << show(settings);
    }
}

TEST(AccessSettings, ValueOutOfRangeIsRefusedBeforeAnythingIsSent)
{
    const PYXO_ACCESS_SETTINGS cases[] = {
        {16, 0, 0, 0}, {0, 16, 0, 0}, {0, 0, 8, 0}, {0, 0, 0, 8}, {255, 255, 255, 255},
        {15, 15, 7, 8}, {16, 15, 7, 7},
    };
    for (const PYXO_ACCESS_SETTINGS &settings : cases) {
        SCOPED_TRACE(show(settings));
        OpenToken token;
        EXPECT_EQ(Pyxo_SetAccessSettings(&token.context, &settings), PYXO_ERR_INVALID_PARAMETER);
        EXPECT_TRUE(token.driver.commands().empty());
        PYXO_CONTEXT unopened = unopened_context();
        EXPECT_EQ(Pyxo_SetAccessSettings(&unopened, &settings), PYXO_ERR_INVALID_PARAMETER);
    }
}

// A token that keeps the two settings bytes it was sent and answers them
// back, so that every record in range travels out and back again.
TEST(AccessSettings, EveryRecordInRangeRoundTrips)
{
    OpenToken token;
    auto stored = std::make_shared<std::array<uint8_t, 2>>();
    token.driver.on_command([stored](const CommandBlock &block) -> std::optional<DriverReply> {
        if (block.command == 0x101 && block.param1 == 1 && block.payload.size() == 2) {
            *stored = {block.payload[0], block.payload[1]};
            return DriverReply::status(0x00);
        }
        if (block.command == 0x103)
            return DriverReply::bytes({(*stored)[0], (*stored)[1]});
        return DriverReply::status(0x0B);
    });
    for (uint8_t nh = 0; nh <= 15; nh++) {
        for (uint8_t nl = 0; nl <= 15; nl++) {
            for (uint8_t oh = 0; oh <= 7; oh++) {
                for (uint8_t ol = 0; ol <= 7; ol++) {
                    const PYXO_ACCESS_SETTINGS sent = {nh, nl, oh, ol};
                    PYXO_ACCESS_SETTINGS read = {99, 99, 99, 99};
                    ASSERT_EQ(Pyxo_SetAccessSettings(&token.context, &sent), PYXO_OK);
                    ASSERT_EQ((*stored)[0] & 0xC0, 0) << show(sent);
                    ASSERT_EQ(Pyxo_GetAccessSettings(&token.context, &read), PYXO_OK);
                    ASSERT_TRUE(same(sent, read)) << show(sent) << " came back as " << show(read);
                }
            }
        }
    }
}

} // namespace
