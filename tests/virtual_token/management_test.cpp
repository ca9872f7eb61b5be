// The management controls through vtd_control: list, insert (token and
// other device), remove, export; what they do to attachments and to the
// change mask.
#include <cstring>

#include "device/driver_interface.h"
#include "device/token_commands.h"
#include "util/bytes.h"
#include "vtd_fixture.h"

namespace vuxa_test {
namespace {

Bytes position_in(uint32_t position, uint32_t flags, const Bytes &rest = {})
{
    Bytes in(8);
    put_le32(&in[0], position);
    put_le32(&in[4], flags);
    return in + rest;
}

Bytes position_only(uint32_t position)
{
    Bytes in(4);
    put_le32(&in[0], position);
    return in;
}

class Management : public ::testing::Test {
protected:
    void SetUp() override
    {
        const vtd_token_params p = token_params(kNarrow, 0x800, 0x40);
        ASSERT_EQ(vtd_new_token(driver.get(), 2, &p), 0u);
        image.resize(vtd_max_image_size());
        image.resize(vtd_export_image(driver.get(), 2, image.data(), uint32_t(image.size())));
        h = driver.open();
        vtd_take_changed(driver.get());
    }
    Reply list() { return driver.control(h, VTD_IOCTL_LIST, {}, 4 + 8 * 48); }
    Driver driver;
    Bytes image;
    uint32_t h = 0;
};

TEST_F(Management, ListShowsEveryPosition)
{
    uint8_t descriptor[32] = {7, 0x60};
    ASSERT_EQ(vtd_insert_device(driver.get(), 5, descriptor), 0u);
    ASSERT_EQ(driver.control(h, kIoctlAttach, attach_block(0), 48).error, 0u);
    const Reply r = list();
    ASSERT_EQ(r.error, 0u);
    ASSERT_EQ(r.output.size(), 4u + 8 * 48);
    EXPECT_EQ(to_hex(&r.output[0], 4), "08 00 00 00");
    const uint8_t *token = &r.output[4 + 2 * 48];
    EXPECT_EQ(to_hex(token, 16), "01 01 00 00 40 41 42 43 44 45 46 47 " + to_hex(token + 12, 4));
    EXPECT_EQ(get_le32(token + VTD_LIST_IMAGE_SIZE), image.size());
    EXPECT_EQ(to_hex(token + VTD_LIST_DESCRIPTOR, 8), "08 4f 01 10 00 08 03 0a");
    const uint8_t *device = &r.output[4 + 5 * 48];
    EXPECT_EQ(to_hex(device, 4), "02 00 00 00");
    EXPECT_EQ(to_hex(device + VTD_LIST_DESCRIPTOR, 3), "07 60 00");
    for (uint32_t empty : {0u, 1u, 3u, 4u, 6u, 7u})
        EXPECT_EQ(Bytes(&r.output[4 + empty * 48], &r.output[4 + empty * 48 + 48]), zeros(48));
    EXPECT_EQ(driver.control(h, VTD_IOCTL_LIST, {}, 387).error, VTD_ERROR_INSUFFICIENT_BUFFER);
}

TEST_F(Management, InsertTokenNeedsAFreePositionOrReplace)
{
    EXPECT_EQ(driver.control(h, VTD_IOCTL_INSERT_TOKEN, position_in(0, 0, image), 0).error, 0u);
    EXPECT_EQ(vtd_take_changed(driver.get()), 1u);
    EXPECT_EQ(driver.control(h, VTD_IOCTL_INSERT_TOKEN, position_in(0, 0, image), 0).error,
              VTD_ERROR_ALREADY_EXISTS);
    EXPECT_EQ(
        driver.control(h, VTD_IOCTL_INSERT_TOKEN, position_in(0, VTD_INSERT_REPLACE, image), 0)
            .error,
        0u);
    Bytes damaged = image;
    damaged[50] ^= 0x10;
    EXPECT_EQ(driver.control(h, VTD_IOCTL_INSERT_TOKEN, position_in(7, 0, damaged), 0).error,
              VTD_ERROR_INVALID_DATA);
    EXPECT_EQ(driver.control(h, VTD_IOCTL_INSERT_TOKEN, position_in(8, 0, image), 0).error,
              VTD_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(driver.control(h, VTD_IOCTL_INSERT_TOKEN, Bytes(7, 0), 0).error,
              VTD_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(list().output[4 + 7 * 48], VTD_KIND_EMPTY);
}

TEST_F(Management, ExportMatchesTheImage)
{
    Reply r = driver.control(h, VTD_IOCTL_EXPORT, position_only(2), vtd_max_image_size());
    ASSERT_EQ(r.error, 0u);
    EXPECT_EQ(r.output, image);
    EXPECT_EQ(
        driver.control(h, VTD_IOCTL_EXPORT, position_only(2), uint32_t(image.size()) - 1).error,
        VTD_ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(driver.control(h, VTD_IOCTL_EXPORT, position_only(3), 1 << 20).error,
              VTD_ERROR_DEVICE_NOT_CONNECTED);
    uint8_t descriptor[32] = {8, 0x50};
    ASSERT_EQ(vtd_insert_device(driver.get(), 3, descriptor), 0u);
    EXPECT_EQ(driver.control(h, VTD_IOCTL_EXPORT, position_only(3), 1 << 20).error,
              VTD_ERROR_NOT_SUPPORTED);
    EXPECT_EQ(driver.control(h, VTD_IOCTL_EXPORT, position_only(9), 1 << 20).error,
              VTD_ERROR_INVALID_PARAMETER);
}

// A token replaced under a handle is a new token: the handle's attachment
// is gone and the new one starts unattached.
TEST_F(Management, ReplaceAndRemoveEndTheAttachment)
{
    ASSERT_EQ(driver.control(h, kIoctlAttach, attach_block(2), 48).error, 0u);
    const vtd_token_params other = token_params(kWide, 0x1000, 0x90);
    ASSERT_EQ(vtd_new_token(driver.get(), 3, &other), 0u);
    Bytes other_image(vtd_max_image_size());
    other_image.resize(
        vtd_export_image(driver.get(), 3, other_image.data(), uint32_t(other_image.size())));
    ASSERT_EQ(
        driver
            .control(h, VTD_IOCTL_INSERT_TOKEN, position_in(2, VTD_INSERT_REPLACE, other_image), 0)
            .error,
        0u);
    const Bytes serial = command_block(3, PYXO_CMD_SERIAL_NUMBER, {});
    EXPECT_EQ(driver.control(h, kIoctlCommand, serial, 8).error, VTD_ERROR_ACCESS_DENIED);
    ASSERT_EQ(driver.control(h, kIoctlAttach, attach_block(2), 48).error, 0u);
    EXPECT_EQ(to_hex(driver.control(h, kIoctlCommand, serial, 8).output),
              "90 91 92 93 94 95 96 97");

    vtd_take_changed(driver.get());
    EXPECT_EQ(driver.control(h, VTD_IOCTL_REMOVE, position_only(2), 0).error, 0u);
    EXPECT_EQ(vtd_take_changed(driver.get()), 1u << 2);
    EXPECT_EQ(driver.control(h, kIoctlCommand, serial, 8).error, VTD_ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(driver.control(h, VTD_IOCTL_REMOVE, position_only(2), 0).error,
              VTD_ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(driver.control(h, VTD_IOCTL_REMOVE, position_only(8), 0).error,
              VTD_ERROR_INVALID_PARAMETER);
}

TEST_F(Management, InsertDeviceGivesAnAttachableNonToken)
{
    Bytes descriptor = hex("07 60 01 02") + zeros(28);
    EXPECT_EQ(driver.control(h, VTD_IOCTL_INSERT_DEVICE, position_in(0, 0, descriptor), 0).error,
              0u);
    EXPECT_EQ(driver.control(h, VTD_IOCTL_INSERT_DEVICE, position_in(0, 0, descriptor), 0).error,
              VTD_ERROR_ALREADY_EXISTS);
    EXPECT_EQ(driver.control(h, VTD_IOCTL_INSERT_DEVICE, position_in(1, 0, zeros(31)), 0).error,
              VTD_ERROR_INVALID_PARAMETER);
    const Reply r = driver.control(h, kIoctlAttach, attach_block(0), 48);
    ASSERT_EQ(r.error, 0u);
    EXPECT_EQ(to_hex(&r.output[PYXO_ATTACH_DESCRIPTOR], 4), "07 60 01 02");
    EXPECT_EQ(get_le32(&r.output[PYXO_ATTACH_DEVICE_INDEX]), 1u);
}

TEST_F(Management, NewTokenParametersAreChecked)
{
    const struct {
        uint8_t model;
        uint16_t words;
        uint8_t settings0;
        uint32_t position;
        uint32_t error;
    } cases[] = {
        {0x40, 64, 0, 0, 0},
        {0x5F, 0xFFFF, 0x3F, 7, 0},
        {0x3F, 64, 0, 0, VTD_IMAGE_BAD_DESCRIPTOR},
        {0x60, 64, 0, 0, VTD_IMAGE_BAD_DESCRIPTOR},
        {0x50, 63, 0, 0, VTD_IMAGE_BAD_DESCRIPTOR},
        {0x50, 64, 0x40, 0, VTD_IMAGE_BAD_CREDENTIALS},
        {0x50, 64, 0, 8, VTD_IMAGE_BAD_POSITION},
    };
    for (const auto &c : cases) {
        vtd_token_params p = token_params(c.model, c.words);
        p.settings[0] = c.settings0;
        EXPECT_EQ(vtd_new_token(driver.get(), c.position, &p), c.error)
            << std::hex << int(c.model) << " " << c.words;
    }
}

} // namespace
} // namespace vuxa_test
