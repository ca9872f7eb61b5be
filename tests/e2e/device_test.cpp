// Opening a virtual token and its device services, through the library
// and the driver.
#include "token_test.h"

#include <cstring>

namespace e2e {
namespace {

using DeviceServices = TokenTest;

TEST_F(DeviceServices, OpenRecordsTheTokensDescriptionAndSerialNumber)
{
    uint32_t expected[2];
    expected_serial(0, expected);
    EXPECT_EQ(context_.serial_number[0], expected[0]);
    EXPECT_EQ(context_.serial_number[1], expected[1]);
    EXPECT_EQ(context_.model, 0x50);
    EXPECT_EQ(context_.id_size, 8u);
    EXPECT_EQ(context_.memory_size, 8192u);
    EXPECT_EQ(context_.device_index, 1u);
    EXPECT_EQ(context_.flags & PYXO_FLAG_ATTACHED, PYXO_FLAG_ATTACHED);
    EXPECT_GE(context_.driver_version, 0x100u);

    uint32_t serial[2] = {};
    ASSERT_EQ(Pyxo_GetSerialNumber(&context_, serial), PYXO_OK);
    EXPECT_EQ(serial[0], expected[0]);
    EXPECT_EQ(serial[1], expected[1]);
}

TEST_F(DeviceServices, SelfTestPasses)
{
    uint16_t result[2] = {};
    ASSERT_EQ(Pyxo_Diagnose(&context_, result), PYXO_OK);
    EXPECT_EQ(result[1], 0xFFFF);
}

TEST_F(DeviceServices, GetResponseGivesTheTokensIdentification)
{
    uint8_t buffer[64];
    memset(buffer, 0xEE, sizeof buffer);
    uint32_t length = 0;
    ASSERT_EQ(Pyxo_GetResponse(&context_, buffer, &length), PYXO_OK);
    ASSERT_EQ(length, 22u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buffer), length), "vuxa virtual token 1.0");
    for (uint32_t i = length; i < 64; ++i)
        ASSERT_EQ(buffer[i], 0) << "byte " << i;
}

TEST_F(DeviceServices, LedValueReachesTheToken)
{
    ASSERT_EQ(Pyxo_LedControl(&context_, 0xABCD1234), PYXO_OK);
    std::vector<vtd_client::PositionInfo> positions;
    ASSERT_EQ(rack_.manager().list(positions), 0u);
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions[0].led, 0x1234) << "the low 16 bits";
    EXPECT_TRUE(positions[0].attached);
}

TEST_F(DeviceServices, ResetForgetsTheSessionButNotTheFiles)
{
    ASSERT_EQ(log_in(context_), PYXO_OK);
    ASSERT_EQ(Pyxo_CreateDir(&context_, 1, 64), PYXO_OK);
    ASSERT_EQ(create_open_data_file(context_, 1, 1, 8), PYXO_OK);

    ASSERT_EQ(Pyxo_ResetDevice(&context_), PYXO_OK);
    EXPECT_EQ(context_.current_file_type, 0xFF);
    uint8_t buffer[8];
    uint32_t read = 0;
    EXPECT_EQ(Pyxo_ReadFile(&context_, buffer, 0, 8, &read), PYXO_ERR_3) << "no file selected";
    EXPECT_EQ(Pyxo_CreateDir(&context_, 2, 64), PYXO_ERR_ACCESS_DENIED) << "master key forgotten";
    ASSERT_EQ(Pyxo_SelectFile(&context_, 1, 1), PYXO_OK) << "the file is still there";
    EXPECT_EQ(Pyxo_ReadFile(&context_, buffer, 0, 8, &read), PYXO_OK);
}

TEST_F(DeviceServices, ChallengesAreFresh)
{
    uint8_t first[8], second[8];
    ASSERT_EQ(Pyxo_GetChallenge(&context_, first), PYXO_OK);
    ASSERT_EQ(Pyxo_GetChallenge(&context_, second), PYXO_OK);
    EXPECT_NE(hex(first, 8), hex(second, 8));
}

TEST_F(DeviceServices, ClosedContextIsRefusedAndCanBeOpenedAgain)
{
    ASSERT_EQ(Pyxo_CloseDevice(&context_), PYXO_OK);
    uint32_t serial[2];
    EXPECT_EQ(Pyxo_GetSerialNumber(&context_, serial), PYXO_ERR_NO_DEVICE);
    ASSERT_EQ(Pyxo_OpenDevice(&context_, PYXO_OPEN_SAME), PYXO_OK);
    EXPECT_EQ(Pyxo_GetSerialNumber(&context_, serial), PYXO_OK);
}

} // namespace
} // namespace e2e
