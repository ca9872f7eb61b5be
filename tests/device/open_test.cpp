// Opening and closing: every path of the open, checked by the driver's
// record of requests and by all 424 bytes of the context afterwards.
#include <gtest/gtest.h>

#include <cstring>

#include "device/driver_interface.h"
#include "support/context_bytes.h"
#include "support/hex.h"
#include "support/open_token.h"
#include "support/trace.h"

namespace vuxa_test {
namespace {

void *const kInvalidHandle = reinterpret_cast<void *>(intptr_t(-1));
const std::array<uint8_t, 8> kSerialA = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
const std::array<uint8_t, 8> kSerialB = {0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8};

DriverDevice device_with(const std::string &descriptor, std::array<uint8_t, 8> serial = kSerialA)
{
    DriverDevice device;
    device.descriptor = hex(descriptor);
    device.serial = serial;
    return device;
}

DriverDevice elsewhere(DriverDevice device)
{
    device.attached_elsewhere = true;
    return device;
}

// What an open leaves of a token with a length-8 descriptor, model and
// memory words as given, capability byte 0, driver version 0x100.
void described(PYXO_CONTEXT &r, uint32_t device_index, uint8_t model, uint32_t memory_size)
{
    r.device_index = device_index;
    r.driver_version = 0x100;
    r.model = model;
    r.id_size = model < 0x50 ? 4 : 8;
    r.memory_size = memory_size;
}

void serial_a(PYXO_CONTEXT &r)
{
    r.serial_number[0] = 0x04030201;
    r.serial_number[1] = 0x08070605;
}

void serial_b(PYXO_CONTEXT &r)
{
    r.serial_number[0] = 0xB4B3B2B1;
    r.serial_number[1] = 0xB8B7B6B5;
}

// The record of an open context: the handle is the library's to choose.
void opened(PYXO_CONTEXT &r, const PYXO_CONTEXT &actual)
{
    r.device_handle = actual.device_handle;
    r.flags = PYXO_FLAG_ATTACHED;
}

std::vector<uint8_t> attach_answer(uint32_t device_index, uint32_t status,
                                   const std::string &descriptor)
{
    std::vector<uint8_t> block(PYXO_ATTACH_BLOCK_SIZE, 0);
    for (int i = 0; i < 4; ++i) {
        block[i] = uint8_t(device_index >> (8 * i));
        block[PYXO_ATTACH_STATUS + i] = uint8_t(status >> (8 * i));
    }
    block[PYXO_ATTACH_ATTACH] = 1;
    const auto d = hex(descriptor);
    std::copy(d.begin(), d.end(), block.begin() + PYXO_ATTACH_DESCRIPTOR);
    return block;
}

// ------------------------------------------ one open of a fresh record

struct OpenCase {
    const char *name;
    void (*setup)(ScriptedDriver &);
    uint32_t mode;
    uint32_t status;
    const char *trace;
    void (*expect)(PYXO_CONTEXT &record); // from initialised_context()
};

const OpenCase kOpenCases[] = {
    {"first token", [](ScriptedDriver &d) { d.add_device(DriverDevice::token(0x50, 0x1000)); },
     PYXO_OPEN_FIRST, PYXO_OK, "#1 version attach@0 cmd102@1",
     [](PYXO_CONTEXT &r) { described(r, 1, 0x50, 8192), serial_a(r); }},
    {"mode 0x11 is mode 1",
     [](ScriptedDriver &d) { d.add_device(DriverDevice::token(0x50, 0x1000)); }, 0x11, PYXO_OK,
     "#1 version attach@0 cmd102@1",
     [](PYXO_CONTEXT &r) { described(r, 1, 0x50, 8192), serial_a(r); }},
    {"next on a fresh record starts at 0",
     [](ScriptedDriver &d) { d.add_device(DriverDevice::token(0x4F, 0x0100)); }, 0xF0, PYXO_OK,
     "#1 version attach@0 cmd102@1",
     [](PYXO_CONTEXT &r) { described(r, 1, 0x4F, 512), serial_a(r); }},
    {"mode 3", [](ScriptedDriver &d) { d.add_device(DriverDevice::token(0x50, 0x1000)); }, 3,
     PYXO_ERR_INVALID_PARAMETER, "", [](PYXO_CONTEXT &) {}},
    {"driver missing", [](ScriptedDriver &d) { d.remove_socket(); }, PYXO_OPEN_FIRST,
     PYXO_ERR_NO_DEVICE, "", [](PYXO_CONTEXT &) {}},
    {"version query fails",
     [](ScriptedDriver &d) { d.script(PYXO_IOCTL_GET_VERSION, DriverReply::fail(1)); },
     PYXO_OPEN_FIRST, PYXO_ERR_DRIVER_COMM, "#1 version", [](PYXO_CONTEXT &) {}},
    {"version of two bytes",
     [](ScriptedDriver &d) { d.script(PYXO_IOCTL_GET_VERSION, DriverReply::bytes({0x00, 0x02})); },
     PYXO_OPEN_FIRST, PYXO_ERR_DRIVER_COMM, "#1 version",
     [](PYXO_CONTEXT &r) { r.driver_version = 0x200; }}, // written in place
    {"version of no byte",
     [](ScriptedDriver &d) { d.script(PYXO_IOCTL_GET_VERSION, DriverReply::empty()); },
     PYXO_OPEN_FIRST, PYXO_ERR_DRIVER_COMM, "#1 version", [](PYXO_CONTEXT &) {}},
    {"version 0xFF", [](ScriptedDriver &d) { d.set_version(0xFF); }, PYXO_OPEN_FIRST,
     PYXO_ERR_DRIVER_VERSION, "#1 version", [](PYXO_CONTEXT &r) { r.driver_version = 0xFF; }},
    {"no device", [](ScriptedDriver &) {}, PYXO_OPEN_FIRST, PYXO_ERR_NO_DEVICE,
     "#1 version attach@0", [](PYXO_CONTEXT &r) { r.driver_version = 0x100; }},
    {"attach denied",
     [](ScriptedDriver &d) {
         d.add_device(DriverDevice::token(0x50, 0x1000));
         d.script(PYXO_IOCTL_ATTACH, DriverReply::fail(5));
     },
     PYXO_OPEN_FIRST, PYXO_ERR_NO_DEVICE, "#1 version attach@0",
     [](PYXO_CONTEXT &r) { r.driver_version = 0x100; }},
    {"token attached elsewhere",
     [](ScriptedDriver &d) { d.add_device(elsewhere(DriverDevice::token(0x50, 0x1000))); },
     PYXO_OPEN_FIRST, PYXO_ERR_DEVICE_21, "#1 version attach@0",
     [](PYXO_CONTEXT &r) { r.driver_version = 0x100, r.device_index = 1; }},
    {"descriptor of length 7 skipped",
     [](ScriptedDriver &d) {
         d.add_device(DriverDevice::non_token());
         d.add_device(DriverDevice::token(0x4F, 0x0800, kSerialB));
     },
     PYXO_OPEN_FIRST, PYXO_OK, "#1 version attach@0 release@1 attach@1 cmd102@2",
     [](PYXO_CONTEXT &r) { described(r, 2, 0x4F, 4096), serial_b(r); }},
    {"model 0x60 skipped",
     [](ScriptedDriver &d) {
         d.add_device(device_with("08 60 00 00 00 10 00 00"));
         d.add_device(DriverDevice::token(0x5F, 0x0800, kSerialB));
     },
     PYXO_OPEN_FIRST, PYXO_OK, "#1 version attach@0 release@1 attach@1 cmd102@2",
     [](PYXO_CONTEXT &r) { described(r, 2, 0x5F, 4096), serial_b(r); }},
    {"model 0x3F skipped",
     [](ScriptedDriver &d) {
         d.add_device(device_with("08 3f 00 00 00 10 00 00"));
         d.add_device(DriverDevice::token(0x40, 0x0800, kSerialB));
     },
     PYXO_OPEN_FIRST, PYXO_OK, "#1 version attach@0 release@1 attach@1 cmd102@2",
     [](PYXO_CONTEXT &r) { described(r, 2, 0x40, 4096), serial_b(r); }},
    {"descriptor of length 33 skipped",
     [](ScriptedDriver &d) {
         d.add_device(device_with("21 50 00 00 00 10 00 00"));
         d.add_device(DriverDevice::token(0x50, 0x0800, kSerialB));
     },
     PYXO_OPEN_FIRST, PYXO_OK, "#1 version attach@0 release@1 attach@1 cmd102@2",
     [](PYXO_CONTEXT &r) { described(r, 2, 0x50, 4096), serial_b(r); }},
    {"non-token held elsewhere skipped without release",
     [](ScriptedDriver &d) {
         d.add_device(elsewhere(DriverDevice::non_token()));
         d.add_device(DriverDevice::token(0x50, 0x0800, kSerialB));
     },
     PYXO_OPEN_FIRST, PYXO_OK, "#1 version attach@0 attach@1 cmd102@2",
     [](PYXO_CONTEXT &r) { described(r, 2, 0x50, 4096), serial_b(r); }},
    {"only a non-token", [](ScriptedDriver &d) { d.add_device(DriverDevice::non_token()); },
     PYXO_OPEN_FIRST, PYXO_ERR_NO_DEVICE, "#1 version attach@0 release@1 attach@1",
     [](PYXO_CONTEXT &r) { r.driver_version = 0x100, r.device_index = 1; }},
    {"serial number refused",
     [](ScriptedDriver &d) {
         d.add_device(DriverDevice::token(0x50, 0x1000));
         d.script_command(DriverReply::status(0x01));
     },
     PYXO_OPEN_FIRST, PYXO_ERR_ACCESS_DENIED, "#1 version attach@0 cmd102@1 release@1",
     [](PYXO_CONTEXT &r) { described(r, 1, 0x50, 8192); }},
    {"serial number short",
     [](ScriptedDriver &d) {
         d.add_device(DriverDevice::token(0x50, 0x1000));
         d.script_command(DriverReply::bytes({1, 2, 3, 4}));
     },
     PYXO_OPEN_FIRST, PYXO_ERR_RESPONSE_LENGTH, "#1 version attach@0 cmd102@1 release@1",
     [](PYXO_CONTEXT &r) { described(r, 1, 0x50, 8192); }},
    {"same on a fresh record starts at 0xFFFFFFFF",
     [](ScriptedDriver &d) { d.add_device(DriverDevice::token(0x50, 0x1000)); }, PYXO_OPEN_SAME,
     PYXO_ERR_NO_DEVICE, "#1 version attach@4294967295",
     [](PYXO_CONTEXT &r) { r.driver_version = 0x100, r.device_index = 0xFFFFFFFF; }},
    {"same on a fresh record compares with serial 0, 0",
     [](ScriptedDriver &d) {
         // A driver that takes 0xFFFFFFFF as "from the start".
         d.script(PYXO_IOCTL_ATTACH, DriverReply::bytes(attach_answer(1, 0, "08 50 00 00 00 10")));
         d.script_command(DriverReply::bytes(std::vector<uint8_t>(8, 0)));
     },
     PYXO_OPEN_SAME, PYXO_OK, "#1 version attach@4294967295 cmd102@1",
     [](PYXO_CONTEXT &r) { described(r, 1, 0x50, 8192); }},
};

class OpenFreshRecord : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenFreshRecord, LeavesTheRecordAsExpected)
{
    const OpenCase &c = GetParam();
    ScriptedDriver driver;
    c.setup(driver);
    PYXO_CONTEXT context;
    std::memset(&context, 0xA5, sizeof context); // whatever the application left there
    EXPECT_EQ(Pyxo_OpenDevice(&context, c.mode), c.status);
    EXPECT_EQ(trace(driver), c.trace);

