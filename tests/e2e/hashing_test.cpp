// Token hashing against the host's digests: the key material sits in key
// files that never leave the token, and the answers match the host's
// HMAC_MD5 and CHAP_MD5 computed from the key itself.
#include "token_test.h"

namespace e2e {
namespace {

constexpr uint32_t kKeyDir = 0x20;

class TokenHashing : public TokenTest {
protected:
    void SetUp() override
    {
        TokenTest::SetUp();
        ASSERT_EQ(log_in(context_), PYXO_OK);
        ASSERT_EQ(Pyxo_CreateDir(&context_, kKeyDir, 2048), PYXO_OK);
    }

    // The two key files of a key, from the states HMAC_MD5 hands out.
    void provision_hmac_key(const std::vector<uint8_t> &key, uint32_t inner_id, uint32_t outer_id)
    {
        std::vector<uint8_t> inner(16), outer(16);
        uint8_t digest[16];
        const uint8_t nothing[1] = {0};
        HMAC_MD5(nothing, 0, key.data(), int32_t(key.size()), inner.data(), outer.data(), digest);
        ASSERT_EQ(create_key_file(context_, kKeyDir, inner_id, inner), PYXO_OK);
        ASSERT_EQ(create_key_file(context_, kKeyDir, outer_id, outer), PYXO_OK);
    }
};

TEST_F(TokenHashing, HmacOnTheTokenEqualsTheHostsForEveryKeyAndMessageLength)
{
    uint32_t file_id = 1;
    for (size_t key_length : {0, 16, 64, 65, 200}) {
        const std::vector<uint8_t> key = pattern(key_length, uint8_t(key_length));
        const uint32_t inner_id = file_id++, outer_id = file_id++;
        provision_hmac_key(key, inner_id, outer_id);
        if (HasFatalFailure())
            return;
        for (int32_t length = 0; length <= 55; ++length) {
            const std::vector<uint8_t> message = pattern(size_t(length) + 1, uint8_t(length));
            uint8_t on_token[16], on_host[16];
            ASSERT_EQ(Pyxo_HMAC_MD5(&context_, kKeyDir, inner_id, kKeyDir, outer_id, message.data(),
                                    length, on_token),
                      PYXO_OK)
                << "key of " << key_length << " bytes, message of " << length;
            HMAC_MD5(message.data(), uint32_t(length), key.data(), int32_t(key_length), nullptr,
                     nullptr, on_host);
            EXPECT_EQ(hex(on_token, 16), hex(on_host, 16))
                << "key of " << key_length << " bytes, message of " << length;
        }
    }
}

TEST_F(TokenHashing, ChapOnTheTokenEqualsTheHostsForEveryChallengeLength)
{
    uint32_t file_id = 1;
    for (size_t secret_length : {0, 1, 16, 61}) {
        const std::vector<uint8_t> secret = pattern(secret_length, uint8_t(0x40 + secret_length));
        const uint32_t secret_id = file_id++;
        ASSERT_EQ(create_key_file(context_, kKeyDir, secret_id, chap_secret_file(secret)), PYXO_OK);
        for (int32_t length = 0; length <= 50; ++length) {
            const std::vector<uint8_t> challenge = pattern(size_t(length) + 1, uint8_t(3 * length));
            const uint32_t identifier = 0x100 + uint32_t(length) * 5; // only the low byte counts
            uint8_t on_token[16], on_host[16];
            ASSERT_EQ(Pyxo_CHAP_MD5(&context_, kKeyDir, secret_id, identifier, challenge.data(),
                                    length, on_token),
                      PYXO_OK)
                << "secret of " << secret_length << " bytes, challenge of " << length;
            CHAP_MD5(identifier, secret.data(), uint32_t(secret_length), challenge.data(),
                     uint32_t(length), on_host);
            EXPECT_EQ(hex(on_token, 16), hex(on_host, 16))
                << "secret of " << secret_length << " bytes, challenge of " << length;
        }
    }
}

TEST_F(TokenHashing, KeyFilesCannotBeReadBack)
{
    provision_hmac_key(pattern(16, 7), 1, 2);
    ASSERT_EQ(create_key_file(context_, kKeyDir, 3, chap_secret_file(pattern(10, 9))), PYXO_OK);
    for (uint32_t file_id : {1u, 2u, 3u}) {
        ASSERT_EQ(Pyxo_SelectFile(&context_, kKeyDir, file_id), PYXO_OK);
        EXPECT_EQ(context_.current_file_attr & 1, 0) << "the read bit of file " << file_id;
        uint8_t buffer[16];
        uint32_t read = 0;
        EXPECT_EQ(Pyxo_ReadFile(&context_, buffer, 0, 2, &read), PYXO_ERR_ACCESS_DENIED)
            << "file " << file_id;
        EXPECT_EQ(read, 0u);
    }
}

TEST_F(TokenHashing, KeyFileGuardedByThePinHashesOnlyAfterIt)
{
    std::vector<uint8_t> inner(16), outer(16);
    uint8_t digest[16];
    const std::vector<uint8_t> key = pattern(20, 1);
    HMAC_MD5(key.data(), 0, key.data(), 20, inner.data(), outer.data(), digest);
    for (uint32_t id : {1u, 2u}) {
        PYXO_FILEINFO info{id, kKeyDir, 16, kKeyFile, kNever, kAfterPin, kAfterPin};
        ASSERT_EQ(Pyxo_CreateFile(&context_, &info), PYXO_OK);
        uint32_t written = 0;
        ASSERT_EQ(Pyxo_WriteFile(&context_, (id == 1 ? inner : outer).data(), 0, 16, &written),
                  PYXO_OK);
    }
    const uint8_t message[] = "guarded";
    ASSERT_EQ(Pyxo_ResetDevice(&context_), PYXO_OK); // forgets the PIN
    EXPECT_EQ(Pyxo_HMAC_MD5(&context_, kKeyDir, 1, kKeyDir, 2, message, 7, digest),
              PYXO_ERR_ACCESS_DENIED);

    ASSERT_EQ(Pyxo_VerifyPIN(&context_, kPin), PYXO_OK);
    uint8_t on_host[16];
    ASSERT_EQ(Pyxo_HMAC_MD5(&context_, kKeyDir, 1, kKeyDir, 2, message, 7, digest), PYXO_OK);
    HMAC_MD5(message, 7, key.data(), 20, nullptr, nullptr, on_host);
    EXPECT_EQ(hex(digest, 16), hex(on_host, 16));
}

TEST_F(TokenHashing, RawModeOfThePaddedEmptyMessageIsItsMd5)
{
    uint8_t block[64] = {0x80};
    uint8_t digest[16], expected[16];
    ASSERT_EQ(Pyxo_HashToken(&context_, PYXO_HASH_MODE_RAW, block, 64, digest), PYXO_OK);
    MD5_Hash(block, 0, expected);
    EXPECT_EQ(hex(digest, 16), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(hex(digest, 16), hex(expected, 16));
}

TEST_F(TokenHashing, KeyedModesNeedAKeyFile)
{
    PYXO_FILEINFO data{1, kKeyDir, 16, kDataFile, kAlways, kAlways, 0};
    ASSERT_EQ(Pyxo_CreateFile(&context_, &data), PYXO_OK);
    uint8_t block[16] = {}, digest[16];
    EXPECT_EQ(Pyxo_HashToken(&context_, PYXO_HASH_MODE_KEYED, block, 16, digest), PYXO_ERR_14)
        << "a data file is no key file";
    ASSERT_EQ(Pyxo_CloseFile(&context_), PYXO_OK);
    EXPECT_EQ(Pyxo_HashToken(&context_, PYXO_HASH_MODE_CHAP, block, 2, digest), PYXO_ERR_3)
        << "no file selected";
}

} // namespace
} // namespace e2e
