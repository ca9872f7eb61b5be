// Device services of the token: serial number, self-test, LED, command 1,
// challenge, reset, unknown commands and request lengths.
#include "device/token_commands.h"
#include "vtd_fixture.h"

namespace vuxa_test {
namespace {

class DeviceServices : public TokenTest {
protected:
    void SetUp() override
    {
        insert(kWide, 0, 0x1000);
        attach(0);
    }
};

TEST_F(DeviceServices, SerialNumberIsTheSameEveryTime)
{
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_SERIAL_NUMBER)), "01 02 03 04 05 06 07 08");
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_SERIAL_NUMBER)), "01 02 03 04 05 06 07 08");
}

// Bytes 2 and 4 0xFF, byte 5 the memory in 512-byte blocks: 0x1000 words
// are 8192 bytes, 16 blocks.
TEST_F(DeviceServices, SelfTestPassesWithMemoryBlocks)
{
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_DIAGNOSE, {}, 6)), "00 01 ff 00 ff 10");
}

TEST_F(DeviceServices, SelfTestMemoryBlocksFollowTheMemorySize)
{
    struct Case {
        uint16_t words;
        uint8_t blocks;
    };
    for (const Case c :
         {Case{64, 0}, Case{256, 1}, Case{500, 1}, Case{0x8000, 128}, Case{0xFFFF, 255}}) {
        insert(kWide, 1, c.words);
        attach(1);
        EXPECT_EQ(cmd(PYXO_CMD_DIAGNOSE, {}, 6).at(5), c.blocks) << c.words;
    }
}

TEST_F(DeviceServices, CommandOneAnswersTheIdentification)
{
    const Bytes answer = cmd(PYXO_CMD_GET_RESPONSE, {}, 64);
    EXPECT_EQ(std::string(answer.begin(), answer.end()), "vuxa virtual token 1.0");
}

TEST_F(DeviceServices, LedTakesTwoBytes)
{
    EXPECT_EQ(status(PYXO_CMD_LED, {0x34, 0x12}), 0);
    Reply list = driver.control(handle, VTD_IOCTL_LIST, {}, 4 + 8 * 48);
    ASSERT_EQ(list.error, 0u);
    EXPECT_EQ(to_hex(&list.output[4 + VTD_LIST_LED], 2), "34 12");
    EXPECT_EQ(status(PYXO_CMD_LED, {1, 0, 0, 0, 9, 9}), 11) << "payload refused";
}

TEST_F(DeviceServices, EveryChallengeIsFresh)
{
    const Bytes first = cmd(PYXO_CMD_GET_CHALLENGE, {}, 8);
    const Bytes second = cmd(PYXO_CMD_GET_CHALLENGE, {}, 8);
    ASSERT_EQ(first.size(), 8u);
    ASSERT_EQ(second.size(), 8u);
    EXPECT_NE(first, second);
    EXPECT_EQ(to_hex(first), "a0 a1 a2 a3 a4 a5 a6 a7") << "taken from the host's random source";
}

TEST_F(DeviceServices, ResetAnswersNothingAndDropsSessionAndSelection)
{
    ASSERT_EQ(verify_pin(), 0);
    ASSERT_EQ(create_file(0, 1, 2, 0x09, 4), 0); // selected now
    EXPECT_EQ(cmd(PYXO_CMD_RESET, {}, 0).size(), 0u);
    EXPECT_EQ(to_hex(read(0, 1)), "03") << "no file selected";
    EXPECT_EQ(create_file(0, 2, 2, 0, 4), 1) << "PIN no longer verified";
}

TEST_F(DeviceServices, UnknownCommandsAndOverlongRequestsAreRefused)
{
    for (uint32_t code : {0x000u, 0x004u, 0x113u, 0x117u, 0x119u, 0xFFFFu})
        EXPECT_EQ(to_hex(cmd(code)), "0d") << code;
    // The token's input buffer holds 80 request bytes.
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_SERIAL_NUMBER, Bytes(81, 0))), "0b");
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_SERIAL_NUMBER, Bytes(6, 0))), "0b");
}

} // namespace
} // namespace vuxa_test