    PYXO_CONTEXT expected = initialised_context();
    c.expect(expected);
    if (c.status == PYXO_OK) {
        EXPECT_NE(context.device_handle, kInvalidHandle);
        EXPECT_NE(context.device_handle, nullptr);
        opened(expected, context);
    }
    EXPECT_TRUE(same_record(expected, context));

    Pyxo_CloseDevice(&context);
    // Every failing path gave the handle back; a success holds one.
    EXPECT_TRUE(driver.wait_for_open_connections(0));
}

INSTANTIATE_TEST_SUITE_P(Open, OpenFreshRecord, ::testing::ValuesIn(kOpenCases),
                         [](const auto &info) { return "row" + std::to_string(info.index); });

TEST(Open, FailingPathsCloseTheDriverConnection)
{
    for (const OpenCase &c : kOpenCases) {
        if (c.status == PYXO_OK)
            continue;
        ScriptedDriver driver;
        c.setup(driver);
        PYXO_CONTEXT context{};
        EXPECT_EQ(Pyxo_OpenDevice(&context, c.mode), c.status) << c.name;
        EXPECT_EQ(context.device_handle, kInvalidHandle) << c.name;
        EXPECT_TRUE(driver.wait_for_open_connections(0)) << c.name;
        EXPECT_FALSE(driver.attached(0)) << c.name;
    }
}

// ------------------------------------------------- descriptor decoding

struct DescriptorCase {
    const char *descriptor; // as the driver returns it; bytes past L included
    uint8_t model, byte2, byte3;
    uint32_t memory_size, capabilities, id_size, capability_param;
};

const DescriptorCase kDescriptorCases[] = {
    // model 0x4F: 16-bit identifiers; bytes 2 and 3 stored as they are
    {"08 4f 11 22 00 10 00 00", 0x4F, 0x11, 0x22, 8192, 0, 4, 0},
    {"08 50 00 00 00 10 00 00", 0x50, 0, 0, 8192, 0, 8, 0},
    {"08 50 00 00 ff ff 00 00", 0x50, 0, 0, 131070, 0, 8, 0},
    {"08 50 00 00 01 00 00 00", 0x50, 0, 0, 2, 0, 8, 0},
    // capability 5: bit 1 clear, no parameter even though a byte follows
    {"08 50 00 00 00 10 05 7f", 0x50, 0, 0, 8192, 5, 8, 0},
    // two groups 0x82 0x01: capabilities 0x82; the parameter byte D[8]
    // lies past L = 8 and reads 0 whatever the driver left there
    {"08 50 00 00 00 10 82 01 33 44", 0x50, 0, 0, 8192, 0x82, 8, 0},
    {"09 50 00 00 00 10 82 01 33 44", 0x50, 0, 0, 8192, 0x82, 8, 0x33 * 8},
    // one group with bit 1: parameter right after it
    {"08 50 00 00 00 10 02 21", 0x50, 0, 0, 8192, 2, 8, 0x21 * 8},
    // three groups: 0x03 | 0x00 << 7 | 0x02 << 14; parameter D[9]
    {"0b 50 00 00 00 10 83 80 02 07 09", 0x50, 0, 0, 8192, 0x8003, 8, 0x07 * 8},
    // four groups, the last of eight bits: 29 bits; parameter D[10]
    {"0c 5f 00 00 00 10 ff ff ff ff 21 00", 0x5F, 0, 0, 8192, 0x1FFFFFFF, 8, 0x21 * 8},
    {"0c 5f 00 00 00 10 80 80 80 80 21 00", 0x5F, 0, 0, 8192, 0x10000000, 8, 0},
    // a fourth group never continues: bit 7 of D[9] is a value bit
    {"0c 50 00 00 00 10 80 80 80 82 ff 00", 0x50, 0, 0, 8192, 0x10400000, 8, 0},
    // the longest descriptor
    {"20 40 00 00 00 10 02 ff 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
     "00 00",
     0x40, 0, 0, 8192, 2, 4, 0xFF * 8},
};

class DescriptorDecoding : public ::testing::TestWithParam<DescriptorCase> {};

TEST_P(DescriptorDecoding, FillsTheRecord)
{
    const DescriptorCase &c = GetParam();
    ScriptedDriver driver;
    driver.add_device(device_with(c.descriptor));
    PYXO_CONTEXT context{};
    ASSERT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST), PYXO_OK);

    PYXO_CONTEXT expected = initialised_context();
    described(expected, 1, c.model, c.memory_size);
    serial_a(expected);
    opened(expected, context);
    expected.descriptor_byte2 = c.byte2;
    expected.descriptor_byte3 = c.byte3;
    expected.capabilities = c.capabilities;
    expected.id_size = c.id_size;
    expected.capability_param = c.capability_param;
    EXPECT_TRUE(same_record(expected, context));
    Pyxo_CloseDevice(&context);
}

