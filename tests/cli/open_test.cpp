// Finding the token: list, --token, busy tokens, no driver, and the
// credential options verified before the command.
#include <gtest/gtest.h>

#include "support/hex.h"
#include "support/scripted_driver.h"
#include "tool.h"

namespace pyxo_test {
namespace {

using vuxa_test::DriverDevice;
using vuxa_test::DriverReply;
using vuxa_test::hex;

constexpr uint32_t kIoctlCommand = 0x22040C;

DriverDevice busy(DriverDevice device)
{
    device.attached_elsewhere = true;
    return device;
}

// Positions 0: a wide token, 1: a token another program holds, 2: a device
// that is no token, 3: a narrow token.
void add_four_devices(vuxa_test::ScriptedDriver &driver)
{
    driver.add_device(DriverDevice::token(0x50, 0x1000, {1, 2, 3, 4, 5, 6, 7, 8}));
    driver.add_device(busy(DriverDevice::token(0x50, 0x1000)));
    driver.add_device(DriverDevice::non_token());
    driver.add_device(
        DriverDevice::token(0x4F, 0x800, {0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18}));
}

// The token commands the tool sent: "code@device_index request" each, the
// request being the two parameter words and the payload.
std::vector<std::string> commands(const vuxa_test::ScriptedDriver &driver)
{
    std::vector<std::string> lines;
    for (const vuxa_test::CommandBlock &c : driver.commands()) {
        char head[32];
        std::snprintf(head, sizeof head, "%03x@%u", c.command, c.device_index);
        lines.push_back(std::string(head) + " " + vuxa_test::to_hex(c.request()));
    }
    return lines;
}

TEST(List, ShowsEachTokenBusyOnesAndSkipsOtherDevices)
{
    vuxa_test::ScriptedDriver driver;
    add_four_devices(driver);
    const ToolResult r = run_tool({"list"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "POSITION  MODEL  MEMORY  IDS     SERIAL\n"
                     "0         0x50   8192    32-bit  0102030405060708\n"
                     "1         busy: attached to another program\n"
                     "3         0x4f   4096    16-bit  1112131415161718\n");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(driver.wait_for_open_connections(0));
    EXPECT_FALSE(driver.attached(0));
    EXPECT_FALSE(driver.attached(3));
}

TEST(List, SaysSoWhenThereIsNoToken)
{
    vuxa_test::ScriptedDriver driver;
    driver.add_device(DriverDevice::non_token());
    const ToolResult r = run_tool({"list"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "no token\n");
}

TEST(NoDriver, EveryTokenCommandExitsWith3AndSaysWhereItLooked)
{
    vuxa_test::ScriptedDriver driver;
    driver.remove_socket();
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"list"}, {"info"}, {"--token", "2", "ls"}}) {
        const ToolResult r = run_tool(args);
        EXPECT_EQ(r.exit_code, 3) << args[0];
        EXPECT_EQ(r.err.substr(0, r.err.find(';')),
                  "pyxo: " + args.back() +
                      ": cannot open the token driver: PYXO_ERR_NO_DEVICE (6): no token: the "
                      "driver cannot be reached or no token is left");
        EXPECT_NE(r.err.find("$VUXA_DEVICE_DIR"), std::string::npos);
    }
}

struct TokenCase {
    std::vector<std::string> args;
    int exit_code;
    std::string err;
    std::vector<std::string> commands; // after the open
};

void PrintTo(const TokenCase &c, std::ostream *os)
{
    *os << command_line(c.args);
}

const TokenCase kTokenCases[] = {
    {{"led", "1"}, 0, "", {"102@1 00 00 00 00", "003@1 01 00 00 00"}},
    {{"--token", "0", "led", "2"}, 0, "", {"102@1 00 00 00 00", "003@1 02 00 00 00"}},
    {{"--token", "3", "led", "0x1234"}, 0, "", {"102@1 00 00 00 00", "102@4 00 00 00 00", "003@4 34 12 00 00"}},
    {{"led", "--token", "0x3", "5"}, 0, "", {"102@1 00 00 00 00", "102@4 00 00 00 00", "003@4 05 00 00 00"}},
    {{"--token", "1", "led", "1"}, 3,
     "pyxo: led: the token at position 1 is busy: PYXO_ERR_DEVICE_21 (21): the token is attached "
     "to another program; `pyxo list` shows the free ones, --token N picks one\n",
     {"102@1 00 00 00 00"}},
    {{"--token", "2", "led", "1"}, 3,
     "pyxo: led: no token at position 2 (`pyxo list` shows the tokens)\n", {"102@1 00 00 00 00", "102@4 00 00 00 00"}},
    {{"--token", "9", "led", "1"}, 3,
     "pyxo: led: no token at position 9 (`pyxo list` shows the tokens)\n", {"102@1 00 00 00 00", "102@4 00 00 00 00"}},
};

class TokenOption : public ::testing::TestWithParam<TokenCase> {};

TEST_P(TokenOption, PicksThePosition)
{
    vuxa_test::ScriptedDriver driver;
    add_four_devices(driver);
    const TokenCase &c = GetParam();
    const ToolResult r = run_tool(c.args);
    EXPECT_EQ(r.exit_code, c.exit_code);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(commands(driver), c.commands);
    EXPECT_TRUE(driver.wait_for_open_connections(0));
    EXPECT_FALSE(driver.attached(0));
    EXPECT_FALSE(driver.attached(3));
}

INSTANTIATE_TEST_SUITE_P(Cases, TokenOption, ::testing::ValuesIn(kTokenCases));

TEST(Open, TheFirstTokenBusyIsNamed)
{
    vuxa_test::ScriptedDriver driver;
    driver.add_device(busy(DriverDevice::token(0x50, 0x1000)));
    driver.add_device(DriverDevice::token(0x50, 0x1000));
    const ToolResult r = run_tool({"reset"});
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.err.substr(0, r.err.find(':', 20)), "pyxo: reset: the token at position 0 is busy");
    EXPECT_TRUE(driver.commands().empty());
}

