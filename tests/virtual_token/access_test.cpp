// Credentials, retry counters, access settings and the access conditions
// on files and on the settings commands.
#include "device/token_commands.h"
#include "util/bytes.h"
#include "vtd_fixture.h"

namespace vuxa_test {
namespace {

class Access : public TokenTest {
protected:
    void SetUp() override
    {
        insert(kWide);
        attach(0);
    }
    // A file with these conditions, created with both credentials, then
    // the session ended: the test starts unauthenticated with it selected.
    void file_with(uint8_t type, uint8_t access)
    {
        ASSERT_EQ(verify_key(), 0);
        ASSERT_EQ(create_file(0, next_file, type, access, 8), 0);
        cmd(PYXO_CMD_RESET, {}, 0);
        ASSERT_EQ(select(0, next_file).size(), 4u);
        next_file++;
    }
    uint8_t session(bool pin, bool key)
    {
        cmd(PYXO_CMD_RESET, {}, 0);
        if (pin && verify_pin() != 0)
            return 0xFF;
        if (key && verify_key() != 0)
            return 0xFF;
        return 0;
    }
    uint32_t next_file = 1;
};

// Which sessions meet each condition: none, PIN, master key, both.
TEST_F(Access, ConditionsOnReadingAFile)
{
    const struct {
        uint8_t condition;
        bool met[4];
    } cases[] = {
        {0, {true, true, true, true}},    {1, {false, true, false, true}},
        {2, {false, false, true, true}},  {3, {false, true, true, true}},
        {4, {false, false, false, true}}, {5, {false, true, false, true}},
        {6, {false, false, true, true}},  {7, {false, false, false, false}},
    };
    for (const auto &c : cases) {
        file_with(2, uint8_t(c.condition << 3));
        const uint32_t file = next_file - 1;
        for (int s = 0; s < 4; s++) {
            ASSERT_EQ(session(s & 1, s & 2), 0);
            ASSERT_EQ(select(0, file).size(), 4u);
            const Bytes answer = read(0, 1);
            EXPECT_EQ(answer.size() == 2, c.met[s])
                << "condition " << int(c.condition) << " session " << s << ": " << to_hex(answer);
            if (!c.met[s])
                EXPECT_EQ(to_hex(answer), "01");
        }
    }
}

// Conditions 5 and 6 allow one command per verification.
TEST_F(Access, OnceOnlyConditionsSpendTheVerification)
{
    file_with(2, 5 << 3 | 6);
    ASSERT_EQ(verify_pin(), 0);
    EXPECT_EQ(read(0, 1).size(), 2u);
    EXPECT_EQ(to_hex(read(0, 1)), "01");
    ASSERT_EQ(verify_pin(), 0);
    EXPECT_EQ(to_hex(read(0, 40)), "0b") << "a refused read spends nothing";
    EXPECT_EQ(read(0, 1).size(), 2u);
    ASSERT_EQ(verify_key(), 0);
    EXPECT_EQ(write(0, {1, 2}), 0);
    EXPECT_EQ(write(0, {1, 2}), 1);
}

TEST_F(Access, AttributesTellWhatTheSessionMayDoNow)
{
    file_with(2, 1 << 3 | 2); // read after PIN, write after master key
    file_with(3, 0 << 3 | 2); // counter: read and decrement always
    file_with(4, 1 << 3 | 7); // key file: hash after PIN, never written
    const struct {
        uint32_t file;
        bool pin, key;
        const char *answer;
    } cases[] = {
        {1, false, false, "08 00 40 0a"}, {1, true, false, "08 00 41 0a"},
        {1, false, true, "08 00 42 0a"},  {2, false, false, "08 00 65 02"},
        {3, false, false, "08 00 80 0f"}, {3, true, true, "08 00 84 0f"},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(session(c.pin, c.key), 0);
        EXPECT_EQ(to_hex(select(0, c.file)), c.answer) << c.file;
    }
}

TEST_F(Access, KeyFilesAreNeverRead)
{
    file_with(4, 0 << 3 | 0);
    EXPECT_EQ(write(0, {1, 2}), 0);
    EXPECT_EQ(to_hex(read(0, 1)), "01");
    ASSERT_EQ(session(true, true), 0);
    ASSERT_EQ(select(0, 1).size(), 4u);
    EXPECT_EQ(to_hex(read(0, 1)), "01");
}

TEST_F(Access, FileSystemChangesFollowTheSettingsCondition)
{
    ASSERT_EQ(verify_key(), 0);
    ASSERT_EQ(set_settings(0x02, 0x53), 0); // file system after the master key
    ASSERT_EQ(session(true, false), 0);
    EXPECT_EQ(create_dir(1, 4), 1);
    EXPECT_EQ(create_file(0, 1, 2, 0, 4), 1);
    EXPECT_EQ(status(PYXO_CMD_SETTINGS, {3, 0, 0, 0}), 1);
    ASSERT_EQ(session(false, true), 0);
    EXPECT_EQ(create_dir(1, 8), 0);
    EXPECT_EQ(create_file(1, 1, 2, 0, 2), 0);
    ASSERT_EQ(session(true, false), 0);
    EXPECT_EQ(status(PYXO_CMD_DELETE_FILE, {1, 0, 0, 0, 1, 0, 0, 0}), 1);
    EXPECT_EQ(status(PYXO_CMD_DELETE_DIR, {1, 0, 0, 0}), 1);
}

TEST_F(Access, SettingsNeedTheMasterKeyAndRoundTrip)
{
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_GET_ACCESS_SETTINGS, {}, 2)), "1b 53");
    EXPECT_EQ(set_settings(0x3F, 0xFF), 1);
    ASSERT_EQ(verify_pin(), 0);
    EXPECT_EQ(set_settings(0x3F, 0xFF), 1) << "the PIN is not enough";
    ASSERT_EQ(verify_key(), 0);
    EXPECT_EQ(set_settings(0x40, 0xFF), 11) << "bits 7-6 of byte 0";
    EXPECT_EQ(set_settings(0x3F, 0xFF), 0);
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_GET_ACCESS_SETTINGS, {}, 2)), "3f ff");
    EXPECT_EQ(status(PYXO_CMD_SETTINGS, {1, 0, 0, 0, 0}), 11) << "short request";
    EXPECT_EQ(status(PYXO_CMD_SETTINGS, {1, 0, 1, 0, 0, 0}), 11) << "bytes 1-3 are zero";
    EXPECT_EQ(status(PYXO_CMD_SETTINGS, {4, 0, 0, 0}), 11) << "no sub-operation 4";
}

