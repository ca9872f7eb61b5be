// PIN, master key, challenge, settings, LED and info against a virtual
// token.
#include <gtest/gtest.h>

#include "tool.h"
#include "virtual_token.h"

namespace pyxo_test {
namespace {

TEST(Auth, PinAndMasterKeyAreCheckedAndChanged)
{
    VirtualToken token;
    EXPECT_EQ(token.run({"verify-pin", kPin}).out, "PIN accepted\n");
    EXPECT_EQ(token.run({"verify-pin", "4321"}).exit_code, 4);
    EXPECT_EQ(token.run({"--pin", kPin, "set-pin", "4321"}).exit_code, 0);
    EXPECT_EQ(token.run({"verify-pin", "4321"}).out, "PIN accepted\n");

    EXPECT_EQ(token.run({"set-key", "1112131415161718"}).exit_code, 1); // needs the master key
    EXPECT_EQ(token.admin({"set-key", "1112131415161718"}).exit_code, 0);
    EXPECT_EQ(token.run({"verify-key", kMasterKey}).exit_code, 4);
    EXPECT_EQ(token.run({"verify-key", "1112131415161718"}).out, "master key accepted\n");
}

TEST(Auth, ThePinLocksAfterItsTries)
{
    VirtualToken token;
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(token.run({"verify-pin", "1"}).exit_code, 4);
    const ToolResult r = token.run({"verify-pin", kPin});
    EXPECT_EQ(r.exit_code, 4);
    EXPECT_EQ(r.err, "pyxo: verify-pin: the PIN was refused: PYXO_ERR_10 (10): the PIN or master key "
                     "is locked after too many wrong tries (token status 5)\n");
}

TEST(Auth, SettingsReadAndWrite)
{
    VirtualToken token;
    const std::string defaults = "nibble_high 5   master key try limit (0: none)\n"
                                 "nibble_low  3   PIN try limit (0: none)\n"
                                 "octal_high  3   condition for changing the PIN\n"
                                 "octal_low   2   condition for creating and deleting files and "
                                 "directories\n";
    EXPECT_EQ(token.run({"settings"}).out, defaults);
    EXPECT_EQ(token.run({"settings", "set", "15", "0", "1", "0"}).exit_code, 1);
    EXPECT_EQ(token.run({"settings"}).out, defaults);
    EXPECT_EQ(token.admin({"settings", "set", "15", "0", "1", "0"}).exit_code, 0);
    EXPECT_EQ(token.run({"settings", "get"}).out,
              "nibble_high 15  master key try limit (0: none)\n"
              "nibble_low  0   PIN try limit (0: none)\n"
              "octal_high  1   condition for changing the PIN\n"
              "octal_low   0   condition for creating and deleting files and directories\n");
    EXPECT_EQ(token.run({"mkdir", "3", "64"}).exit_code, 0); // now allowed always
}

TEST(Auth, ChallengesAreFresh)
{
    VirtualToken token;
    const ToolResult a = token.run({"challenge"});
    const ToolResult b = token.run({"challenge"});
    EXPECT_EQ(a.exit_code, 0) << a.err;
    ASSERT_EQ(a.out.size(), 17u);
    ASSERT_EQ(b.out.size(), 17u);
    EXPECT_NE(a.out, b.out);
}

TEST(Device, InfoLedAndReset)
{
    VirtualToken token;
    const ToolResult r = token.run({"info"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    for (const std::string line :
         {"serial number     " + kSerial + "\n", std::string("identification    vuxa virtual token 1.0\n"),
          std::string("self-test         passed (0x100, 0xffff)\n"),
          std::string("access settings   nibble_high 5, nibble_low 3, octal_high 3, octal_low 2\n")})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
    EXPECT_EQ(token.run({"led", "0x8001"}).exit_code, 0);
    EXPECT_EQ(token.run({"reset"}).exit_code, 0);
}

} // namespace
} // namespace pyxo_test
