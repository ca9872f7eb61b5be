// The driver's side of the library's four controls: version, attach
// (positions, attached elsewhere, 0xFFFFFFFF), release, command routing,
// and attachments ending with their handle.
#include "device/driver_interface.h"
#include "device/token_commands.h"
#include "util/bytes.h"
#include "vtd_fixture.h"

namespace vuxa_test {
namespace {

class DriverTest : public ::testing::Test {
protected:
    void token_at(uint32_t position, uint8_t serial_seed = 1)
    {
        const vtd_token_params p = token_params(kWide, 0x1000, serial_seed);
        ASSERT_EQ(vtd_new_token(driver.get(), position, &p), 0u);
    }
    Reply attach(uint32_t handle, uint32_t device_index)
    {
        return driver.control(handle, kIoctlAttach, attach_block(device_index), 48);
    }
    Reply command(uint32_t handle, uint32_t device_index, uint32_t code)
    {
        return driver.control(handle, kIoctlCommand, command_block(device_index, code, {}), 64);
    }
    Driver driver;
    uint32_t returned_ = 0;
};

TEST_F(DriverTest, VersionIsFourBytesOfAtLeast0x100)
{
    const uint32_t h = driver.open();
    const Reply r = driver.control(h, kIoctlVersion, {}, 4);
    ASSERT_EQ(r.error, 0u);
    EXPECT_EQ(to_hex(r.output), "00 01 00 00");
    EXPECT_EQ(driver.control(h, kIoctlVersion, {}, 3).error, VTD_ERROR_INSUFFICIENT_BUFFER);
}

// Attach examines the first device at or after device_index, skipping
// empty positions, and writes back one past the position it examined.
TEST_F(DriverTest, AttachExaminesFirstDeviceAtOrAfterIndex)
{
    token_at(2, 0x10);
    token_at(5, 0x20);
    const uint32_t h = driver.open();
    struct Case {
        uint32_t device_index;
        uint32_t error;
        uint32_t written_back;
    };
    const Case cases[] = {
        {0, 0, 3},
        {2, 0, 3},
        {3, 0, 6},
        {5, 0, 6},
        {6, VTD_ERROR_NO_MORE_ITEMS, 0},
        {8, VTD_ERROR_NO_MORE_ITEMS, 0},
        {0xFFFFFFFF, VTD_ERROR_NO_MORE_ITEMS, 0},
    };
    for (const Case &c : cases) {
        const Reply r = attach(h, c.device_index);
        EXPECT_EQ(r.error, c.error) << c.device_index;
        if (c.error != 0)
            continue;
        ASSERT_EQ(r.output.size(), 48u);
        EXPECT_EQ(get_le32(&r.output[PYXO_ATTACH_DEVICE_INDEX]), c.written_back);
        EXPECT_EQ(get_le32(&r.output[PYXO_ATTACH_STATUS]), 0u);
        EXPECT_EQ(to_hex(&r.output[PYXO_ATTACH_DESCRIPTOR], 8), "08 50 01 10 00 10 03 0a");
    }
}

TEST_F(DriverTest, SecondHandleGetsNonzeroStatusUntilTheFirstReleases)
{
    token_at(0);
    const uint32_t a = driver.open(), b = driver.open();
    ASSERT_EQ(get_le32(&attach(a, 0).output[PYXO_ATTACH_STATUS]), 0u);
    const Reply other = attach(b, 0);
    ASSERT_EQ(other.error, 0u);
    EXPECT_NE(get_le32(&other.output[PYXO_ATTACH_STATUS]), 0u);
    EXPECT_EQ(get_le32(&other.output[PYXO_ATTACH_DEVICE_INDEX]), 1u);
    EXPECT_EQ(command(b, 1, PYXO_CMD_SERIAL_NUMBER).error, VTD_ERROR_ACCESS_DENIED);
    // The same handle attaching again keeps its attachment.
    EXPECT_EQ(get_le32(&attach(a, 0).output[PYXO_ATTACH_STATUS]), 0u);

    EXPECT_EQ(driver.control(a, kIoctlRelease, attach_block(1), 0).error, 0u);
    EXPECT_EQ(command(a, 1, PYXO_CMD_SERIAL_NUMBER).error, VTD_ERROR_ACCESS_DENIED);
    EXPECT_EQ(get_le32(&attach(b, 0).output[PYXO_ATTACH_STATUS]), 0u);
}

TEST_F(DriverTest, ClosingAHandleReleasesEveryAttachmentAndItsSession)
{
    token_at(0);
    token_at(1, 0x30);
    const uint32_t a = driver.open();
    attach(a, 0);
    attach(a, 1);
    const Bytes pin = {0x34, 0x33, 0x32, 0x31};
    Reply r = driver.control(a, kIoctlCommand, command_block(1, PYXO_CMD_VERIFY_PIN, pin), 2);
    EXPECT_EQ(to_hex(r.output), "00");
    driver.close(a);

    const uint32_t b = driver.open();
    for (uint32_t position : {0u, 1u})
        EXPECT_EQ(get_le32(&attach(b, position).output[PYXO_ATTACH_STATUS]), 0u);
    // The PIN verified through the closed handle does not carry over.
    r = driver.control(b, kIoctlCommand, command_block(1, PYXO_CMD_SETTINGS, {1, 0, 0, 0, 0, 0}),
                       2);
    EXPECT_EQ(to_hex(r.output), "01");
    // The closed handle is unknown now.
    EXPECT_EQ(driver.control(a, kIoctlVersion, {}, 4).error, VTD_ERROR_INVALID_HANDLE);
}

TEST_F(DriverTest, CommandNamesAPositionThisHandleHolds)
{
    token_at(0);
    const uint32_t h = driver.open();
    struct Case {
        uint32_t device_index;
        uint32_t error;
    };
    // Not attached yet, no device at position 1, far out of range, index 0.
    for (const Case &c :
         {Case{1, VTD_ERROR_ACCESS_DENIED}, Case{2, VTD_ERROR_DEVICE_NOT_CONNECTED},
          Case{0x100, VTD_ERROR_DEVICE_NOT_CONNECTED}, Case{0, VTD_ERROR_DEVICE_NOT_CONNECTED}})
        EXPECT_EQ(command(h, c.device_index, PYXO_CMD_SERIAL_NUMBER).error, c.error)
            << c.device_index;
    attach(h, 0);
    const Reply r = command(h, 1, PYXO_CMD_SERIAL_NUMBER);
    ASSERT_EQ(r.error, 0u);
    EXPECT_EQ(to_hex(r.output), "01 02 03 04 05 06 07 08");
}

TEST_F(DriverTest, NonTokenDevicesAttachButAnswerNoCommand)
{
    uint8_t descriptor[32] = {7, 0x60, 0xAA};
    ASSERT_EQ(vtd_insert_device(driver.get(), 1, descriptor), 0u);
    const uint32_t h = driver.open();
    const Reply r = attach(h, 0);
    ASSERT_EQ(r.error, 0u);
    EXPECT_EQ(get_le32(&r.output[PYXO_ATTACH_DEVICE_INDEX]), 2u);
    EXPECT_EQ(to_hex(&r.output[PYXO_ATTACH_DESCRIPTOR], 4), "07 60 aa 00");
    EXPECT_EQ(command(h, 2, PYXO_CMD_SERIAL_NUMBER).error, VTD_ERROR_NOT_SUPPORTED);
}

TEST_F(DriverTest, MalformedBlocksAreRefused)
{
    token_at(0);
    const uint32_t h = driver.open();
    EXPECT_EQ(driver.control(h, kIoctlAttach, Bytes(47, 0), 48).error, VTD_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(driver.control(h, kIoctlAttach, attach_block(0), 47).error,
              VTD_ERROR_INVALID_PARAMETER);
    attach(h, 0);
    Bytes block = command_block(1, PYXO_CMD_SERIAL_NUMBER, {});
    put_le16(&block[PYXO_COMMAND_PAYLOAD_LENGTH], 257);
    EXPECT_EQ(driver.control(h, kIoctlCommand, block, 64).error, VTD_ERROR_INVALID_PARAMETER);
    block = command_block(1, PYXO_CMD_SERIAL_NUMBER, {});
    EXPECT_EQ(driver.control(h, kIoctlCommand, Bytes(block.begin(), block.begin() + 15), 64).error,
              VTD_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(driver.control(h, kIoctlCommand, block, 7).error, VTD_ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(driver.control(h, 0x220410, {}, 0).error, VTD_ERROR_INVALID_FUNCTION);
    EXPECT_EQ(driver.control(0, kIoctlVersion, {}, 4).error, VTD_ERROR_INVALID_HANDLE);
    uint8_t out[4];
    EXPECT_EQ(vtd_control(driver.get(), h, kIoctlVersion, nullptr, 0, out, 4, nullptr),
              VTD_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(vtd_control(driver.get(), h, kIoctlVersion, nullptr, 0, nullptr, 4, &returned_),
              VTD_ERROR_INVALID_PARAMETER);
}

// METHOD_BUFFERED hands a kernel driver one buffer for input and output.
TEST_F(DriverTest, InputAndOutputMayShareABuffer)
{
    token_at(3);
    const uint32_t h = driver.open();
    Bytes block = attach_block(0);
    uint32_t returned = 0;
    ASSERT_EQ(
        vtd_control(driver.get(), h, kIoctlAttach, block.data(), 48, block.data(), 48, &returned),
        0u);
    EXPECT_EQ(get_le32(&block[PYXO_ATTACH_DEVICE_INDEX]), 4u);
    block = command_block(4, PYXO_CMD_SERIAL_NUMBER, {});
    ASSERT_EQ(vtd_control(driver.get(), h, kIoctlCommand, block.data(), 272, block.data(), 272,
                          &returned),
              0u);
    EXPECT_EQ(to_hex(block.data(), returned), "01 02 03 04 05 06 07 08");
}

TEST_F(DriverTest, HandleTableHasRoomForManyAndReusesSlots)
{
    std::vector<uint32_t> handles;
    uint32_t h = 0;
    while (vtd_open_handle(driver.get(), &h) == 0)
        handles.push_back(h);
    EXPECT_GE(handles.size(), 64u);
    driver.close(handles[5]);
    ASSERT_EQ(vtd_open_handle(driver.get(), &h), 0u);
    EXPECT_NE(h, handles[5]) << "a reused slot gives a new handle value";
    EXPECT_EQ(driver.control(handles[5], kIoctlVersion, {}, 4).error, VTD_ERROR_INVALID_HANDLE);
    EXPECT_EQ(driver.control(h, kIoctlVersion, {}, 4).error, 0u);
}

} // namespace
} // namespace vuxa_test
