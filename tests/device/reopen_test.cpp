// Opening a record that was opened before (the three modes over a record's
// life) and closing it, checked by the driver's requests and the record's
// bytes.
#include <gtest/gtest.h>

#include <cstring>

#include "support/context_bytes.h"
#include "support/open_token.h"
#include "support/trace.h"

namespace vuxa_test {
namespace {

void *const kInvalidHandle = reinterpret_cast<void *>(intptr_t(-1));
const std::array<uint8_t, 8> kSerialA = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
const std::array<uint8_t, 8> kSerialB = {0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8};

DriverDevice token_a()
{
    return DriverDevice::token(0x50, 0x1000, kSerialA);
}

DriverDevice token_b()
{
    return DriverDevice::token(0x4F, 0x0800, kSerialB);
}

// A record closed from `open`: handle gone, flag clear, no file selected.
PYXO_CONTEXT closed_from(PYXO_CONTEXT open)
{
    open.device_handle = kInvalidHandle;
    open.flags &= ~PYXO_FLAG_ATTACHED;
    open.current_file_type = 0xFF;
    open.current_file_attr = 0;
    return open;
}

TEST(Reopen, FirstTokenAttachedElsewhereThenNext)
{
    ScriptedDriver driver;
    DriverDevice busy = token_a();
    busy.attached_elsewhere = true;
    driver.add_device(busy);
    driver.add_device(token_b());
    PYXO_CONTEXT context{};
    EXPECT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST), PYXO_ERR_DEVICE_21);
    EXPECT_EQ(context.device_index, 1u); // one past the token found busy
    EXPECT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_NEXT), PYXO_OK);
    EXPECT_EQ(trace(driver), "#1 version attach@0 #2 version attach@1 cmd102@2");
    EXPECT_EQ(context.device_index, 2u);
    EXPECT_EQ(context.serial_number[0], 0xB4B3B2B1u);
    EXPECT_EQ(context.id_size, 4u);
    EXPECT_TRUE(driver.attached(1));
    Pyxo_CloseDevice(&context);
}

TEST(Reopen, NextMovesOnToTheFollowingToken)
{
    ScriptedDriver driver;
    driver.add_device(token_a());
    driver.add_device(token_b());
    PYXO_CONTEXT context{};
    ASSERT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST), PYXO_OK);
    EXPECT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_NEXT), PYXO_OK);
    EXPECT_EQ(context.serial_number[1], 0xB8B7B6B5u);
    // Past the last token the search runs out.
    EXPECT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_NEXT), PYXO_ERR_NO_DEVICE);
    EXPECT_EQ(trace(driver), "#1 version attach@0 cmd102@1 release@1 "
                             "#2 version attach@1 cmd102@2 release@2 "
                             "#3 version attach@2");
    EXPECT_TRUE(driver.wait_for_open_connections(0));
}

TEST(Reopen, OpeningAnOpenRecordReleasesTheOldTokenFirst)
{
    OpenToken token;
    const PYXO_CONTEXT before = token.context;
    EXPECT_EQ(Pyxo_OpenDevice(&token.context, PYXO_OPEN_FIRST), PYXO_OK);
    EXPECT_EQ(trace(token.driver), "#1 release@1 #2 version attach@0 cmd102@1");
    EXPECT_TRUE(token.driver.wait_for_open_connections(1));
    EXPECT_TRUE(token.driver.attached(0));
    PYXO_CONTEXT expected = before;
    expected.device_handle = token.context.device_handle;
    EXPECT_TRUE(same_record(expected, token.context));
}

TEST(Reopen, UnknownModeClosesAnOpenRecord)
{
    OpenToken token;
    token.context.current_file_type = 2;
    token.context.current_file_attr = 3;
    const PYXO_CONTEXT before = token.context;
    EXPECT_EQ(Pyxo_OpenDevice(&token.context, 3), PYXO_ERR_INVALID_PARAMETER);
    EXPECT_EQ(trace(token.driver), "#1 release@1");
    EXPECT_TRUE(same_record(closed_from(before), token.context));
    EXPECT_TRUE(token.driver.wait_for_open_connections(0));
    EXPECT_FALSE(token.driver.attached(0));
}

TEST(Reopen, SameFindsTheTokenAgain)
{
    OpenToken token;
    const PYXO_CONTEXT before = token.context;
    EXPECT_EQ(Pyxo_OpenDevice(&token.context, PYXO_OPEN_SAME), PYXO_OK);
    EXPECT_EQ(trace(token.driver), "#1 release@1 #2 version attach@0 cmd102@1");
    PYXO_CONTEXT expected = before;
    expected.device_handle = token.context.device_handle;
    EXPECT_TRUE(same_record(expected, token.context));
}

TEST(Reopen, SameSkipsAnotherTokenPutInItsPlace)
{
    ScriptedDriver driver;
    driver.add_device(token_a());
    PYXO_CONTEXT context{};
    ASSERT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST), PYXO_OK);
    Pyxo_CloseDevice(&context);
    const PYXO_CONTEXT before = context;
    driver.replace_device(0, token_b());
    driver.clear_requests();

    EXPECT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_SAME), PYXO_ERR_NO_DEVICE);
    EXPECT_EQ(trace(driver), "#2 version attach@0 cmd102@1 release@1 attach@1");
    // The other token's description stays; its serial number is not taken.
    PYXO_CONTEXT expected = before;
    expected.model = 0x4F;
    expected.id_size = 4;
    expected.memory_size = 4096;
    EXPECT_TRUE(same_record(expected, context));
    EXPECT_FALSE(driver.attached(0));
}

