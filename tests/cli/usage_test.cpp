// Mistakes on the command line: each is named, exits with 2 (5 for a file
// that cannot be read), and never reaches the driver.
#include <gtest/gtest.h>

#include "support/scripted_driver.h"
#include "tool.h"

namespace pyxo_test {
namespace {

struct UsageCase {
    std::vector<std::string> args;
    int exit_code;
    std::string message; // the whole first line of standard error
};

void PrintTo(const UsageCase &c, std::ostream *os)
{
    *os << command_line(c.args);
}

const std::string k65Bytes(130, 'a');

const UsageCase kUsageCases[] = {
    {{}, 2, "pyxo: no command given (`pyxo help` lists the commands)"},
    {{"frobnicate"}, 2, "pyxo: unknown command 'frobnicate' (`pyxo help` lists the commands)"},
    {{"--bogus", "list"}, 2, "pyxo: unknown option --bogus (`pyxo help` lists them)"},
    {{"ls", "--bogus"}, 2, "pyxo: ls: unknown option --bogus (`pyxo help ls` lists them)"},
    {{"ls", "--token"}, 2, "pyxo: ls: --token needs a value (N)"},
    {{"ls", "--token", "one"}, 2,
     "pyxo: ls: --token: 'one' is not a number (decimal, or hex with 0x)"},
    {{"ls", "1", "2"}, 2, "pyxo: ls: too many arguments; usage: pyxo ls [DIR]"},
    {{"read", "1"}, 2, "pyxo: read: missing arguments; usage: pyxo read DIR FILE [OFFSET LENGTH]"},
    {{"read", "1", "2", "3"}, 2, "pyxo: read: OFFSET and LENGTH go together"},
    {{"read", "x1", "2"}, 2, "pyxo: read: DIR: 'x1' is not a number (decimal, or hex with 0x)"},
    {{"read", "0x", "2"}, 2, "pyxo: read: DIR: '0x' is not a number (decimal, or hex with 0x)"},
    {{"read", "1", "4294967296"}, 2, "pyxo: read: FILE: '4294967296' is above 4294967295"},
    {{"read", "1", "2", "0", "0x20002"}, 2, "pyxo: read: LENGTH: '0x20002' is above 131072"},
    {{"led", "0x10000"}, 2, "pyxo: led: VALUE: '0x10000' is above 65535"},
    {{"verify-key", "0102"}, 2, "pyxo: verify-key: KEY: 8 bytes (16 hex digits) needed, not 2"},
    {{"--master-key", "01020304050607", "info"}, 2,
     "pyxo: --master-key: 8 bytes (16 hex digits) needed, not 7"},
    {{"write", "1", "2", "0", "0g"}, 2,
     "pyxo: write: DATA: '0g' is not hex bytes (pairs of hex digits, such as 0a1b2c)"},
    {{"write", "1", "2", "0", "abc"}, 2,
     "pyxo: write: DATA: 'abc' is not hex bytes (pairs of hex digits, such as 0a1b2c)"},
    {{"write", "1", "2", "0", "@/nonexistent/data"}, 5,
     "pyxo: write: /nonexistent/data: cannot open: No such file or directory"},
    {{"md5", "--pin", "1", "00"}, 2, "pyxo: md5: --token, --pin and --master-key do not apply to md5"},
    {{"list", "--token", "1"}, 2, "pyxo: list: --token, --pin and --master-key do not apply to list"},
    {{"chap", "1", "2", "256", "00"}, 2, "pyxo: chap: ID: '256' is above 255"},
    {{"hash", "keyed", "00"}, 2,
     "pyxo: hash: keyed and chap hash with a key file: name its DIR and FILE"},
    {{"hash", "sha1", "00"}, 2, "pyxo: hash: MODE: 'sha1' is none of raw (0), keyed (1), chap (2)"},
    {{"hash", "raw", k65Bytes}, 2, "pyxo: hash: DATA: more than 64 bytes"},
    {{"delete-all"}, 2,
     "pyxo: delete-all: this deletes every file and directory on the token; add --yes"},
    {{"settings", "set", "16", "0", "0", "0"}, 2, "pyxo: settings: nibble_high: '16' is above 15"},
    {{"settings", "set", "1"}, 2,
     "pyxo: settings: settings set takes four values: NIBBLE_HIGH NIBBLE_LOW OCTAL_HIGH OCTAL_LOW"},
    {{"settings", "put"}, 2,
     "pyxo: settings: usage: pyxo settings [get | set NIBBLE_HIGH NIBBLE_LOW OCTAL_HIGH OCTAL_LOW]"},
    {{"create", "1", "2", "64", "file", "0", "0", "0"}, 2,
     "pyxo: create: TYPE: 'file' is none of data, counter, key (or a number)"},
    {{"provision-hmac", "1", "2", "2", "00"}, 2,
     "pyxo: provision-hmac: INNER_FILE and OUTER_FILE must differ"},
    {{"provision-hmac", "1", "2", "3", "00", "--write", "7"}, 2,
     "pyxo: provision-hmac: --write 7 (never) would leave the key file empty: it is filled by "
     "writing it"},
    {{"provision-chap", "1", "2", "00", "--use", "8"}, 2,
     "pyxo: provision-chap: --use: '8' is above 7"},
    {{"host-chap", "1", "-", "-"}, 2, "pyxo: host-chap: CHALLENGE: standard input is already taken"},
    {{"led", "--help=yes"}, 2, "pyxo: led: unknown option --help (`pyxo help led` lists them)"},
    {{"delete-all", "--yes=1"}, 2, "pyxo: delete-all: --yes takes no value"},
};

class UsageTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageTest, IsNamedAndSendsNothing)
{
    vuxa_test::ScriptedDriver driver;
    driver.add_device(vuxa_test::DriverDevice::token(0x50, 0x1000));
    const UsageCase &c = GetParam();
    const ToolResult r = run_tool(c.args);
    EXPECT_EQ(r.exit_code, c.exit_code);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.message);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(driver.requests().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, UsageTest, ::testing::ValuesIn(kUsageCases));

TEST(Help, OverviewNamesEveryGroupAndTheExitCodes)
{
    const ToolResult r = run_tool({"help"});
    EXPECT_EQ(r.exit_code, 0);
    for (const char *line : {"usage: pyxo [--token N] [--pin PIN] [--master-key HEX] COMMAND",
                             "  provision-hmac ", "  host-chap ", "Exit codes: 0 done"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line;
}

TEST(Help, OneCommandShowsItsUsageAndOptions)
{
    const ToolResult r = run_tool({"read", "--help"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "usage: pyxo read [OPTIONS] DIR FILE [OFFSET LENGTH]");
    EXPECT_NE(r.out.find("  --out FILE"), std::string::npos);
    EXPECT_NE(r.out.find("  --master-key HEX"), std::string::npos);
    EXPECT_EQ(run_tool({"help", "read"}).out, r.out);
}

} // namespace
} // namespace pyxo_test
