// No heap allocation in any call of the library.
#include "no_heap.h"

#include <cctype>
#include <cstring>

#include "allocation_counter.h"
#include "device/driver_interface.h"
#include "device/exchange.h"

namespace vuxa_test {

std::string heap_case_name(const ::testing::TestParamInfo<HeapCase> &info)
{
    std::string name = info.param.name;
    for (char &c : name)
        if (!std::isalnum((unsigned char)c))
            c = '_';
    return name + "_" + std::to_string(info.index);
}

TEST_P(NoHeap, CallAllocatesNothing)
{
    const HeapCase &c = GetParam();
    OpenToken token;
    if (c.prepare != nullptr)
        c.prepare(token.driver);
    start_counting_allocations();
    const uint32_t status = c.call(&token.context);
    const size_t allocations = stop_counting_allocations();
    EXPECT_EQ(allocations, 0u) << c.name;
    EXPECT_EQ(status, c.expected) << c.name;
}

// The counter itself must see an allocation, or the rows prove nothing.
TEST(NoHeapCounter, SeesAllocations)
{
    start_counting_allocations();
    void *volatile block = std::malloc(24);
    std::free(block);
    std::string *volatile text = new std::string(100, 'x');
    delete text;
    EXPECT_GE(stop_counting_allocations(), 2u);
}

namespace {

void hang_up_on_command(ScriptedDriver &driver)
{
    DriverReply reply;
    reply.hang_up = true;
    driver.script_command(reply);
}

const HeapCase kDeviceCases[] = {
    {"Pyxo_OpenDevice first", nullptr, [](PYXO_CONTEXT *c) { return Pyxo_OpenDevice(c, 1); },
     PYXO_OK},
    {"Pyxo_OpenDevice same", nullptr, [](PYXO_CONTEXT *c) { return Pyxo_OpenDevice(c, 2); },
     PYXO_OK},
    {"Pyxo_OpenDevice next, none left", nullptr,
     [](PYXO_CONTEXT *c) { return Pyxo_OpenDevice(c, 0); }, PYXO_ERR_NO_DEVICE},
    {"Pyxo_OpenDevice skipping a non-token",
     [](ScriptedDriver &d) {
         d.replace_device(0, DriverDevice::non_token());
         d.add_device(DriverDevice::token(0x50, 0x1000));
     },
     [](PYXO_CONTEXT *c) { return Pyxo_OpenDevice(c, 1); }, PYXO_OK},
    {"Pyxo_OpenDevice, driver gone", [](ScriptedDriver &d) { d.remove_socket(); },
     [](PYXO_CONTEXT *c) { return Pyxo_OpenDevice(c, 1); }, PYXO_ERR_NO_DEVICE},
    {"Pyxo_OpenDevice on a fresh record", nullptr,
     [](PYXO_CONTEXT *) {
         PYXO_CONTEXT fresh;
         std::memset(&fresh, 0, sizeof fresh);
         const uint32_t status = Pyxo_OpenDevice(&fresh, 1);
         Pyxo_CloseDevice(&fresh);
         return status;
     },
     PYXO_ERR_DEVICE_21}, // the token is held by the row's own context
    {"Pyxo_CloseDevice", nullptr, [](PYXO_CONTEXT *c) { return Pyxo_CloseDevice(c); }, PYXO_OK},
    {"Pyxo_Diagnose",
     [](ScriptedDriver &d) { d.script_command(DriverReply::bytes({0, 0, 0xFF, 0, 0xFF, 16})); },
     [](PYXO_CONTEXT *c) {
         uint16_t result[2];
         return Pyxo_Diagnose(c, result);
     },
     PYXO_OK},
    {"Pyxo_ResetDevice", nullptr, [](PYXO_CONTEXT *c) { return Pyxo_ResetDevice(c); }, PYXO_OK},
    {"Pyxo_GetResponse", [](ScriptedDriver &d) { d.script_command(DriverReply::bytes({1, 2, 3})); },
     [](PYXO_CONTEXT *c) {
         uint8_t buffer[64];
         uint32_t length;
         return Pyxo_GetResponse(c, buffer, &length);
     },
     PYXO_OK},
    {"Pyxo_GetSerialNumber", nullptr,
     [](PYXO_CONTEXT *c) {
         uint32_t serial[2];
         return Pyxo_GetSerialNumber(c, serial);
     },
     PYXO_OK},
    {"Pyxo_LedControl", nullptr, [](PYXO_CONTEXT *c) { return Pyxo_LedControl(c, 7); }, PYXO_OK},
    {"exchange of 260 bytes", nullptr,
     [](PYXO_CONTEXT *c) {
         uint8_t request[260] = {};
         return pyxo_exchange(c, 0x108, sizeof request, request, 1, nullptr);
     },
     PYXO_OK},
    {"exchange, driver error", [](ScriptedDriver &d) { d.script_command(DriverReply::fail(87)); },
     [](PYXO_CONTEXT *c) { return pyxo_exchange(c, 0x106, 0, nullptr, 1, nullptr); },
     PYXO_ERR_INVALID_PARAMETER},
    {"exchange, driver hangs up", hang_up_on_command,
     [](PYXO_CONTEXT *c) { return pyxo_exchange(c, 0x106, 0, nullptr, 1, nullptr); },
     PYXO_ERR_IO},
};

INSTANTIATE_TEST_SUITE_P(Device, NoHeap, ::testing::ValuesIn(kDeviceCases), heap_case_name);

const uint8_t kKey[80] = {1, 2, 3};
const uint8_t kText[200] = {4, 5, 6};

const HeapCase kHostDigestCases[] = {
    {"MD5Init Update Final", nullptr,
     [](PYXO_CONTEXT *) {
         MD5_CTX md5;
         uint8_t digest[16];
         MD5Init(&md5);
         MD5Update(&md5, kText, sizeof kText);
         MD5Final(digest, &md5);
         return 0u;
     },
     0u},
    {"MD5_Hash", nullptr,
     [](PYXO_CONTEXT *) {
         uint8_t digest[16];
         return MD5_Hash(kText, sizeof kText, digest) == digest ? 0u : 1u;
     },
     0u},
    {"HMAC_MD5 with a long key and both states", nullptr,
     [](PYXO_CONTEXT *) {
         uint8_t inner[16], outer[16], digest[16];
         return HMAC_MD5(kText, sizeof kText, kKey, sizeof kKey, inner, outer, digest) == digest
                    ? 0u
                    : 1u;
     },
     0u},
    {"CHAP_MD5", nullptr,
     [](PYXO_CONTEXT *) {
         uint8_t digest[16];
         return CHAP_MD5(300, kKey, 16, kText, 16, digest) == digest ? 0u : 1u;
     },
     0u},
};

INSTANTIATE_TEST_SUITE_P(HostDigests, NoHeap, ::testing::ValuesIn(kHostDigestCases),
                         heap_case_name);

} // namespace
} // namespace vuxa_test
