// Key files against a virtual token: what the token computes with the keys
// the tool provisions equals what this machine computes with the key.
#include <gtest/gtest.h>

#include "tool.h"
#include "virtual_token.h"

namespace pyxo_test {
namespace {

std::string hex_of(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char c : bytes) {
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text;
}

// A message of n bytes, as hex.
std::string message(size_t n)
{
    std::string m;
    for (size_t i = 0; i < n; i++)
        m += char('A' + i % 26);
    return hex_of(m);
}

class Keys : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(token.admin({"mkdir", "1", "512"}).exit_code, 0); }

    std::string line(const ToolResult &r)
    {
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return r.out;
    }

    VirtualToken token;
};

struct HmacKey {
    std::string key; // hex
};

void PrintTo(const HmacKey &c, std::ostream *os)
{
    *os << "key " << c.key.size() / 2 << " bytes";
}

class HmacKeys : public Keys, public ::testing::WithParamInterface<HmacKey> {};

TEST_P(HmacKeys, TheTokensHmacEqualsTheHosts)
{
    const std::string key = GetParam().key;
    const ToolResult made = token.admin({"provision-hmac", "1", "1", "2", key, "--check"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    EXPECT_EQ(made.out, "checked: the token's HMAC-MD5 matches\n");
    for (size_t n : {0, 1, 16, 54, 55}) {
        const std::string data = message(n);
        EXPECT_EQ(line(token.run({"hmac", "1", "1", "1", "2", data})),
                  line(token.run({"host-hmac", key, data})))
            << n << " bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, HmacKeys,
                         ::testing::Values(HmacKey{"4a656665"}, HmacKey{""},
                                           HmacKey{std::string(128, 'c')},
                                           HmacKey{std::string(160, 'a')}));

TEST_F(Keys, KeyFilesAreNeverReadBack)
{
    ASSERT_EQ(token.admin({"provision-hmac", "1", "1", "2", "4a656665"}).exit_code, 0);
    EXPECT_EQ(token.run({"ls", "1"}).out,
              "INDEX  TYPE       DIR         ID          SIZE    ACCESS\n"
              "0      directory  1           0           512     - - -\n"
              "1      key        1           1           16      - 2 0\n"
              "2      key        1           2           16      - 2 0\n");
    const ToolResult r = token.admin({"read", "1", "1"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("PYXO_ERR_ACCESS_DENIED (4)"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(Keys, ASecondProvisioningKeepsTheFirstKeyUnlessToldToReplace)
{
    ASSERT_EQ(token.admin({"provision-hmac", "1", "1", "2", "4a656665"}).exit_code, 0);
    const ToolResult again = token.admin({"provision-hmac", "1", "1", "2", "00112233"});
    EXPECT_EQ(again.exit_code, 1);
    EXPECT_EQ(again.err, "pyxo: provision-hmac: creating key file 1: PYXO_ERR_9 (9): the directory "
                         "or file exists already (token status 4)\n");
    EXPECT_EQ(line(token.run({"hmac", "1", "1", "1", "2", "616263"})),
              line(token.run({"host-hmac", "4a656665", "616263"})));
    ASSERT_EQ(token.admin({"provision-hmac", "--replace", "1", "1", "2", "00112233"}).exit_code, 0);
    EXPECT_EQ(line(token.run({"hmac", "1", "1", "1", "2", "616263"})),
              line(token.run({"host-hmac", "00112233", "616263"})));
}

TEST_F(Keys, AProvisioningThatFailsHalfwayLeavesNoKeyFile)
{
    ASSERT_EQ(token.admin({"create", "1", "2", "16", "data", "0", "0", "0"}).exit_code, 0);
    const ToolResult r = token.admin({"provision-hmac", "1", "1", "2", "4a656665"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "pyxo: provision-hmac: creating key file 2: PYXO_ERR_9 (9): the directory or "
                     "file exists already (token status 4) (the key files made were deleted "
                     "again)\n");
    EXPECT_EQ(token.run({"ls", "1"}).out,
              "INDEX  TYPE       DIR         ID          SIZE    ACCESS\n"
              "0      directory  1           0           512     - - -\n"
              "1      data       1           2           16      0 0 -\n");
}

TEST_F(Keys, TheUseConditionGuardsHashing)
{
    ASSERT_EQ(token.admin({"provision-hmac", "--use", "1", "1", "1", "2", "4a656665"}).exit_code, 0);
    const ToolResult refused = token.run({"hmac", "1", "1", "1", "2", "616263"});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_NE(refused.err.find("PYXO_ERR_ACCESS_DENIED (4)"), std::string::npos) << refused.err;
    EXPECT_EQ(line(token.run({"--pin", kPin, "hmac", "1", "1", "1", "2", "616263"})),
              line(token.run({"host-hmac", "4a656665", "616263"})));
}

TEST_F(Keys, ConditionsThatAllowOneCommandAreVerifiedForEachStep)
{
    const ToolResult r =
        token.admin({"provision-hmac", "--write", "6", "--check", "1", "1", "2", "4a"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "checked: the token's HMAC-MD5 matches\n");
}

TEST_F(Keys, HmacRefusesMoreThan55Bytes)
{
    ASSERT_EQ(token.admin({"provision-hmac", "1", "1", "2", "4a656665"}).exit_code, 0);
    const ToolResult r = token.run({"hmac", "1", "1", "1", "2", message(56)});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "pyxo: hmac: HMAC-MD5 of 56 bytes: PYXO_ERR_DATA_TOO_LONG (19): too much data "
                     "for one hash block\n");
}

TEST_F(Keys, KeyedHashIsTheInnerHash)
{
    ASSERT_EQ(token.admin({"provision-hmac", "1", "1", "2", "4a656665"}).exit_code, 0);
    // MD5 of ("Jefe" zero-filled to 64 bytes, XOR 0x36) then "abc".
    std::string inner_block = "7c535053";
    for (int i = 4; i < 64; i++)
        inner_block += "36";
    EXPECT_EQ(line(token.run({"hash", "keyed", "1", "1", "616263"})),
              line(token.run({"md5", inner_block + "616263"})));
}

TEST(TokenHash, RawModeOfThePaddedEmptyMessageIsItsMd5)
{
    VirtualToken token;
    EXPECT_EQ(token.run({"hash", "raw", "80" + std::string(126, '0')}).out,
              "d41d8cd98f00b204e9800998ecf8427e\n");
    EXPECT_EQ(token.run({"hash", "0", "80"}).out, "d41d8cd98f00b204e9800998ecf8427e\n");
}

struct ChapCase {
    std::string secret;
    std::string id;
    size_t challenge;
};

void PrintTo(const ChapCase &c, std::ostream *os)
{
    *os << "secret " << c.secret.size() / 2 << " bytes, challenge " << c.challenge;
}

class ChapSecrets : public Keys, public ::testing::WithParamInterface<ChapCase> {};

TEST_P(ChapSecrets, TheTokensResponseEqualsTheHosts)
{
    const ChapCase &c = GetParam();
    const ToolResult made = token.admin({"provision-chap", "1", "3", c.secret, "--check"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    EXPECT_EQ(made.out, "checked: the token's CHAP-MD5 matches\n");
    const std::string challenge = message(c.challenge);
    EXPECT_EQ(line(token.run({"chap", "1", "3", c.id, challenge})),
              line(token.run({"host-chap", c.id, c.secret, challenge})));
}

INSTANTIATE_TEST_SUITE_P(Cases, ChapSecrets,
                         ::testing::Values(ChapCase{"736563726574", "42", 16},
                                           ChapCase{"7365637265", "0", 0},
                                           ChapCase{"", "255", 50},
                                           ChapCase{std::string(200, 'e'), "0x7f", 8}));

TEST_F(Keys, ChapRefusesChallengesAbove50Bytes)
{
    ASSERT_EQ(token.admin({"provision-chap", "1", "3", "736563726574"}).exit_code, 0);
    const ToolResult r = token.run({"chap", "1", "3", "1", message(51)});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "pyxo: chap: CHAP-MD5 with a 51-byte challenge: PYXO_ERR_DATA_TOO_LONG (19): "
                     "too much data for one hash block\n");
}

TEST_F(Keys, ChapModeOfTheHashCommandTakesTheChapBlock)
{
    ASSERT_EQ(token.admin({"provision-chap", "1", "3", "736563726574"}).exit_code, 0);
    EXPECT_EQ(line(token.run({"hash", "chap", "1", "3", "2a050102030405"})),
              "e217003d44a65c592a180b82211adb8f\n");
}

} // namespace
} // namespace pyxo_test
