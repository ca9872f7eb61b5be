// PIN, master key and access settings, as the token enforces them.
#include "token_test.h"

namespace e2e {
namespace {

using Authentication = TokenTest;

constexpr std::array<uint8_t, 8> kOtherKey = {8, 7, 6, 5, 4, 3, 2, 1};

TEST_F(Authentication, OnlyTheRightPinIsAccepted)
{
    EXPECT_EQ(Pyxo_VerifyPIN(&context_, kPin + 1), PYXO_ERR_ACCESS_DENIED);
    EXPECT_EQ(Pyxo_VerifyPIN(&context_, kPin), PYXO_OK);
    EXPECT_EQ(Pyxo_VerifyPIN(&context_, kPin + 0x10000), PYXO_ERR_ACCESS_DENIED)
        << "all 32 bits count";
}

TEST_F(Authentication, PinLocksAfterThreeWrongTriesAndStaysLocked)
{
    EXPECT_EQ(Pyxo_VerifyPIN(&context_, 1), PYXO_ERR_ACCESS_DENIED);
    EXPECT_EQ(Pyxo_VerifyPIN(&context_, 2), PYXO_ERR_ACCESS_DENIED);
    uint32_t third = Pyxo_VerifyPIN(&context_, 3);
    EXPECT_TRUE(third == PYXO_ERR_ACCESS_DENIED || third == PYXO_ERR_10) << third;
    EXPECT_EQ(Pyxo_VerifyPIN(&context_, kPin), PYXO_ERR_10) << "locked, even for the right PIN";

    // The count lives in the token, not in the session.
    ASSERT_EQ(Pyxo_CloseDevice(&context_), PYXO_OK);
    ASSERT_EQ(Pyxo_OpenDevice(&context_, PYXO_OPEN_FIRST), PYXO_OK);
    EXPECT_EQ(Pyxo_VerifyPIN(&context_, kPin), PYXO_ERR_10);

    // The master key's holder may set a new PIN, which unlocks it.
    ASSERT_EQ(Pyxo_VerifyMasterKey(&context_, kMasterKey.data()), PYXO_OK);
    ASSERT_EQ(Pyxo_ModifyPIN(&context_, 4321), PYXO_OK);
    EXPECT_EQ(Pyxo_VerifyPIN(&context_, 4321), PYXO_OK);
}

TEST_F(Authentication, ModifiedPinReplacesTheOldOne)
{
    EXPECT_EQ(Pyxo_ModifyPIN(&context_, 99), PYXO_ERR_ACCESS_DENIED) << "needs the PIN first";
    ASSERT_EQ(Pyxo_VerifyPIN(&context_, kPin), PYXO_OK);
    ASSERT_EQ(Pyxo_ModifyPIN(&context_, 0xDEADBEEF), PYXO_OK);
    EXPECT_EQ(Pyxo_VerifyPIN(&context_, kPin), PYXO_ERR_ACCESS_DENIED);
    EXPECT_EQ(Pyxo_VerifyPIN(&context_, 0xDEADBEEF), PYXO_OK);
}

TEST_F(Authentication, MasterKeyVerifiesAndChanges)
{
    EXPECT_EQ(Pyxo_VerifyMasterKey(&context_, kOtherKey.data()), PYXO_ERR_ACCESS_DENIED);
    EXPECT_EQ(Pyxo_ModifyMasterKey(&context_, kOtherKey.data()), PYXO_ERR_ACCESS_DENIED);
    ASSERT_EQ(Pyxo_VerifyMasterKey(&context_, kMasterKey.data()), PYXO_OK);
    ASSERT_EQ(Pyxo_ModifyMasterKey(&context_, kOtherKey.data()), PYXO_OK);
    EXPECT_EQ(Pyxo_VerifyMasterKey(&context_, kMasterKey.data()), PYXO_ERR_ACCESS_DENIED);
    EXPECT_EQ(Pyxo_VerifyMasterKey(&context_, kOtherKey.data()), PYXO_OK);
}

TEST_F(Authentication, AccessSettingsNeedTheMasterKeyAndReadBack)
{
    PYXO_ACCESS_SETTINGS settings{};
    ASSERT_EQ(Pyxo_GetAccessSettings(&context_, &settings), PYXO_OK);
    // The default bytes 1A 53.
    EXPECT_EQ(settings.nibble_high, 5);
    EXPECT_EQ(settings.nibble_low, 3);
    EXPECT_EQ(settings.octal_high, 3);
    EXPECT_EQ(settings.octal_low, 2);

    const PYXO_ACCESS_SETTINGS wanted{15, 2, 1, 0};
    EXPECT_EQ(Pyxo_SetAccessSettings(&context_, &wanted), PYXO_ERR_ACCESS_DENIED);
    ASSERT_EQ(Pyxo_VerifyMasterKey(&context_, kMasterKey.data()), PYXO_OK);
    ASSERT_EQ(Pyxo_SetAccessSettings(&context_, &wanted), PYXO_OK);
    ASSERT_EQ(Pyxo_GetAccessSettings(&context_, &settings), PYXO_OK);
    EXPECT_EQ(settings.nibble_high, 15);
    EXPECT_EQ(settings.nibble_low, 2);
    EXPECT_EQ(settings.octal_high, 1);
    EXPECT_EQ(settings.octal_low, 0);

    // File system condition 0 now: creating needs nothing.
    ASSERT_EQ(Pyxo_ResetDevice(&context_), PYXO_OK);
    EXPECT_EQ(Pyxo_CreateDir(&context_, 3, 64), PYXO_OK);
}

} // namespace
} // namespace e2e
