// Opening tokens: contexts competing for one token, devices that are no
// token, and PYXO_OPEN_SAME after the token at a position was replaced.
#include "token_test.h"

namespace e2e {
namespace {

class Opening : public TokenTest {
protected:
    Opening() : TokenTest(2) {}

    static bool has_serial(const PYXO_CONTEXT &context, uint8_t n)
    {
        uint32_t serial[2];
        expected_serial(n, serial);
        return context.serial_number[0] == serial[0] && context.serial_number[1] == serial[1];
    }

    PYXO_CONTEXT other_{};
};

TEST_F(Opening, SecondContextGets21ThenOpensTheNextToken)
{
    EXPECT_EQ(Pyxo_OpenDevice(&other_, PYXO_OPEN_FIRST), PYXO_ERR_DEVICE_21);
    EXPECT_EQ(other_.device_index, 1u);
    ASSERT_EQ(Pyxo_OpenDevice(&other_, PYXO_OPEN_NEXT), PYXO_OK);
    EXPECT_TRUE(has_serial(other_, 1));
    EXPECT_EQ(Pyxo_OpenDevice(&other_, PYXO_OPEN_NEXT), PYXO_ERR_NO_DEVICE) << "no third token";
    uint8_t challenge[8];
    EXPECT_EQ(Pyxo_GetChallenge(&other_, challenge), PYXO_ERR_NO_DEVICE) << "closed by the failure";

    ASSERT_EQ(Pyxo_CloseDevice(&context_), PYXO_OK);
    ASSERT_EQ(Pyxo_OpenDevice(&other_, PYXO_OPEN_FIRST), PYXO_OK) << "released by the close";
    EXPECT_TRUE(has_serial(other_, 0));
    Pyxo_CloseDevice(&other_);
}

TEST_F(Opening, DevicesThatAreNoTokenAreSkipped)
{
    ASSERT_EQ(Pyxo_CloseDevice(&context_), PYXO_OK);
    std::array<uint8_t, 32> not_a_token{7, 0x50, 1, 0x10, 0x00, 0x10, 0x03};
    ASSERT_EQ(rack_.manager().insert_device(0, not_a_token, true), 0u);
    ASSERT_EQ(Pyxo_OpenDevice(&context_, PYXO_OPEN_FIRST), PYXO_OK);
    EXPECT_EQ(context_.device_index, 2u);
    EXPECT_TRUE(has_serial(context_, 1));
}

TEST_F(Opening, OpenSameFollowsTheTokenPastItsReplacement)
{
    ASSERT_TRUE(has_serial(context_, 0));
    ASSERT_EQ(Pyxo_CloseDevice(&context_), PYXO_OK);
    // Token 0 moves to position 2; position 0 gets another token.
    vtd_client::Bytes image;
    ASSERT_EQ(rack_.manager().export_image(0, image), 0u);
    ASSERT_EQ(rack_.insert(0, token_options(7)), 0u);
    ASSERT_EQ(rack_.insert_image(2, image), 0u);

    ASSERT_EQ(Pyxo_OpenDevice(&context_, PYXO_OPEN_SAME), PYXO_OK);
    EXPECT_EQ(context_.device_index, 3u);
    EXPECT_TRUE(has_serial(context_, 0));
    std::vector<vtd_client::PositionInfo> positions;
    ASSERT_EQ(rack_.manager().list(positions), 0u);
    EXPECT_FALSE(positions[0].attached) << "the replacement was released";
    EXPECT_TRUE(positions[2].attached);
}

TEST_F(Opening, OpenSameWithoutTheTokenFindsNothing)
{
    ASSERT_EQ(Pyxo_CloseDevice(&context_), PYXO_OK);
    ASSERT_EQ(rack_.insert(0, token_options(7)), 0u);
    EXPECT_EQ(Pyxo_OpenDevice(&context_, PYXO_OPEN_SAME), PYXO_ERR_NO_DEVICE);
}

TEST_F(Opening, OpenSameStopsAtAReplacementAttachedElsewhere)
{
    ASSERT_EQ(Pyxo_CloseDevice(&context_), PYXO_OK);
    ASSERT_EQ(rack_.insert(0, token_options(7)), 0u);
    ASSERT_EQ(Pyxo_OpenDevice(&other_, PYXO_OPEN_FIRST), PYXO_OK);
    EXPECT_EQ(Pyxo_OpenDevice(&context_, PYXO_OPEN_SAME), PYXO_ERR_DEVICE_21);
    Pyxo_CloseDevice(&other_);
}

TEST_F(Opening, ReplacingAnOpenedTokenEndsItsAttachment)
{
    ASSERT_EQ(rack_.insert(0, token_options(7)), 0u);
    uint32_t serial[2];
    EXPECT_NE(Pyxo_GetSerialNumber(&context_, serial), PYXO_OK);
}

} // namespace
} // namespace e2e
