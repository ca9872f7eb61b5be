// The scripted driver's own contract, which the other suites rely on.
#include <gtest/gtest.h>

#include <cstdlib>

#include "device/exchange.h"
#include "platform/platform.h"
#include "support/hex.h"
#include "support/open_token.h"

namespace vuxa_test {
namespace {

TEST(ScriptedDriver, ScriptBeatsHandlerAndHandlerBeatsDefault)
{
    OpenToken token;
    std::vector<uint16_t> seen;
    token.driver.on_command([&](const CommandBlock &block) -> std::optional<DriverReply> {
        seen.push_back(block.command);
        if (block.command == 0x112)
            return DriverReply::bytes(hex("11 22 33 44 55 66 77 88"));
        return std::nullopt;
    });
    uint8_t answer[8];
    token.driver.script_command(DriverReply::status(0x0B));
    EXPECT_EQ(pyxo_exchange(&token.context, 0x112, 0, nullptr, 8, answer),
              PYXO_ERR_INVALID_PARAMETER); // scripted, the handler not asked
    EXPECT_EQ(pyxo_exchange(&token.context, 0x112, 0, nullptr, 8, answer), PYXO_OK);
    EXPECT_EQ(to_hex(answer, 8), "11 22 33 44 55 66 77 88");
    EXPECT_EQ(pyxo_exchange(&token.context, 0x106, 0, nullptr, 1, nullptr), PYXO_OK); // default
    EXPECT_EQ(seen, (std::vector<uint16_t>{0x112, 0x106}));
    EXPECT_EQ(token.driver.commands().size(), 3u); // every request recorded
}

TEST(ScriptedDriver, ClosedConnectionGivesItsTokenBack)
{
    OpenToken token;
    ASSERT_TRUE(token.driver.attached(0));
    // The application drops the handle without releasing the token.
    CloseHandle(token.context.device_handle);
    token.context.device_handle = reinterpret_cast<void *>(intptr_t(-1));
    EXPECT_TRUE(token.driver.wait_for_open_connections(0));
    EXPECT_FALSE(token.driver.attached(0));

    PYXO_CONTEXT other{};
    EXPECT_EQ(Pyxo_OpenDevice(&other, PYXO_OPEN_FIRST), PYXO_OK);
    Pyxo_CloseDevice(&other);
}

TEST(ScriptedDriver, CommandsNeedTheTokenAttachedToTheConnection)
{
    OpenToken token;
    token.context.device_index = 2; // names position 1: nothing there
    EXPECT_EQ(pyxo_exchange(&token.context, 0x106, 0, nullptr, 1, nullptr), PYXO_ERR_IO);
    token.context.device_index = 1;
}

TEST(ScriptedDriver, UnknownControlCodesFail)
{
    ScriptedDriver driver;
    const HANDLE handle = CreateFileA("\\\\.\\VUXADRVR", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD count = 0;
    EXPECT_FALSE(DeviceIoControl(handle, 0x220410, nullptr, 0, nullptr, 0, &count, nullptr));
    EXPECT_EQ(GetLastError(), kInvalidFunction);
    CloseHandle(handle);
}

TEST(ScriptedDriver, RestoresTheDeviceDirectory)
{
    setenv("VUXA_DEVICE_DIR", "/nowhere", 1);
    {
        ScriptedDriver driver;
        EXPECT_EQ(std::string(std::getenv("VUXA_DEVICE_DIR")), driver.directory());
    }
    EXPECT_EQ(std::string(std::getenv("VUXA_DEVICE_DIR")), "/nowhere");
    unsetenv("VUXA_DEVICE_DIR");
    {
        ScriptedDriver driver;
    }
    EXPECT_EQ(std::getenv("VUXA_DEVICE_DIR"), nullptr);
}

} // namespace
} // namespace vuxa_test