INSTANTIATE_TEST_SUITE_P(Open, DescriptorDecoding, ::testing::ValuesIn(kDescriptorCases),
                         [](const auto &info) { return "row" + std::to_string(info.index); });

TEST(Open, SendsTheAttachBlockExactly)
{
    ScriptedDriver driver;
    driver.add_device(DriverDevice::token(0x50, 0x1000));
    PYXO_CONTEXT context{};
    ASSERT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST), PYXO_OK);
    Pyxo_CloseDevice(&context);

    const auto requests = driver.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].code, PYXO_IOCTL_GET_VERSION);
    EXPECT_EQ(requests[0].input.size(), 0u);
    EXPECT_EQ(requests[0].out_size, 4u);
    // device_index 0, attach 1, reserved 0, attach_status 0xFF, descriptor
    // byte 0 cleared (the library sends the other 31 as zeros too).
    EXPECT_EQ(requests[1].code, PYXO_IOCTL_ATTACH);
    EXPECT_EQ(to_hex(requests[1].input),
              to_hex(hex("00 00 00 00 01 00 00 00 00 00 00 00 ff 00 00 00") + zeros(32)));
    EXPECT_EQ(requests[1].out_size, 48u);
    // The serial number: command 0x102, nothing else in the block.
    EXPECT_EQ(requests[2].code, PYXO_IOCTL_COMMAND);
    EXPECT_EQ(to_hex(requests[2].input.data(), 16),
              "01 00 00 00 00 00 00 00 00 00 00 00 02 01 00 00");
    EXPECT_EQ(requests[2].out_size, 8u);
    // Release: device_index as written back, attach 0, no output.
    EXPECT_EQ(requests[3].code, PYXO_IOCTL_RELEASE);
    EXPECT_EQ(to_hex(requests[3].input), to_hex(hex("01 00 00 00") + zeros(44)));
    EXPECT_EQ(requests[3].out_size, 0u);
}

} // namespace
} // namespace vuxa_test