TEST(Reopen, SameFindsTheTokenAtAnotherPosition)
{
    ScriptedDriver driver;
    driver.add_device(token_a());
    PYXO_CONTEXT context{};
    ASSERT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST), PYXO_OK);
    Pyxo_CloseDevice(&context);
    const PYXO_CONTEXT before = context;
    driver.replace_device(0, token_b());
    driver.add_device(token_a()); // the token moved one position on
    driver.clear_requests();

    EXPECT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_SAME), PYXO_OK);
    EXPECT_EQ(trace(driver), "#2 version attach@0 cmd102@1 release@1 attach@1 cmd102@2");
    PYXO_CONTEXT expected = before;
    expected.device_handle = context.device_handle;
    expected.flags = PYXO_FLAG_ATTACHED;
    expected.device_index = 2;
    EXPECT_TRUE(same_record(expected, context));
    EXPECT_TRUE(driver.attached(1));
    Pyxo_CloseDevice(&context);
}

TEST(Reopen, AFailedOpenLeavesNoFileSelected)
{
    OpenToken token;
    token.context.current_file_type = 1;
    token.context.current_file_attr = 0x1F;
    token.driver.set_version(0x80);
    EXPECT_EQ(Pyxo_OpenDevice(&token.context, PYXO_OPEN_FIRST), PYXO_ERR_DRIVER_VERSION);
    EXPECT_EQ(token.context.current_file_type, 0xFF);
    EXPECT_EQ(token.context.current_file_attr, 0);
    EXPECT_EQ(token.context.device_handle, kInvalidHandle);
    EXPECT_EQ(token.context.driver_version, 0x80u);
}

// -------------------------------------------------------------- close

TEST(Close, ReleasesTheTokenAndClosesTheHandle)
{
    OpenToken token;
    token.context.current_file_type = 2;
    const PYXO_CONTEXT before = token.context;
    EXPECT_EQ(Pyxo_CloseDevice(&token.context), PYXO_OK);
    EXPECT_EQ(trace(token.driver), "#1 release@1");
    EXPECT_TRUE(same_record(closed_from(before), token.context));
    EXPECT_TRUE(token.driver.wait_for_open_connections(0));
    EXPECT_FALSE(token.driver.attached(0));

    // A second close sends nothing and changes nothing.
    token.driver.clear_requests();
    const PYXO_CONTEXT closed = token.context;
    EXPECT_EQ(Pyxo_CloseDevice(&token.context), PYXO_OK);
    EXPECT_TRUE(token.driver.requests().empty());
    EXPECT_TRUE(same_record(closed, token.context));
}

TEST(Close, OnAClosedRecordChangesOnlyTheSelection)
{
    ScriptedDriver driver;
    PYXO_CONTEXT context = initialised_context();
    context.device_index = 7;
    context.flags = PYXO_FLAG_ATTACHED; // no handle: nothing can be released
    context.current_dir_id = 5;
    context.current_file_type = 4;
    context.current_file_attr = 0x11;
    PYXO_CONTEXT expected = context;
    expected.current_file_type = 0xFF;
    expected.current_file_attr = 0;
    EXPECT_EQ(Pyxo_CloseDevice(&context), PYXO_OK);
    EXPECT_TRUE(same_record(expected, context));
    EXPECT_TRUE(driver.requests().empty());
}

TEST(Close, LeavesARecordWithoutTheSignatureUntouched)
{
    ScriptedDriver driver;
    PYXO_CONTEXT zero = unopened_context();
    EXPECT_EQ(Pyxo_CloseDevice(&zero), PYXO_OK);
    EXPECT_TRUE(same_record(unopened_context(), zero));

    PYXO_CONTEXT junk;
    std::memset(&junk, 0x5A, sizeof junk);
    const PYXO_CONTEXT before = junk;
    EXPECT_EQ(Pyxo_CloseDevice(&junk), PYXO_OK);
    EXPECT_TRUE(same_record(before, junk));
    EXPECT_TRUE(driver.requests().empty());
}

TEST(Close, TwoRecordsHoldTwoTokensIndependently)
{
    ScriptedDriver driver;
    driver.add_device(token_a());
    driver.add_device(token_b());
    PYXO_CONTEXT first{}, second{};
    ASSERT_EQ(Pyxo_OpenDevice(&first, PYXO_OPEN_FIRST), PYXO_OK);
    // The first token is held by the other record's connection: 21.
    EXPECT_EQ(Pyxo_OpenDevice(&second, PYXO_OPEN_FIRST), PYXO_ERR_DEVICE_21);
    ASSERT_EQ(Pyxo_OpenDevice(&second, PYXO_OPEN_NEXT), PYXO_OK);
    EXPECT_NE(first.device_handle, second.device_handle);
    EXPECT_EQ(Pyxo_CloseDevice(&first), PYXO_OK);
    EXPECT_TRUE(driver.attached(1));
    uint32_t serial[2];
    EXPECT_EQ(Pyxo_GetSerialNumber(&second, serial), PYXO_OK);
    EXPECT_EQ(serial[0], 0xB4B3B2B1u);
    Pyxo_CloseDevice(&second);
}

} // namespace
} // namespace vuxa_test
