// The library through the real Windows path: Wine's CreateFileA and
// DeviceIoControl into the virtual token's kernel driver.  Built twice, once
// linked with each DLL's import library.
#include <gtest/gtest.h>

#include <cstring>

#include "driver_device.h"
#include "pyxo.h"
#include "vtd_client.h"
#include "vtd_manage.h"

namespace vuxa_windows_test {
namespace {

constexpr DWORD kIoctlVersion = 0x220400;
constexpr DWORD kIoctlAttach = 0x220404;
constexpr uint8_t kWideModel = 0x50;
constexpr uint8_t kNarrowModel = 0x48;

// Token options with a serial number of eight bytes seed, seed + 0x11, ...
vtd_client::TokenOptions token(uint8_t model, uint8_t serial_seed)
{
    vtd_client::TokenOptions options;
    options.model = model;
    options.random_serial = false;
    for (size_t i = 0; i < options.serial.size(); i++)
        options.serial[i] = uint8_t(serial_seed + 0x11 * i);
    return options;
}

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(manager.error(), 0u) << "no driver";
        remove_all();
    }
    void TearDown() override
    {
        Pyxo_CloseDevice(&first);
        Pyxo_CloseDevice(&second);
        remove_all();
    }

    void remove_all()
    {
        for (uint32_t position = 0; position < VTD_POSITIONS; position++)
            manager.remove(position);
    }
    uint32_t insert_token(const vtd_client::TokenOptions &options, uint32_t position)
    {
        return manager.insert_token(position, vtd_client::new_token_image(options), true);
    }

    static PYXO_CONTEXT fresh_context()
    {
        PYXO_CONTEXT context;
        std::memset(&context, 0, sizeof context);
        return context;
    }

    vtd_client::Connection manager;
    PYXO_CONTEXT first = fresh_context();
    PYXO_CONTEXT second = fresh_context();
};

TEST_F(DriverTest, VersionControlAnswersFourBytes)
{
    DriverDevice device;
    Reply reply = device.control(kIoctlVersion, {}, 4);
    ASSERT_TRUE(reply.ok) << reply.error;
    EXPECT_EQ(reply.returned, 4u);
    EXPECT_EQ(reply.output, (Bytes{0x00, 0x01, 0x00, 0x00}));
}

// A failing control reports its Win32 error; Windows copies nothing back
// and leaves the caller's byte count as it was.
TEST_F(DriverTest, FailingControlKeepsByteCountAndBuffer)
{
    DriverDevice device;
    struct Case {
        DWORD code;
        Bytes in;
        DWORD error;
    };
    const Case cases[] = {
        {0x22FFFC, {}, ERROR_INVALID_FUNCTION},                   // unknown control
        {kIoctlAttach, Bytes(47, 0), ERROR_INVALID_PARAMETER},    // block too short
        {VTD_IOCTL_REMOVE, {0x07, 0, 0, 0}, 1167},                // empty position
        {VTD_IOCTL_REMOVE, {0x08, 0, 0, 0}, ERROR_INVALID_PARAMETER}, // no such position
    };
    for (const Case &c : cases) {
        Reply reply = device.control(c.code, c.in, 48, 0x5A5A);
        EXPECT_FALSE(reply.ok);
        EXPECT_EQ(reply.error, c.error) << std::hex << c.code;
        EXPECT_EQ(reply.returned, 0x5A5Au);
        EXPECT_EQ(reply.output, Bytes(48, 0xEE));
    }
}

TEST_F(DriverTest, OpenReadsTheInsertedTokensSerialNumber)
{
    vtd_client::TokenOptions options = token(kWideModel, 0x21);
    ASSERT_EQ(insert_token(options, 0), 0u);

    ASSERT_EQ(Pyxo_OpenDevice(&first, PYXO_OPEN_FIRST), PYXO_OK);
    EXPECT_EQ(first.model, kWideModel);
    EXPECT_EQ(first.id_size, 8u);
    EXPECT_EQ(first.memory_size, 2u * options.memory_words);
    uint32_t serial[2] = {};
    ASSERT_EQ(Pyxo_GetSerialNumber(&first, serial), PYXO_OK);
    EXPECT_EQ(serial[0], 0x54433221u);
    EXPECT_EQ(serial[1], 0x98877665u);
    EXPECT_EQ(first.serial_number[0], serial[0]);
    EXPECT_EQ(first.serial_number[1], serial[1]);
    EXPECT_EQ(Pyxo_LedControl(&first, 1), PYXO_OK);
    EXPECT_EQ(Pyxo_CloseDevice(&first), PYXO_OK);
    EXPECT_EQ(first.device_handle, INVALID_HANDLE_VALUE);
}

// Each context has its own handle: the token attached to one is refused to
// the other, which then moves on to the next token.
TEST_F(DriverTest, SecondContextIsRefusedTheAttachedTokenAndTakesTheNext)
{
    ASSERT_EQ(insert_token(token(kWideModel, 0x30), 0), 0u);
    ASSERT_EQ(insert_token(token(kNarrowModel, 0x40), 1), 0u);

    ASSERT_EQ(Pyxo_OpenDevice(&first, PYXO_OPEN_FIRST), PYXO_OK);
    EXPECT_EQ(Pyxo_OpenDevice(&second, PYXO_OPEN_FIRST), PYXO_ERR_DEVICE_21);
    ASSERT_EQ(Pyxo_OpenDevice(&second, PYXO_OPEN_NEXT), PYXO_OK);
    EXPECT_EQ(second.model, kNarrowModel);
    EXPECT_EQ(second.id_size, 4u);
    EXPECT_EQ(second.serial_number[0], 0x73625140u);
}

