// The library's own functions against the core: the scripted test driver
// serves attach and release, and hands every token command to the core's
// token unchanged.
#include <cstring>

#include "core_behind_library.h"
#include "util/bytes.h"

namespace vuxa_test {
namespace {

TEST_F(ThroughTheLibrary, OpenReadsTheTokensSerialNumberAndDescriptor)
{
    EXPECT_EQ(context.serial_number[0], 0x24232221u);
    EXPECT_EQ(context.serial_number[1], 0x28272625u);
    EXPECT_EQ(context.memory_size, 8192u);
    EXPECT_EQ(context.id_size, 8u);
    EXPECT_EQ(context.capability_param, 80u);
    uint32_t serial[2] = {};
    EXPECT_EQ(Pyxo_GetSerialNumber(&context, serial), PYXO_OK);
    EXPECT_EQ(serial[0], 0x24232221u);
}

TEST_F(ThroughTheLibrary, DiagnosePasses)
{
    uint16_t result[2] = {};
    EXPECT_EQ(Pyxo_Diagnose(&context, result), PYXO_OK);
    EXPECT_EQ(result[0], 0x0100);
    EXPECT_EQ(result[1], 0xFFFF);
}

TEST_F(ThroughTheLibrary, GetResponseLedAndReset)
{
    uint8_t buffer[64];
    uint32_t length = 0;
    EXPECT_EQ(Pyxo_GetResponse(&context, buffer, &length), PYXO_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buffer), length), "vuxa virtual token 1.0");
    EXPECT_EQ(Pyxo_LedControl(&context, 0x12345), PYXO_OK);
    Reply list = core.control(handle, VTD_IOCTL_LIST, {}, 4 + 8 * 48);
    EXPECT_EQ(get_le16(&list.output[4 + VTD_LIST_LED]), 0x2345u);
    EXPECT_EQ(Pyxo_ResetDevice(&context), PYXO_OK);
}

} // namespace
} // namespace vuxa_test
