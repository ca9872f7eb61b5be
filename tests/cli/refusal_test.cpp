// How refusals reach the user: every token status and driver failure by
// its name and meaning, the library's own argument checks, and a self-test
// that fails.
#include <gtest/gtest.h>

#include "support/hex.h"
#include "support/scripted_driver.h"
#include "tool.h"

namespace pyxo_test {
namespace {

using vuxa_test::DriverDevice;
using vuxa_test::DriverReply;
using vuxa_test::hex;

struct Refusal {
    DriverReply reply; // to the command after the open
    std::string status; // what follows "pyxo: rmdir: deleting directory 5: "
};

void PrintTo(const Refusal &c, std::ostream *os)
{
    *os << c.status.substr(0, c.status.find(':'));
}

const Refusal kRefusals[] = {
    {DriverReply::status(0x01),
     "PYXO_ERR_ACCESS_DENIED (4): access denied: a wrong PIN or master key, or an access "
     "condition that is not met (give --pin or --master-key)"},
    {DriverReply::status(0x02), "PYXO_ERR_5 (5): no such directory, file or entry (token status 2)"},
    {DriverReply::status(0x03), "PYXO_ERR_3 (3): no file is selected on the token (token status 3)"},
    {DriverReply::status(0x04),
     "PYXO_ERR_9 (9): the directory or file exists already (token status 4)"},
    {DriverReply::status(0x08),
     "PYXO_ERR_14 (14): the selected file's type does not allow this (token status 8)"},
    {DriverReply::status(0x09), "PYXO_ERR_15 (15): the directory is not empty (token status 9)"},
    {DriverReply::status(0x0A),
     "PYXO_ERR_NO_SPACE (16): not enough room: larger than the token's memory, or no space left "
     "(token status 10)"},
    {DriverReply::status(0x2B),
     "PYXO_ERR_INVALID_PARAMETER (17): an argument is out of range, or the token refused the "
     "request as malformed (token status 11)"},
    {DriverReply::status(0x0C), "PYXO_ERR_20 (20): the counter is 0 already (token status 12)"},
    {DriverReply::status(0x0D),
     "PYXO_ERR_UNKNOWN (255): the token does not know the command, or answered a status this "
     "library does not know"},
    {DriverReply::bytes(hex("00 00")),
     "PYXO_ERR_RESPONSE_LENGTH (13): the token answered with an unexpected number of bytes"},
    {DriverReply::fail(31),
     "PYXO_ERR_IO (8): the driver failed the request, or the connection to it broke"},
    {DriverReply::fail(6), "PYXO_ERR_INVALID_HANDLE (7): the driver does not know the handle"},
};

class Refusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(Refusals, NameTheStatusAndExitWith1)
{
    vuxa_test::ScriptedDriver driver;
    driver.add_device(DriverDevice::token(0x50, 0x1000));
    const Refusal &c = GetParam();
    driver.on_command([&c](const vuxa_test::CommandBlock &block) -> std::optional<DriverReply> {
        if (block.command == 0x10C)
            return c.reply;
        return std::nullopt;
    });
    const ToolResult r = run_tool({"rmdir", "5"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "pyxo: rmdir: deleting directory 5: " + c.status + "\n");
    EXPECT_EQ(r.out, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, Refusals, ::testing::ValuesIn(kRefusals));

struct LibraryCheck {
    std::vector<std::string> args;
    std::string err;
};

void PrintTo(const LibraryCheck &c, std::ostream *os)
{
    *os << command_line(c.args);
}

// The library refuses these itself: nothing reaches the token after the
// open's serial number.
const LibraryCheck kLibraryChecks[] = {
    {{"mkdir", "1", "3"},
     "pyxo: mkdir: creating directory 1: PYXO_ERR_ODD_LENGTH (18): sizes, offsets and lengths "
     "must be even: token memory is made of 16-bit words"},
    {{"mkdir", "1", "8194"},
     "pyxo: mkdir: creating directory 1: PYXO_ERR_NO_SPACE (16): not enough room: larger than the "
     "token's memory, or no space left (token status 10)"},
    {{"mkdir", "1", "0"},
     "pyxo: mkdir: creating directory 1: PYXO_ERR_INVALID_PARAMETER (17): an argument is out of "
     "range, or the token refused the request as malformed (token status 11)"},
    {{"create", "1", "2", "64", "1", "0", "0", "0"},
     "pyxo: create: creating file 2 of directory 1: PYXO_ERR_INVALID_PARAMETER (17): an argument "
     "is out of range, or the token refused the request as malformed (token status 11)"},
    {{"create", "1", "2", "64", "data", "8", "0", "0"},
     "pyxo: create: creating file 2 of directory 1: PYXO_ERR_INVALID_PARAMETER (17): an argument "
     "is out of range, or the token refused the request as malformed (token status 11)"},
    {{"rmdir", "0"},
     "pyxo: rmdir: deleting directory 0: PYXO_ERR_INVALID_PARAMETER (17): an argument is out of "
     "range, or the token refused the request as malformed (token status 11)"},
    {{"hmac", "1", "2", "1", "3", std::string(112, '0')},
     "pyxo: hmac: HMAC-MD5 of 56 bytes: PYXO_ERR_DATA_TOO_LONG (19): too much data for one hash "
     "block"},
    {{"chap", "1", "2", "3", std::string(102, '0')},
     "pyxo: chap: CHAP-MD5 with a 51-byte challenge: PYXO_ERR_DATA_TOO_LONG (19): too much data "
     "for one hash block"},
};

class LibraryChecks : public ::testing::TestWithParam<LibraryCheck> {};

TEST_P(LibraryChecks, AreReportedWithoutACommand)
{
    vuxa_test::ScriptedDriver driver;
    driver.add_device(DriverDevice::token(0x50, 0x1000));
    const LibraryCheck &c = GetParam();
    const ToolResult r = run_tool(c.args);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, c.err + "\n");
    EXPECT_EQ(driver.commands().size(), 1u); // the serial number
}

INSTANTIATE_TEST_SUITE_P(Cases, LibraryChecks, ::testing::ValuesIn(kLibraryChecks));

// A token that answers command 1, the settings and the self-test.
void play_token(vuxa_test::ScriptedDriver &driver, std::vector<uint8_t> self_test)
{
    driver.on_command([self_test](const vuxa_test::CommandBlock &b) -> std::optional<DriverReply> {
        switch (b.command) {
        case 0x001:
            return DriverReply::bytes({'t', 'o', 'k', 'e', 'n', ' ', '1'});
        case 0x103:
            return DriverReply::bytes(hex("c5 a3"));
        case 0x002:
            return DriverReply::bytes(self_test);
        default:
            return std::nullopt;
        }
    });
}

TEST(Info, ShowsWhatTheTokenSays)
{
    vuxa_test::ScriptedDriver driver;
    driver.add_device(DriverDevice::token(0x4F, 0x1000, {1, 2, 3, 4, 5, 6, 7, 8}));
    play_token(driver, hex("00 01 ff 00 ff 10"));
    const ToolResult r = run_tool({"info"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "position          0\n"
                     "model             0x4f (16-bit identifiers)\n"
                     "memory            8192 bytes\n"
                     "serial number     0102030405060708\n"
                     "descriptor        byte 2 0x0, byte 3 0x0\n"
                     "capabilities      0x0, parameter 0\n"
                     "driver version    0x100\n"
                     "identification    token 1\n"
                     "access settings   nibble_high 10, nibble_low 3, octal_high 0, octal_low 5\n"
                     "self-test         passed (0x100, 0xffff)\n");
}

TEST(Info, AFailedMemoryCheckIsShownAndExitsWith1)
{
    vuxa_test::ScriptedDriver driver;
    driver.add_device(DriverDevice::token(0x50, 0x1000));
    play_token(driver, hex("00 01 ff 00 ff 0f"));
    const ToolResult r = run_tool({"info"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.out.find("self-test         FAILED (0x100, 0xfff)\n"), std::string::npos);
    EXPECT_EQ(r.err, "pyxo: info: self-test: PYXO_ERR_MEMORY (11): the token's memory check "
                     "failed (token status 6)\n");
}

} // namespace
} // namespace pyxo_test