// Closing a driver handle releases what it attached, even when the
// application never released it: the driver does that on IRP_MJ_CLOSE.
TEST_F(DriverTest, ClosingTheHandleReleasesItsToken)
{
    ASSERT_EQ(insert_token(token(kWideModel, 0x50), 0), 0u);
    DriverDevice device;
    Bytes block(48, 0);
    block[4] = 1;    // attach
    block[12] = 0xFF; // attach_status
    Reply attached = device.control(kIoctlAttach, block, 48);
    ASSERT_TRUE(attached.ok) << attached.error;
    ASSERT_EQ(attached.output[12], 0);
    EXPECT_EQ(Pyxo_OpenDevice(&first, PYXO_OPEN_FIRST), PYXO_ERR_DEVICE_21);

    device.close();
    EXPECT_EQ(Pyxo_OpenDevice(&first, PYXO_OPEN_FIRST), PYXO_OK);
}

TEST_F(DriverTest, OpenSameFindsTheTokenAgainBySerialNumber)
{
    ASSERT_EQ(insert_token(token(kWideModel, 0x60), 0), 0u);
    ASSERT_EQ(insert_token(token(kWideModel, 0x70), 1), 0u);
    ASSERT_EQ(Pyxo_OpenDevice(&first, PYXO_OPEN_FIRST), PYXO_OK);
    ASSERT_EQ(Pyxo_OpenDevice(&first, PYXO_OPEN_NEXT), PYXO_OK);
    EXPECT_EQ(first.serial_number[0], 0xA3928170u);
    ASSERT_EQ(Pyxo_OpenDevice(&first, PYXO_OPEN_SAME), PYXO_OK);
    EXPECT_EQ(first.serial_number[0], 0xA3928170u);
}

// File data crosses the driver in chunks of 76 bytes out and 64 bytes back,
// each in a 272-byte command block through the system buffer.
TEST_F(DriverTest, FileWrittenThroughTheLibraryReadsBack)
{
    constexpr uint8_t kDataFile = 2, kAlways = 0;
    vtd_client::TokenBuilder builder(token(kWideModel, 0x80));
    builder.dir(1, 512).file(1, 2, kDataFile, kAlways, kAlways, 200);
    ASSERT_EQ(builder.status(), 0u);
    ASSERT_EQ(manager.insert_token(0, builder.image(), true), 0u);
    ASSERT_EQ(Pyxo_OpenDevice(&first, PYXO_OPEN_FIRST), PYXO_OK);

    PYXO_FILEINFO entry{}; // position 0 is the directory's own record
    ASSERT_EQ(Pyxo_Dir(&first, 1, 1, &entry), PYXO_OK);
    EXPECT_EQ(entry.file_id, 2u);
    EXPECT_EQ(entry.size, 200u);
    EXPECT_EQ(entry.type, kDataFile);

    ASSERT_EQ(Pyxo_SelectFile(&first, 1, 2), PYXO_OK);
    Bytes data(200);
    for (size_t i = 0; i < data.size(); i++)
        data[i] = uint8_t(i * 7 + 3);
    Bytes sent = data; // the library wipes the buffer it wrote from
    uint32_t written = 0, read = 0;
    ASSERT_EQ(Pyxo_WriteFile(&first, sent.data(), 0, 200, &written), PYXO_OK);
    EXPECT_EQ(written, 200u);
    Bytes back(200);
    ASSERT_EQ(Pyxo_ReadFile(&first, back.data(), 0, 200, &read), PYXO_OK);
    EXPECT_EQ(read, 200u);
    EXPECT_EQ(back, data);
}

// Keyed hashing inside the token gives what the host computes: HMAC-MD5
// from the key states HMAC_MD5 hands out, CHAP-MD5 from a secret file.
TEST_F(DriverTest, TokenHashesMatchTheHost)
{
    const Bytes key = {'W', 'i', 'n', 'e', ' ', 'k', 'e', 'y'};
    const Bytes secret = {'s', 'e', 'c', 'r', 'e', 't'};
    uint8_t inner[16], outer[16], ignored[16];
    HMAC_MD5(nullptr, 0, key.data(), int32_t(key.size()), inner, outer, ignored);
    vtd_client::TokenBuilder builder(token(kWideModel, 0x90));
    builder.dir(3, 512).hmac_key_file(3, 1, inner).hmac_key_file(3, 2, outer);
    builder.chap_secret_file(3, 3, secret);
    ASSERT_EQ(builder.status(), 0u);
    ASSERT_EQ(manager.insert_token(0, builder.image(), true), 0u);
    ASSERT_EQ(Pyxo_OpenDevice(&first, PYXO_OPEN_FIRST), PYXO_OK);

    Bytes message(55);
    for (size_t i = 0; i < message.size(); i++)
        message[i] = uint8_t(0xC0 ^ i);
    for (uint32_t length : {0u, 1u, 31u, 50u, 55u}) {
        uint8_t on_token[16], on_host[16];
        ASSERT_EQ(Pyxo_HMAC_MD5(&first, 3, 1, 3, 2, message.data(), int32_t(length), on_token),
                  PYXO_OK);
        HMAC_MD5(message.data(), length, key.data(), int32_t(key.size()), nullptr, nullptr,
                 on_host);
        EXPECT_EQ(Bytes(on_token, on_token + 16), Bytes(on_host, on_host + 16)) << length;
        if (length > 50)
            continue;
        ASSERT_EQ(Pyxo_CHAP_MD5(&first, 3, 3, 0x17, message.data(), int32_t(length), on_token),
                  PYXO_OK);
        CHAP_MD5(0x17, secret.data(), uint32_t(secret.size()), message.data(), length, on_host);
        EXPECT_EQ(Bytes(on_token, on_token + 16), Bytes(on_host, on_host + 16)) << length;
    }
}

} // namespace
} // namespace vuxa_windows_test