TEST(Credentials, PinThenMasterKeyAreVerifiedBeforeTheCommand)
{
    vuxa_test::ScriptedDriver driver;
    driver.add_device(DriverDevice::token(0x50, 0x1000));
    const ToolResult r =
        run_tool({"led", "7", "--master-key", "0102030405060708", "--pin", "0x01020304"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(commands(driver), (std::vector<std::string>{"102@1 00 00 00 00", "10e@1 04 03 02 01",
                                                          "10f@1 01 02 03 04 05 06 07 08",
                                                          "003@1 07 00 00 00"}));
}

struct RefusedCredential {
    std::vector<std::string> args;
    uint8_t token_status;
    std::string err;
    size_t commands; // sent in all, the open's included
};

void PrintTo(const RefusedCredential &c, std::ostream *os)
{
    *os << command_line(c.args);
}

const RefusedCredential kRefusedCredentials[] = {
    {{"--pin", "1", "led", "1"}, 0x01,
     "pyxo: led: the PIN (--pin) was refused: PYXO_ERR_ACCESS_DENIED (4): access denied: a wrong "
     "PIN or master key, or an access condition that is not met (give --pin or --master-key)\n",
     2},
    {{"--master-key", "0000000000000000", "led", "1"}, 0x05,
     "pyxo: led: the master key (--master-key) was refused: PYXO_ERR_10 (10): the PIN or master "
     "key is locked after too many wrong tries (token status 5)\n",
     2},
    {{"verify-pin", "99"}, 0x01,
     "pyxo: verify-pin: the PIN was refused: PYXO_ERR_ACCESS_DENIED (4): access denied: a wrong "
     "PIN or master key, or an access condition that is not met (give --pin or --master-key)\n",
     2},
};

class Credentials : public ::testing::TestWithParam<RefusedCredential> {};

TEST_P(Credentials, ARefusalExitsWith4BeforeTheCommand)
{
    vuxa_test::ScriptedDriver driver;
    driver.add_device(DriverDevice::token(0x50, 0x1000));
    const RefusedCredential &c = GetParam();
    driver.on_command([&c](const vuxa_test::CommandBlock &block) -> std::optional<DriverReply> {
        if (block.command == 0x10E || block.command == 0x10F)
            return DriverReply::status(c.token_status);
        return std::nullopt;
    });
    const ToolResult r = run_tool(c.args);
    EXPECT_EQ(r.exit_code, 4);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(driver.commands().size(), c.commands);
}

INSTANTIATE_TEST_SUITE_P(Cases, Credentials, ::testing::ValuesIn(kRefusedCredentials));

TEST(Credentials, AnAcceptedVerificationSaysSo)
{
    vuxa_test::ScriptedDriver driver;
    driver.add_device(DriverDevice::token(0x50, 0x1000));
    EXPECT_EQ(run_tool({"verify-pin", "1234"}).out, "PIN accepted\n");
    EXPECT_EQ(run_tool({"verify-key", "01:02:03:04:05:06:07:08"}).out, "master key accepted\n");
    const std::vector<vuxa_test::CommandBlock> sent = driver.commands();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[1].request(), hex("d2 04 00 00"));
    EXPECT_EQ(sent[3].request(), hex("01 02 03 04 05 06 07 08"));
}

} // namespace
} // namespace pyxo_test