TEST_F(Access, ChangingThePinFollowsItsCondition)
{
    const Bytes change = {0, 0, 0, 0, 0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(status(PYXO_CMD_SETTINGS, change), 1);
    ASSERT_EQ(verify_pin(), 0);
    EXPECT_EQ(status(PYXO_CMD_SETTINGS, change), 0);
    EXPECT_EQ(verify_pin(kTestPin), 1);
    EXPECT_EQ(verify_pin(0x12345678), 0);
}

TEST_F(Access, ChangingTheMasterKeyNeedsTheMasterKey)
{
    const Bytes change = {2, 0, 0, 0, 9, 8, 7, 6, 5, 4, 3, 2};
    ASSERT_EQ(verify_pin(), 0);
    EXPECT_EQ(status(PYXO_CMD_SETTINGS, change), 1);
    ASSERT_EQ(verify_key(), 0);
    EXPECT_EQ(status(PYXO_CMD_SETTINGS, change), 0);
    EXPECT_EQ(verify_key(), 1);
    EXPECT_EQ(verify_key({9, 8, 7, 6, 5, 4, 3, 2}), 0);
}

// Three PIN tries: the third wrong one locks; then even the right PIN is
// refused with 5, until a holder of the master key sets a new PIN.
TEST_F(Access, WrongPinsLockThePin)
{
    const uint8_t expected[] = {1, 1, 1, 5, 5};
    for (uint8_t e : expected)
        EXPECT_EQ(verify_pin(0xBAD), e);
    EXPECT_EQ(verify_pin(), 5);
    ASSERT_EQ(verify_key(), 0);
    EXPECT_EQ(status(PYXO_CMD_SETTINGS, {0, 0, 0, 0, 0x34, 0x33, 0x32, 0x31}), 0);
    EXPECT_EQ(verify_pin(), 0);
}

TEST_F(Access, ARightPinClearsTheCount)
{
    for (int round = 0; round < 4; round++) {
        EXPECT_EQ(verify_pin(0xBAD), 1);
        EXPECT_EQ(verify_pin(0xBAD), 1);
        EXPECT_EQ(verify_pin(), 0) << round;
    }
}

TEST_F(Access, WrongMasterKeysLockTheMasterKeyForGood)
{
    const Bytes wrong(8, 0);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(verify_key(wrong), 1);
    EXPECT_EQ(verify_key(), 5);
    EXPECT_EQ(verify_key(wrong), 5);
}

TEST_F(Access, AWrongTryEndsThatCredentialsVerification)
{
    ASSERT_EQ(verify_pin(), 0);
    ASSERT_EQ(verify_key(), 0);
    EXPECT_EQ(verify_pin(0xBAD), 1);
    EXPECT_EQ(create_dir(1, 4), 0) << "the master key still counts";
    EXPECT_EQ(verify_key(Bytes(8, 0)), 1);
    EXPECT_EQ(create_dir(2, 4), 1);
}

TEST_F(Access, TryLimitZeroNeverLocks)
{
    ASSERT_EQ(verify_key(), 0);
    ASSERT_EQ(set_settings(0x1B, 0x50), 0);
    for (int i = 0; i < 40; i++)
        ASSERT_EQ(verify_pin(0xBAD), 1) << i;
    EXPECT_EQ(verify_pin(), 0);
}

// Every wrong try is persistent state: a host that saves on change keeps
// the count across restarts.
TEST_F(Access, WrongTriesAndCredentialChangesAreReportedAsChanges)
{
    vtd_take_changed(driver.get());
    EXPECT_EQ(verify_pin(0xBAD), 1);
    EXPECT_EQ(vtd_take_changed(driver.get()), 1u);
    EXPECT_EQ(verify_pin(), 0);
    EXPECT_EQ(vtd_take_changed(driver.get()), 1u) << "the count went back to 0";
    EXPECT_EQ(verify_pin(), 0);
    EXPECT_EQ(vtd_take_changed(driver.get()), 0u) << "nothing to save";
    cmd(PYXO_CMD_GET_CHALLENGE, {}, 8);
    status(PYXO_CMD_LED, {1, 0});
    EXPECT_EQ(vtd_take_changed(driver.get()), 0u);
    ASSERT_EQ(create_file(0, 1, 3, 0, 2), 0);
    EXPECT_EQ(vtd_take_changed(driver.get()), 1u);
    ASSERT_EQ(write(0, {5, 0, 0, 0}), 0);
    EXPECT_EQ(vtd_take_changed(driver.get()), 1u);
    ASSERT_EQ(status(PYXO_CMD_DECREMENT), 0);
    EXPECT_EQ(vtd_take_changed(driver.get()), 1u);
    read(0, 1);
    EXPECT_EQ(vtd_take_changed(driver.get()), 0u);
}

} // namespace
} // namespace vuxa_test
