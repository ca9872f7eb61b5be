// Digests on this machine: RFC 1321, RFC 2104 and RFC 1994 values, from
// hex, files and standard input.  No driver is needed.
#include <gtest/gtest.h>

#include "support/scripted_driver.h"
#include "tool.h"

namespace pyxo_test {
namespace {

struct HostCase {
    std::vector<std::string> args;
    std::string input;
    std::string out;
};

void PrintTo(const HostCase &c, std::ostream *os)
{
    *os << command_line(c.args);
}

const std::string kJefe = "4a656665"; // "Jefe"

const HostCase kHostCases[] = {
    {{"md5", ""}, "", "d41d8cd98f00b204e9800998ecf8427e\n"},
    {{"md5", "616263"}, "", "900150983cd24fb0d6963f7d28e17f72\n"},
    {{"md5", "61:62:63"}, "", "900150983cd24fb0d6963f7d28e17f72\n"},
    {{"md5", "-"}, "abc", "900150983cd24fb0d6963f7d28e17f72\n"},
    {{"md5", "-"}, std::string(200000, 'a'), "561b1994f6baacd6e5eaf4baaa12849f\n"},
    // RFC 2104 test cases 1 and 2, and a key longer than a block (RFC 2202 case 6).
    {{"host-hmac", "0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b", "4869205468657265"},
     "",
     "9294727a3638bb1c13f48ef8158bfc9d\n"},
    {{"host-hmac", kJefe, "-"}, "what do ya want for nothing?", "750c783e6ab0b503eaa86e310a5db738\n"},
    {{"host-hmac", "-", "54657374205573696e67204c6172676572205468616e20426c6f636b2d53697a65204b6579"
                        "202d2048617368204b6579204669727374"},
     std::string(80, '\xaa'),
     "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd\n"},
    {{"host-hmac", "--states", kJefe, "-"},
     "what do ya want for nothing?",
     "inner  e88061cba83ea82f6c8d2743346952b9\n"
     "outer  0c67f553e3a54c4dcafa660fb72a1f78\n"
     "digest 750c783e6ab0b503eaa86e310a5db738\n"},
    // MD5(identifier, secret, challenge).
    {{"host-chap", "42", "736563726574", "0102030405"}, "", "e217003d44a65c592a180b82211adb8f\n"},
    {{"host-chap", "0xff", "", ""}, "", "00594fd4f42ba43fc1ca0427a0576295\n"},
};

class HostDigests : public ::testing::TestWithParam<HostCase> {};

TEST_P(HostDigests, MatchTheReferenceValues)
{
    const ToolResult r = run_tool(GetParam().args, GetParam().input);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, GetParam().out);
    EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, HostDigests, ::testing::ValuesIn(kHostCases));

TEST(HostDigests, ReadFiles)
{
    TempDir dir;
    write_text_file(dir.file("abc"), "abc");
    write_text_file(dir.file("key"), "Jefe");
    EXPECT_EQ(run_tool({"md5", "@" + dir.file("abc")}).out, "900150983cd24fb0d6963f7d28e17f72\n");
    EXPECT_EQ(run_tool({"host-hmac", "@" + dir.file("key"), "-"}, "what do ya want for nothing?").out,
              "750c783e6ab0b503eaa86e310a5db738\n");
    const ToolResult missing = run_tool({"md5", "@" + dir.file("none")});
    EXPECT_EQ(missing.exit_code, 5);
    EXPECT_EQ(missing.err,
              "pyxo: md5: " + dir.file("none") + ": cannot open: No such file or directory\n");
}

TEST(HostDigests, NeedNoDriver)
{
    vuxa_test::ScriptedDriver driver;
    driver.remove_socket();
    EXPECT_EQ(run_tool({"md5", "616263"}).exit_code, 0);
    EXPECT_TRUE(driver.requests().empty());
}

} // namespace
} // namespace pyxo_test
